// The keyword table read from an arbitrary RIRER.INI text: every entry and
// row stays within its 1023 bytes, and an entry's actions load without harm.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/ini.h"
#include "keywords/editing.h"
#include "keywords/table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto file = ovr::config::ini::snapshot_of(std::string(reinterpret_cast<const char*>(data), size));
    size_t n = 0;
    for (const std::string& entry : ovr::keywords::enumerate(file)) {
        if (entry.empty() || entry.size() > 1023) abort();
        if (ovr::keywords::row_text(file, entry).size() > 1023) abort();
        ovr::keywords::EntryParts parts = ovr::keywords::split_entry(entry);
        if (ovr::keywords::join_entry(parts.keyword, parts.numbers).size() > entry.size()) abort();
        ovr::keywords::load_actions(file, entry);
        ovr::keywords::plan_remove(file, entry);
        if (++n > 64) break;
    }
    return 0;
}
