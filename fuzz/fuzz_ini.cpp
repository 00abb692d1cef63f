// The INI reader and the profile write on arbitrary text: no crash, no
// unbounded work, a written value always reads back, and a transaction
// leaves the bytes its single writes would.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/ini.h"
#include "config/text.h"

namespace ini = ovr::config::ini;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first bytes choose a section, key and value made of the input's
    // own characters; the rest is the file.
    size_t a = data[0] % 8 + 1, b = data[1] % 8 + 1;
    if (size < 2 + a + b) return 0;
    std::string section(reinterpret_cast<const char*>(data + 2), a);
    std::string key(reinterpret_cast<const char*>(data + 2 + a), b);
    std::string text(reinterpret_cast<const char*>(data + 2 + a + b), size - 2 - a - b);

    // One parse serves a lookup in every section; a one-shot read, which
    // parses the text again, must agree with it.
    const ini::Snapshot snap = ini::snapshot_of(text);
    for (const std::string& name : snap.section_names()) (void)snap.read_value(name, key);
    if (ini::value_in(text, section, key) != snap.read_value(section, key)) abort();
    (void)snap.read_string(section, key, key, a);
    (void)ini::section_in(text, section, b);

    const std::string value = "v4lue";
    auto written = ini::edited_text(text, section, key, value);
    if (written) {
        auto back = ini::value_in(*written, section, key);
        if (!back || *back != value) abort();
    }
    if (auto removed = ini::edited_text(text, section, std::string_view(key), std::nullopt)) {
        if (removed->size() >= text.size()) abort();
    }
    (void)ini::edited_text(text, section, std::nullopt, std::nullopt);

    // A transaction of a few writes picked by the first byte: runs in one
    // section (spelt in either case), in a new one, removals among them.
    const std::string upper = ovr::config::to_upper(section);
    const std::string* sections[] = {&section, &upper, &value};
    std::vector<ini::ProfileWrite> writes;
    for (unsigned bits = data[0], n = 0; n < 4; ++n, bits >>= 2) {
        const std::string& s = *sections[(bits + n) % 3];
        if (bits & 1)
            writes.push_back({s, key, std::nullopt});
        else
            writes.push_back({s, n % 2 ? key : value, value + std::to_string(n)});
    }
    if (std::all_of(writes.begin(), writes.end(), [](const ini::ProfileWrite& w) { return ini::accepted(w); })) {
        std::string single = text;
        for (const ini::ProfileWrite& w : writes) {
            if (auto next = ini::edited_text(single, w.section, w.key, w.value)) single = std::move(*next);
        }
        if (ini::edited_text(text, writes).value_or(text) != single) abort();
    }
    return 0;
}
