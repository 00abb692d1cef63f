// A gateway data tree in a scratch directory for the queue tests.
#pragma once

#include <sys/stat.h>

#include <string>

#include "queue/queue_dirs.h"
#include "support/scratch.h"

namespace ovr::test {

struct QueueTree {
    ScratchDir root;
    queue::QueueSetup q;
    QueueTree() {
        config::Directories d{root.path() + "data/", root.path() + "private/", root.path() + "program/"};
        mkdir(d.program_data.c_str(), 0755);
        mkdir(d.private_data.c_str(), 0755);
        mkdir(d.real_program.c_str(), 0755);
        q = queue::make_queue_setup(d, config::ini_paths_for(d));
    }
    std::string data(const std::string& rel) const { return q.dirs.program_data + rel; }
};

}  // namespace ovr::test
