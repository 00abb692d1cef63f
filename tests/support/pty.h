// A pseudo-terminal pair for tests of serial code: the test plays the modem
// on the master side; the code under test opens the slave path.
#pragma once

#include <string>

namespace ovr::test {

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;
    const std::string& slave_path() const { return slave_; }
    void write(const std::string& bytes);
    // What is waiting on the master side now (never blocks).
    std::string read_now();

private:
    int master_ = -1;
    int slave_fd_ = -1;
    std::string slave_;
};

}  // namespace ovr::test
