// The simulated GPRS library. Everything lives under
// $OVRINSMS_SIM_ROOT/gprs/:
//   profile       one word: ok (also when missing), wrong-apn, no-coverage,
//                 mmsc-refusing, silent, modem-busy, driver-update
//   connections   the machine's connections, one a line
//   modem.lock    held (flock) while the test has the modem, so the kernel
//                 hands it back when the holder dies
//   calls.log     one line per call, passwords never written
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "gprs/mmswap_abi.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string dir() {
    const char* root = std::getenv("OVRINSMS_SIM_ROOT");
    std::string d = root ? root : "/tmp/";
    if (d.empty() || d.back() != '/') d += '/';
    return d + "gprs/";
}

std::string profile() {
    std::ifstream in(dir() + "profile");
    std::string word;
    in >> word;
    return word.empty() ? "ok" : word;
}

void log(const std::string& line) { std::ofstream(dir() + "calls.log", std::ios::app) << line << "\n"; }

int driver_updates = 0;

}  // namespace

EXPORT int WSPRasDial(const char* profile_name, const char* apn, const char* login, const char*,
                      const char* wap_gateway) {
    log(std::string("dial ") + profile_name + " apn=" + apn + " login=" + login + " gateway=" + wap_gateway);
    std::string p = profile();
    if (p == "silent") std::this_thread::sleep_for(std::chrono::hours(1));
    if (p == "wrong-apn") return 720;
    if (p == "no-coverage") return 678;
    if (p == "mmsc-refusing") return 1;
    return 0;
}

EXPORT int WSPRasHangUp(const char* profile_name) {
    log(std::string("hangup ") + profile_name);
    return 0;
}

EXPORT int WSPConnect() { return 0; }
EXPORT int WSPDisconnect() { return 0; }
EXPORT int WSPRequest() { return 0; }
EXPORT int ModemRequested(const char*) { return 0; }
EXPORT int RasGetUserAndPassword() { return 0; }
EXPORT int RasGetModemName() { return 0; }
EXPORT int ModemReset(const char*) { return 0; }

EXPORT intptr_t ModemAllocate(const char* modem, uint32_t wait_ms, int* reason) {
    log(std::string("allocate ") + modem + " " + std::to_string(wait_ms));
    if (reason) *reason = 0;
    if (profile() == "modem-busy") return 0;
    int fd = ::open((dir() + "modem.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return 0;
    }
    return fd + 1;
}

EXPORT void ModemRelease(intptr_t handle) {
    log("release");
    if (handle > 0) ::close(static_cast<int>(handle - 1));
}

EXPORT int RasLoadListOrComboBox(void* list, void (*add)(void*, const char*), uint32_t) {
    std::ifstream in(dir() + "connections");
    std::string line;
    int n = 0;
    while (n < 64 && std::getline(in, line)) {
        if (line.empty()) continue;
        add(list, line.c_str());
        ++n;
    }
    return n;
}

EXPORT uint16_t ModemGetCIDForAPN(const char*, const char*, int flag) {
    if (profile() != "driver-update") return 1;
    return flag == 1 ? 2 : 0;
}

EXPORT int ModemDriverUpdateInitStrings(const char* modem, const char* apn) {
    log(std::string("driver-update ") + modem + " " + apn);
    ++driver_updates;
    return 1;
}

EXPORT int WSPRasGetErrorString(uint32_t code, char* text, uint32_t room) {
    const char* t = code == 720   ? "The network refused the data context for this APN."
                    : code == 678 ? "The modem found no GPRS network (no coverage)."
                                  : "Unknown dial error.";
    if (room == 0) return 1;
    std::snprintf(text, room, "%s", t);
    return 0;
}
