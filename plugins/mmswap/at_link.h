// What the two GPRS libraries share: finding and holding the modem's port,
// the AT dialogue of a packet-data call (attach, PDP context, ATD*99***1#),
// the request to the MMS proxy once the link is up, the hang-up, and the dial
// error codes with their texts. Every wait is bounded; OVRINSMS_GPRS_WAIT_MS
// caps them all (tests make a silent modem cheap with it).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ovr::mmswap {

// Dial results (WSPRasDial), beside 0 (connected) and 1 (the MMS proxy did
// not answer).
enum DialError : int {
    kUnknownConnection = 623,  // not "Modem: NAME", or no such modem
    kPortUnavailable = 633,
    kNoCoverage = 678,
    kAuthFailed = 691,
    kModemSilent = 692,
    kNoAnswer = 718,
    kApnRefused = 720,
    kLinkFailed = 734,
    kUnsafeSetting = 752,
};

// The text of a dial result; the detail of the last failure of that code
// (pppd's exit, say) is added when there is one.
std::string error_text(int code);
void set_detail(int code, std::string detail);

struct Limits {
    uint32_t reply_ms = 10000;   // an AT command's final result
    uint32_t attach_ms = 60000;  // AT+CGATT=1
    uint32_t dial_ms = 60000;    // ATD until CONNECT
    uint32_t link_ms = 60000;    // the PPP link up
    uint32_t proxy_ms = 30000;   // the MMS proxy's status line
    uint32_t allocate_ms = 30000;
};
// The product limits, each capped by OVRINSMS_GPRS_WAIT_MS when it is set.
Limits limits();

// No '"', '\' or control character: it would end or bend an AT command or
// an option of the PPP daemon.
bool safe_setting(const std::string& value);

// Where a modem's port is: "COMn:" through device_map/comN (when the map is
// set) else dev_dir/ttyS{n-1}; any other name through by_id_dir/NAME. Empty
// for a name that is no plain file name.
struct PortDirs {
    std::string device_map, dev_dir = "/dev/", by_id_dir = "/dev/serial/by-id/";
};
std::string port_path(const std::string& modem, const PortDirs& dirs);
// The modem a "Modem: NAME" connection stands for; empty for any other.
std::string modem_of_profile(const char* profile);

// Opens the port for this process alone (TIOCEXCL and flock), raw 8N1 at
// 115200, non-blocking, ignoring carrier; -1 with errno when it cannot.
int open_port(const std::string& path);

// The modems this process holds (ModemAllocate/ModemRelease): a handle,
// or 0 when the port could not be had within wait_ms.
intptr_t allocate(const std::string& modem, const std::string& path, uint32_t wait_ms, int* reason);
void release(intptr_t handle);
// A descriptor of its own for a dial: a duplicate of the port held for the
// modem (a release while the dial runs leaves it working, and the modem is
// handed back when the dial lets go), else the port opened anew; -1 when
// neither.
int port_for_call(const std::string& modem, const std::string& path);

using Log = std::function<void(const std::string&)>;

enum class Final { Ok, Error, Connect, NoCarrier, None };
struct AtReply {
    Final final = Final::None;
    std::string text;   // every line before the final one
    std::string final_line;
};
// Sends "cmd\r" and reads to the final result within limit_ms (at most 4 KiB).
AtReply at_command(int fd, const std::string& cmd, uint32_t limit_ms, const Log& log);

// The AT side of the call: 0 with the line in data mode after CONNECT, else
// a DialError. Nothing of the login or password is sent here: they belong
// to PPP.
int dial_data_call(int fd, const std::string& apn, const Limits& l, const Log& log);

// One HTTP request for the proxy's root through a stream already connected
// to it (the raw data call, or a socket over the link); 0 when the proxy
// answered with a status below 400, 1 otherwise (refused, silent, garbage).
int proxy_exchange(int fd, const std::string& proxy, uint32_t limit_ms, const Log& log);

// Leaves data mode ("+++" between guard times) and hangs up (ATH).
void hang_up_line(int fd, uint32_t guard_ms, const Limits& l, const Log& log);

}  // namespace ovr::mmswap
