// The process's peak resident memory, for the benchmarks that report what a
// hostile input costs.
#pragma once

#include <malloc.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace ovr::bench {

// Peak resident memory in KiB (VmHWM), after resetting it when asked. Freed
// memory goes back to the system first, so a run cannot hide its growth in
// pages an earlier run left resident.
inline long peak_kib(bool reset) {
    if (reset) {
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
    }
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

}  // namespace ovr::bench
