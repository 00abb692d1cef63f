// ovrinsms-modemsim --link PATH [--profile NAME] [--gprs NAME | --gprs-from FILE] [--speed BPS]
//                   [--network MCCMNC [--operator NAME]] [--log FILE]
// Opens a pty pair, links PATH to its slave and answers AT commands on it as
// the profile's GSM modem would; the GPRS profile plays the operator's side
// of a data call (--gprs-from reads its name from FILE before each command,
// so it can be changed while the modem runs). --network puts the SIM on a
// real operator's network (its IMSI and AT+COPS), so the operator database
// has settings for it; the test network 001 01 has none. Every command received is logged on stderr
// (and to FILE). "ready PATH" on stdout tells that the modem is listening.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine.h"
#include "platform/clock.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

uint32_t baud_of(speed_t s) {
    switch (s) {
        case B300: return 300;
        case B1200: return 1200;
        case B2400: return 2400;
        case B4800: return 4800;
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        case B230400: return 230400;
        default: return 0;
    }
}

int usage() {
    std::fprintf(stderr,
                 "usage: ovrinsms-modemsim --link PATH [--profile NAME] [--gprs NAME | --gprs-from FILE] [--speed BPS] "
                 "[--network MCCMNC [--operator NAME]] [--log FILE]\n  profiles:");
    for (auto& n : ovr::sim::profile_names()) std::fprintf(stderr, " %s", n.c_str());
    std::fprintf(stderr, "\n  GPRS profiles:");
    for (auto& n : ovr::sim::gprs_profile_names()) std::fprintf(stderr, " %s", n.c_str());
    std::fprintf(stderr, "\n");
    return 2;
}

// The first word of the file; "ok" when there is none.
std::string gprs_word(const std::string& path) {
    char buf[64] = {};
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return "ok";
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    std::string w(buf, n);
    size_t b = w.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "ok";
    return w.substr(b, w.find_first_of(" \t\r\n", b) - b);
}

}  // namespace

int main(int argc, char** argv) {
    std::string link, profile_name = "pdu", log_path, gprs = "ok", gprs_from, network, operator_name;
    long speed = -1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--link" && value(link)) continue;
        if (a == "--profile" && value(profile_name)) continue;
        if (a == "--log" && value(log_path)) continue;
        if (a == "--gprs" && value(gprs) && ovr::sim::known_gprs_profile(gprs)) continue;
        if (a == "--gprs-from" && value(gprs_from)) continue;
        if (a == "--network" && value(network) && (network.size() == 5 || network.size() == 6) &&
            network.find_first_not_of("0123456789") == std::string::npos)
            continue;
        if (a == "--operator" && value(operator_name) && !operator_name.empty() &&
            operator_name.find_first_of("\"\r\n") == std::string::npos)
            continue;
        if (a == "--speed" && value(v)) {
            char* end = nullptr;
            speed = std::strtol(v.c_str(), &end, 10);
            if (*end || speed <= 0 || speed > 4000000) return usage();
            continue;
        }
        return usage();
    }
    auto profile = ovr::sim::find_profile(profile_name);
    if (link.empty() || !profile) return usage();
    if (speed > 0) profile->only_speed = static_cast<uint32_t>(speed);

    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("ovrinsms-modemsim: pty");
        return 1;
    }
    const char* slave_name = ptsname(master);
    // Holding the slave open keeps the master readable between clients; raw
    // mode keeps the line discipline from echoing or translating anything
    // before a client sets the line up.
    int slave = open(slave_name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (slave < 0 || tcgetattr(slave, &t) != 0) {
        std::perror("ovrinsms-modemsim: slave");
        return 1;
    }
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(slave, TCSANOW, &t);
    unlink(link.c_str());
    if (symlink(slave_name, link.c_str()) != 0) {
        std::fprintf(stderr, "ovrinsms-modemsim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        return 1;
    }
    FILE* log = log_path.empty() ? nullptr : std::fopen(log_path.c_str(), "a");
    struct sigaction sa{};
    sa.sa_handler = on_signal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    ovr::platform::SystemClock clock;
    profile->gprs = gprs;
    if (!network.empty()) profile->network = network;
    if (!operator_name.empty()) profile->operator_name = operator_name;
    ovr::sim::ModemEngine engine(*profile);
    std::fprintf(stderr, "ovrinsms-modemsim: profile %s on %s (%s)\n", profile->name.c_str(), link.c_str(), slave_name);
    std::printf("ready %s\n", link.c_str());
    std::fflush(stdout);
    size_t logged = 0;
    while (!g_stop) {
        uint64_t now = clock.tick_ms();
        int wait = 1000;
        if (auto due = engine.next_due()) wait = *due <= now ? 0 : static_cast<int>(std::min<uint64_t>(*due - now, 1000));
        pollfd p{master, POLLIN, 0};
        int r = poll(&p, 1, wait);
        if (r < 0 && errno != EINTR) break;
        if (r > 0 && (p.revents & POLLIN)) {
            char buf[512];
            ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) {
                termios cur{};
                uint32_t bps = tcgetattr(slave, &cur) == 0 ? baud_of(cfgetospeed(&cur)) : 0;
                std::string bytes(buf, static_cast<size_t>(n));
                if (!gprs_from.empty() && !engine.in_data_mode() && bytes.find('\r') != std::string::npos)
                    engine.set_gprs(gprs_word(gprs_from));
                engine.receive(bytes, clock.tick_ms(), bps);
                for (; logged < engine.commands().size(); ++logged) {
                    const std::string& c = engine.commands()[logged];
                    std::fprintf(stderr, "ovrinsms-modemsim: [%u bps] %s\n", bps, c.c_str());
                    if (log) {
                        std::fprintf(log, "%s\n", c.c_str());
                        std::fflush(log);
                    }
                }
            }
        }
        std::string out = engine.take_due(clock.tick_ms());
        size_t off = 0;
        while (off < out.size()) {
            ssize_t w = write(master, out.data() + off, out.size() - off);
            if (w > 0) off += static_cast<size_t>(w);
            else if (w < 0 && errno != EINTR && errno != EAGAIN) break;
        }
    }
    // Only remove the link when it still points at this modem.
    char target[256];
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == slave_name) unlink(link.c_str());
    if (log) std::fclose(log);
    return 0;
}
