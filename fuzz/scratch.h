// Where file-reading targets put their one input file: memory-backed when
// the machine has it, so each run's atomic write and sync cost no disk time.
#pragma once
#include <unistd.h>

#include <string>

inline std::string scratch_dir() {
    return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}
