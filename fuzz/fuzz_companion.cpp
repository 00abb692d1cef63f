// Routing companions of MMS requests come from outside the console: reading
// one through the INI engine, cut to its 500-byte buffers, never fails.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/ini.h"
#include "scratch.h"
#include "queue/mms_files.h"

using namespace ovr::queue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratch_dir() + "/fuzz_companion." + std::to_string(getpid()) + ".INI";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    ovr::config::ini::clear_cache();
    RoutingCompanion c = ReadRoutingCompanion(path);
    if (c.sender.size() >= 500 || c.last_error.size() >= 500) std::abort();
    size_t total = 0;
    for (const std::string& r : c.recipients) total += r.size() + 1;
    if (total > 500) std::abort();
    return 0;
}
