// The GPRS library of a Linux host (libmmswap.so). Over the modem's AT
// channel it attaches, sets the PDP context for the APN and dials
// ATD*99***1#; on CONNECT it starts the PPP daemon on the same port (from an
// argv, the login and password in a private options file, never on its
// command line), waits for the link ("updetach"), and asks the MMS proxy
// through a socket bound to the link's interface. The hang-up stops the
// daemon and hangs the modem up. "COMn:" is $OVRINSMS_DEVICE_MAP/comN or
// /dev/ttyS{n-1}; a line device name is /dev/serial/by-id/NAME.
//
// The driver check's two optional functions are left out: the context is
// set on every dial, so no driver needs updating and no reboot is offered.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <net/if.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "at_link.h"
#include "gprs/mmswap_abi.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace ovr::mmswap;
using Steady = std::chrono::steady_clock;

constexpr uint32_t kGuardMs = 1000;  // the silence around "+++"

PortDirs dirs() {
    PortDirs d;
    const char* map = std::getenv("OVRINSMS_DEVICE_MAP");
    if (map && *map) d.device_map = map;
    return d;
}

const char* pppd_program() {
    for (const char* p : {"/usr/sbin/pppd", "/sbin/pppd"})
        if (::access(p, X_OK) == 0) return p;
    return nullptr;
}

std::string pppd_exit_text(int code) {
    switch (code) {
        case 1: return "a fatal error";
        case 2: return "an error in its options";
        case 3: return "not run as root";
        case 4: return "the kernel has no PPP support";
        case 5: return "it was stopped";
        case 6: return "the port's lock failed";
        case 7: return "the port could not be opened";
        case 10: return "the PPP negotiation failed";
        case 11: return "the peer failed to authenticate";
        case 16: return "the modem hung up";
        case 19: return "the login was refused";
        default: return "exit " + std::to_string(code);
    }
}

struct Link {
    int port = -1;        // our descriptor of the modem's port
    pid_t daemon = -1;    // the PPP daemon, once the link is up
    std::string private_dir;
};
std::mutex g_mutex;
Link g_link;

void remove_private_dir(const std::string& d) {
    if (d.empty()) return;
    ::unlink((d + "/options").c_str());
    ::rmdir(d.c_str());
}

// The daemon's process id and interface from its pid file (two lines).
bool read_pid_file(const std::string& linkname, pid_t& pid, std::string& ifname) {
    for (const char* dir : {"/run/", "/var/run/"}) {
        FILE* f = std::fopen((std::string(dir) + "ppp-" + linkname + ".pid").c_str(), "r");
        if (!f) continue;
        char line1[32] = {}, line2[IF_NAMESIZE + 2] = {};
        bool ok = std::fgets(line1, sizeof line1, f) && std::fgets(line2, sizeof line2, f);
        std::fclose(f);
        if (!ok) return false;
        pid = static_cast<pid_t>(std::atol(line1));
        ifname.assign(line2, strcspn(line2, "\r\n"));
        return pid > 0 && !ifname.empty();
    }
    return false;
}

void stop_daemon(pid_t pid, uint32_t wait_ms) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    auto deadline = Steady::now() + std::chrono::milliseconds(wait_ms);
    while (::kill(pid, 0) == 0 && Steady::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (::kill(pid, 0) == 0) ::kill(pid, SIGKILL);
}

// Starts the PPP daemon on the connected port and waits for the link; the
// result code, with pid and interface set when the link is up.
int start_link(const std::string& port_path, const std::string& login, const std::string& password,
               const Limits& l, Link& link, std::string& ifname) {
    const char* pppd = pppd_program();
    if (!pppd) {
        set_detail(kLinkFailed, "(pppd is not installed: Debian package ppp)");
        return kLinkFailed;
    }
    // The login goes to the daemon in a file only its owner reads: an
    // argument would show in the process list.
    char tmpl[] = "/tmp/ovrinsms-ppp.XXXXXX";
    if (!::mkdtemp(tmpl)) return kLinkFailed;
    link.private_dir = tmpl;
    std::string options = link.private_dir + "/options";
    int of = ::open(options.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (of < 0) return kLinkFailed;
    std::string text = "noauth\n";
    if (!login.empty()) text += "user \"" + login + "\"\npassword \"" + password + "\"\n";
    bool written = ::write(of, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(of);
    if (!written) return kLinkFailed;

    const std::string linkname = "ovrinsms-mms-" + std::to_string(::getpid());
    std::vector<std::string> args = {pppd, port_path, "115200", "file", options, "updetach", "local", "nocrtscts",
                                     "nodefaultroute", "noipdefault", "ipcp-accept-local", "ipcp-accept-remote",
                                     "noccp", "novj", "maxfail", "1", "linkname", linkname};
    for (const std::string& a : args)
        if (!safe_setting(a)) return kUnsafeSetting;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    char env_path[] = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
    char* envp[] = {env_path, nullptr};

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return kLinkFailed;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, out[1], 2);
    pid_t child = -1;
    int err = posix_spawn(&child, pppd, &fa, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    if (err != 0) {
        ::close(out[0]);
        set_detail(kLinkFailed, std::string("(pppd could not be started: ") + std::strerror(err) + ")");
        return kLinkFailed;
    }
    // What the daemon says, kept to its last 4 KiB: its last line names
    // the failure.
    std::string said;
    int status = 0;
    bool ended = false;
    auto deadline = Steady::now() + std::chrono::milliseconds(l.link_ms);
    while (!ended) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buf[512];
            ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n > 0) said.append(buf, static_cast<size_t>(n));
            if (said.size() > 4096) said.erase(0, said.size() - 4096);
        }
        ended = ::waitpid(child, &status, WNOHANG) == child;
        if (!ended && Steady::now() >= deadline) {
            ::kill(child, SIGTERM);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (::waitpid(child, &status, WNOHANG) != child) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
            }
            ::close(out[0]);
            set_detail(kNoAnswer, "(no PPP link within " + std::to_string(l.link_ms / 1000) + " seconds)");
            return kNoAnswer;
        }
    }
    ::close(out[0]);
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 5;
    if (code != 0) {
        while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
        std::string last = said.substr(said.find_last_of('\n') == std::string::npos ? 0 : said.find_last_of('\n') + 1);
        for (char& c : last)
            if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        set_detail(code == 19 ? kAuthFailed : kLinkFailed,
                   "(pppd: " + pppd_exit_text(code) + (last.empty() ? "" : ": " + last.substr(0, 200)) + ")");
        return code == 19 ? kAuthFailed : kLinkFailed;
    }
    if (!read_pid_file(linkname, link.daemon, ifname)) {
        set_detail(kLinkFailed, "(the PPP daemon left no pid file)");
        return kLinkFailed;
    }
    return 0;
}

