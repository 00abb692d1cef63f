#include "support/pty.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace ovr::test {

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
    slave_ = ptsname(master_);
    // Held open and raw so nothing the test writes is echoed or translated.
    slave_fd_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (slave_fd_ < 0 || tcgetattr(slave_fd_, &t) != 0) throw std::runtime_error("no pty slave");
    cfmakeraw(&t);
    tcsetattr(slave_fd_, TCSANOW, &t);
}

PtyPair::~PtyPair() {
    if (slave_fd_ >= 0) close(slave_fd_);
    if (master_ >= 0) close(master_);
}

void PtyPair::write(const std::string& bytes) {
    if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("pty write");
    tcdrain(master_);
}

std::string PtyPair::read_now() {
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = ::read(master_, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    return out;
}

}  // namespace ovr::test
