// The keyword migration runs at every start on a RIRER.INI that other
// programs wrote: whatever the old lines hold it must not crash, must leave
// the file readable, and must run once only (a second run changes nothing).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/ini.h"
#include "scratch.h"
#include "keywords/table.h"
#include "platform/fs.h"

namespace fs = ovr::platform::fs;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratch_dir() + "/fuzz_keyword_migration." + std::to_string(getpid()) + ".INI";
    // The input becomes the old lines' values, one per input line, so the
    // fuzzer reaches the migration without having to invent the file.
    std::string text = "[RIRER]\n";
    std::string_view in(reinterpret_cast<const char*>(data), size);
    for (size_t n = 1; !in.empty() && n <= 64; ++n) {
        size_t end = in.find('\n');
        text += "ReceiveSMSCommand" + std::to_string(n) + "=" + std::string(in.substr(0, end)) + "\n";
        in = end == std::string_view::npos ? std::string_view() : in.substr(end + 1);
    }
    if (!fs::write_file_atomic(path, text)) return 0;
    ovr::config::ini::clear_cache();
    ovr::keywords::migrate(path);
    auto once = fs::read_file(path);
    ovr::keywords::migrate(path);
    auto twice = fs::read_file(path);
    if (!once || !twice || *once != *twice) std::abort();
    (void)ovr::config::ini::read_section_names(path);
    return 0;
}