// A TCP connection to the proxy over the link's interface; -1 when none.
int connect_proxy(const std::string& proxy, const std::string& ifname, uint32_t limit_ms) {
    std::string host = proxy, port = "8080";  // the usual port of an MMS proxy
    if (!host.empty() && host[0] == '[') {
        size_t close = host.find(']');
        if (close == std::string::npos) return -1;
        if (close + 1 < host.size() && host[close + 1] == ':') port = host.substr(close + 2);
        host = host.substr(1, close - 1);
    } else if (host.find(':') != std::string::npos && host.find(':') == host.rfind(':')) {
        port = host.substr(host.find(':') + 1);
        host = host.substr(0, host.find(':'));
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &res) != 0 || !res) return -1;
    int fd = ::socket(res->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, ifname.c_str(),
                                static_cast<socklen_t>(ifname.size())) != 0) {
        ::close(fd);
        fd = -1;
    }
    if (fd >= 0 && ::connect(fd, res->ai_addr, res->ai_addrlen) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(res);
    if (fd < 0) return -1;
    pollfd p{fd, POLLOUT, 0};
    int err = 0;
    socklen_t len = sizeof err;
    if (::poll(&p, 1, static_cast<int>(limit_ms)) != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 ||
        err != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void end_link(Link& link, const Limits& l) {
    stop_daemon(link.daemon, 5000);
    if (link.port >= 0) {
        hang_up_line(link.port, kGuardMs, l, nullptr);
        ::close(link.port);
    }
    remove_private_dir(link.private_dir);
    link = {};
}

}  // namespace

EXPORT int WSPRasDial(const char* profile_name, const char* apn, const char* login, const char* password,
                      const char* wap_gateway) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const Limits l = limits();
    end_link(g_link, l);
    std::string modem = modem_of_profile(profile_name);
    std::string path = port_path(modem, dirs());
    if (path.empty()) return kUnknownConnection;
    for (const char* v : {apn, login, password, wap_gateway})
        if (!v || !safe_setting(v)) return kUnsafeSetting;
    Link link;
    link.port = port_for_call(modem, path);
    if (link.port < 0) return kPortUnavailable;
    int result = dial_data_call(link.port, apn, l, nullptr);
    if (result != 0) {
        ::close(link.port);
        return result;
    }
    std::string ifname;
    result = start_link(path, login, password, l, link, ifname);
    if (result == 0) {
        int sock = connect_proxy(wap_gateway, ifname, l.proxy_ms);
        result = sock < 0 ? 1 : proxy_exchange(sock, wap_gateway, l.proxy_ms, nullptr);
        if (sock >= 0) ::close(sock);
    }
    if (result != 0) {
        end_link(link, l);
        return result;
    }
    g_link = link;
    return 0;
}

EXPORT int WSPRasHangUp(const char*) {
    std::lock_guard<std::mutex> lock(g_mutex);
    end_link(g_link, limits());
    return 0;
}

EXPORT intptr_t ModemAllocate(const char* modem, uint32_t wait_ms, int* reason) {
    return allocate(modem, port_path(modem, dirs()), std::min(wait_ms, limits().allocate_ms), reason);
}

EXPORT void ModemRelease(intptr_t handle) { release(handle); }

// The machine's modems, each as "Modem: NAME" (the line devices of
// /dev/serial/by-id/), sorted.
EXPORT int RasLoadListOrComboBox(void* list, void (*add)(void*, const char*), uint32_t) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dirs().by_id_dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == ".." || !safe_setting(n)) continue;
            if (names.size() < 64) names.push_back("Modem: " + n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) add(list, n.c_str());
    return static_cast<int>(names.size());
}
