// The simulated GPRS library (libmmswap-sim.so). It dials over the modem's
// real AT channel, the simulated modem (ovrinsms-modemsim) playing the
// operator: "COMn:" is the link $OVRINSMS_SIM_ROOT/dosdevices/comN (or
// $OVRINSMS_DEVICE_MAP/comN), a line device name the link in
// $OVRINSMS_SIM_ROOT/modems/. Once the modem says CONNECT there is no PPP:
// the request to the MMS proxy goes over the raw data call, which the
// simulator answers as the operator's proxy would.
//
// Under $OVRINSMS_SIM_ROOT/gprs/:
//   profile       one word. The operator's words (ok, wrong-apn, no-coverage,
//                 mmsc-refusing, silent) are the modem simulator's to play
//                 (ovrinsms-modemsim --gprs-from this file); two are this
//                 library's: modem-busy (ModemAllocate obtains nothing) and
//                 driver-update (the driver lacks the APN's context)
//   connections   the machine's connections, one a line
//   calls.log     one line per call, passwords never written
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "at_link.h"
#include "gprs/mmswap_abi.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace ovr::mmswap;

std::string root() {
    const char* r = std::getenv("OVRINSMS_SIM_ROOT");
    std::string d = r ? r : "/tmp/";
    if (d.empty() || d.back() != '/') d += '/';
    return d;
}

std::string dir() { return root() + "gprs/"; }

std::string profile() {
    std::ifstream in(dir() + "profile");
    std::string word;
    in >> word;
    return word.empty() ? "ok" : word;
}

void log(const std::string& line) { std::ofstream(dir() + "calls.log", std::ios::app) << line << "\n"; }

PortDirs dirs() {
    PortDirs d;
    const char* map = std::getenv("OVRINSMS_DEVICE_MAP");
    d.device_map = map && *map ? map : root() + "dosdevices/";
    d.by_id_dir = root() + "modems/";
    return d;
}

// The call up between a dial and its hang-up.
int g_call = -1;

void end_call(const Limits& l) {
    if (g_call < 0) return;
    // The simulator takes "+++" without guard times.
    hang_up_line(g_call, 0, l, [](const std::string& line) { log("  " + line); });
    ::close(g_call);
    g_call = -1;
}

}  // namespace

EXPORT int WSPRasDial(const char* profile_name, const char* apn, const char* login, const char*,
                      const char* wap_gateway) {
    log(std::string("dial ") + profile_name + " apn=" + apn + " login=" + login + " gateway=" + wap_gateway);
    const Limits l = limits();
    std::string modem = modem_of_profile(profile_name);
    std::string path = port_path(modem, dirs());
    if (path.empty()) return kUnknownConnection;
    end_call(l);
    int fd = port_for_call(modem, path);
    if (fd < 0) {
        log("result 633");
        return kPortUnavailable;
    }
    auto at_log = [](const std::string& line) { log("  " + line); };
    int result = dial_data_call(fd, apn, l, at_log);
    if (result == 0) {
        g_call = fd;
        if (proxy_exchange(fd, wap_gateway, l.proxy_ms, at_log) != 0) {
            end_call(l);
            result = 1;
        }
    } else {
        ::close(fd);
    }
    log("result " + std::to_string(result));
    return result;
}

EXPORT int WSPRasHangUp(const char* profile_name) {
    log(std::string("hangup ") + profile_name);
    end_call(limits());
    return 0;
}

EXPORT intptr_t ModemAllocate(const char* modem, uint32_t wait_ms, int* reason) {
    log(std::string("allocate ") + modem + " " + std::to_string(wait_ms));
    if (reason) *reason = 0;
    if (profile() == "modem-busy") return 0;
    return allocate(modem, port_path(modem, dirs()), std::min(wait_ms, limits().allocate_ms), reason);
}

EXPORT void ModemRelease(intptr_t handle) {
    log("release");
    release(handle);
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
    return 1;
}
