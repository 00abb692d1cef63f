// Test helpers: a scratch directory removed after the test, small file
// helpers, and running the project's programs from an argv.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ovr::test {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    // The directory, ending with "/".
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

void write_text(const std::string& path, const std::string& text);
std::string read_text(const std::string& path);

struct RunResult {
    int status = -1;   // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program of the build (build/bin/NAME, or NAME when it is an absolute
// path) with the arguments, extra environment variables and standard input
// given.
RunResult run_program(const std::string& name, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {}, const std::string& input = {});

std::string bin_path(const std::string& name);

}  // namespace ovr::test
