#include "modem/channel.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "config/ini.h"
#include "config/text.h"
#include "modem/entries.h"
#include "modem/sequences.h"

namespace ovr::modem {

using platform::CommPort;
namespace tapi = platform::tapi;

namespace {

constexpr uint32_t kSpeeds[] = {115200, 57600, 38400, 19200, 9600, 2400};
constexpr uint32_t kWriteWaitMs = 11000;
constexpr uint32_t kApiVersion = 0x00020001;
constexpr uint32_t kLowestApiVersion = 0x00010003;
constexpr size_t kVarStringSize = 2048;

std::string cut(std::string_view s, size_t n) { return std::string(s.substr(0, std::min(n, s.size()))); }

std::string hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%X", v);
    return b;
}

// Opens a port under its name, then under its device path; on failure shows
// the access error.
std::unique_ptr<CommPort> open_port(ModemAccess& acc, const std::string& name) {
    platform::SystemError first, second;
    auto port = acc.ports.open(name, first);
    if (port) return port;
    std::string device = name;
    if (!device.empty() && device.back() == ':') device.pop_back();
    port = acc.ports.open("\\\\.\\" + device, second);
    if (port) return port;
    // The device path names no device of its own when the port name was
    // mapped through the device folder: then the first error tells more.
    const platform::SystemError& e = (second.code == ENOENT && first.code != ENOENT) ? first : second;
    std::string text = "Unable to access modem at " + name + " -- Error " + hex(static_cast<uint32_t>(e.code)) + " -- ";
    config::bounded_append(text, e.text, kResponseBuffer);
    if (e.in_use) config::bounded_append(text, "\r\nAnother application is already using this device.", kResponseBuffer);
    show_box(acc, text, Icon::Error);
    return nullptr;
}

uint32_t whole_seconds(platform::Clock& c) { return static_cast<uint32_t>(c.tick_ms() / 1000); }

}  // namespace

void show_box(ModemAccess& acc, const std::string& text, Icon icon) {
    if (acc.busy) acc.ui.busy_end();
    acc.ui.message(text, icon);
    if (acc.busy) acc.ui.busy_begin("Testing modem...");
}

std::string visible_text(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\r') out += "<CR>";
        else if (c == '\n') out += "<LF>";
        else if (c == 0x1B) out += "<ESC>";
        else if (c < 0x20 || c >= 0x7F) {
            char b[8];
            std::snprintf(b, sizeof b, "<%02X>", c);
            out += b;
        } else out += static_cast<char>(c);
    }
    return out;
}

bool is_direct_port_name(std::string_view name) {
    if (name.size() < 4 || !config::equal_ignoring_case(name.substr(0, 3), "COM") || name.back() != ':') return false;
    for (size_t i = 3; i + 1 < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

bool IsOkResponse(std::string_view text) {
    return text.find("\nOK") != std::string_view::npos || text.find("\rOK") != std::string_view::npos;
}

bool SetModemTimeouts(ModemAccess& acc, CommPort& port, const platform::CommTimeouts& proposed) {
    bool old = config::is_yes_value(config::ini::read_string(acc.rirer_ini, "RIRER", "OldModemTimeouts", "No"));
    platform::CommTimeouts t = proposed;
    if (!old) t = {platform::kMaxDword, 0, 0, 0, 0};
    return port.set_timeouts(t);
}

bool SendModemCommand(ModemAccess& acc, CommPort& port, std::string_view text) {
    acc.ui.progress("-> " + visible_text(text));
    uint64_t progress = acc.clock.tick_ms();
    size_t written = 0;
    bool stop = false;
    while (written < text.size() && !stop) {
        if (acc.clock.tick_ms() - progress >= kWriteWaitMs) break;
        switch (port.write_byte(static_cast<uint8_t>(text[written]), kWriteWaitMs)) {
            case platform::WriteStatus::Written:
                ++written;
                progress = acc.clock.tick_ms();
                break;
            case platform::WriteStatus::ZeroAtOnce:
                acc.clock.sleep_ms(2);
                break;
            case platform::WriteStatus::ZeroAfterWait:
                // Nothing went out within the write time-out: no progress.
                port.clear_error();
                stop = true;
                break;
            case platform::WriteStatus::Incomplete:
                port.cancel();
                return false;
            case platform::WriteStatus::Failed:
                return false;
        }
    }
    return written == text.size();
}

size_t ReadModemResponse(ModemAccess& acc, CommPort& port, std::string& buffer, size_t capacity,
                         uint32_t timeout_seconds) {
    buffer.clear();
    if (capacity == 0) return 0;
    uint32_t start = whole_seconds(acc.clock);
    uint32_t wait_ms = std::max<uint32_t>(timeout_seconds * 1000u, 50u);
    auto done = [&](size_t n) {
        if (n == 0) acc.ui.progress("<- (no reply)");
        else acc.ui.progress("<- " + visible_text(buffer));
        return n;
    };
    while (whole_seconds(acc.clock) - start <= timeout_seconds) {
        size_t room = capacity - 1 - buffer.size();
        platform::ReadOutcome r = port.read(room, wait_ms);
        if (r.kind == platform::ReadOutcome::Failed) {
            buffer.clear();
            return done(0);
        }
        if (r.kind == platform::ReadOutcome::Incomplete) continue;
        if (r.data.empty()) {
            if (r.kind == platform::ReadOutcome::AtOnce) acc.clock.sleep_ms(1);
            continue;
        }
        buffer += r.data;
        if (IsOkResponse(buffer) || buffer.find("ERROR") != std::string::npos) return done(buffer.size());
    }
    return done(buffer.size());
}

bool InitModemAtSpeed(ModemAccess& acc, CommPort& port, uint32_t speed, const std::string& pin) {
    port.get_state();
    char def[64];
    std::snprintf(def, sizeof def, "baud=%u parity=N data=8 stop=1", speed);
    auto settings = platform::build_line_settings(def);
    if (!settings) return false;
    port.set_state(*settings);
    acc.ui.progress("(line speed " + std::to_string(speed) + " bps)");
    std::string reply;
    SendModemCommand(acc, port, "\r");
    ReadModemResponse(acc, port, reply, kResponseBuffer, 1);
    if (!pin.empty()) {
        SendModemCommand(acc, port, "AT+CPIN=\"" + pin + "\"\r");
        ReadModemResponse(acc, port, reply, kResponseBuffer, 5);
    }
    SendModemCommand(acc, port, "ATE0V1\r");
    if (ReadModemResponse(acc, port, reply, kResponseBuffer, 5) == 0) return false;
    if (!IsOkResponse(reply)) return false;
    char text[64];
    std::snprintf(text, sizeof text, "Initialised modem at %u bps", speed);
    show_box(acc, text, Icon::Information);
    return true;
}

void WaitForLineReply(ModemAccess& acc, uint32_t line_app, uint32_t seconds) {
    uint32_t start = whole_seconds(acc.clock);
    while (whole_seconds(acc.clock) - start < seconds || seconds == 0) {
        platform::LineMessage m;
        int32_t r = acc.tapi.get_message(line_app, m, seconds == 0 ? 0 : 1000);
        if (!tapi::failed(r) && m.id == tapi::kLineReply) return;
        // An application that is gone gets no replies: nothing to wait for.
        if (static_cast<uint32_t>(r) == tapi::kErrInvalAppHandle || seconds == 0) return;
    }
}

void CloseChannel(ModemAccess& acc, OpenChannel& ch) {
    if (ch.call) acc.tapi.drop(ch.call);
    if (ch.line_app) WaitForLineReply(acc, ch.line_app, 5);
    if (ch.call) acc.tapi.deallocate_call(ch.call);
    if (ch.line) acc.tapi.close(ch.line);
    ch.port.reset();
    if (ch.line_app) acc.tapi.shutdown(ch.line_app);
    ch.call = ch.line = ch.line_app = 0;
}

bool RecoverModemPort(ModemAccess& acc, const std::string& port_name, const std::string& pin) {
    std::string name = cut(port_name, kFallbackPortChars);
    if (name.size() >= 3 && config::equal_ignoring_case(std::string_view(name).substr(0, 3), "COM") &&
        name.back() != ':')
        name += ':';
    bool answered = false, reset_done = false;
    for (;;) {
        auto port = open_port(acc, name);
        if (!port) return false;
        if (!port->setup_queues(1024, 1024) || !port->get_state()) return answered;
        SetModemTimeouts(acc, *port, kOpenTimeouts);
        // Each slower speed is tried after a hang-up at the speed before,
        // in case the modem was left in a data call.
        static constexpr uint32_t kSteps[] = {115200, 0, 115200, 57600, 0, 57600, 38400, 0, 38400,
                                              19200,  0, 19200,  9600,  0, 9600};
        bool found = false;
        std::string reply;
        for (uint32_t s : kSteps) {
            if (s == 0) {
                SendModemCommand(acc, *port, "+++ATH0\r");
                ReadModemResponse(acc, *port, reply, kResponseBuffer, 1);
            } else if (InitModemAtSpeed(acc, *port, s, pin)) {
                found = true;
                break;
            }
        }
        if (found) answered = true;
        if (found && !reset_done) {
            reset_done = true;
            if (ResetModem(acc, *port)) {
                port.reset();
                acc.clock.sleep_ms(15000);
                continue;
            }
        }
        return answered;
    }
}

OpenChannel OpenModemPort(ModemAccess& acc, const std::string& modem_name, const std::string& pin) {
    std::string fallback;
    for (int pass = 0; pass < 2; ++pass) {
        OpenChannel ch;
        if (is_direct_port_name(modem_name)) {
            fallback = cut(modem_name, kFallbackPortChars);
            ch.port = open_port(acc, modem_name);
            if (!ch.port) return {};
            if (!ch.port->setup_queues(1024, 1024)) {
                show_box(acc, "SetupComm Failed", Icon::None);
                return ch;
            }
            if (!ch.port->get_state()) {
                show_box(acc, "GetCommState Failed", Icon::None);
                return ch;
            }
            SetModemTimeouts(acc, *ch.port, kOpenTimeouts);
            for (uint32_t s : kSpeeds)
                if (InitModemAtSpeed(acc, *ch.port, s, pin)) return ch;
            ch.port.reset();
            if (pass == 0 && RecoverModemPort(acc, fallback, pin)) continue;
            return {};
        }

        uint32_t count = 0, version = kApiVersion;
        int32_t r = acc.tapi.initialize(kProgramTitle, tapi::kInitOptionUseEvent, ch.line_app, count, version);
        if (tapi::failed(r)) {
            show_box(acc, "Unable to initialize TAPI:  Error " + hex(static_cast<uint32_t>(r)) + " from lineInitialize",
                     Icon::Error);
            return {};
        }
        if (auto p = FindModemPort(acc.registry, modem_name)) fallback = cut(*p, kFallbackPortChars);
        // The line messages are held back on a first pass with a port to
        // recover: the recovery follows and a second pass reports.
        auto report = [&](const std::string& text) {
            if (fallback.empty() || pass == 1) show_box(acc, "Unable to initialize modem:  " + text, Icon::Error);
        };
        for (uint32_t d = 0; d < count; ++d) {
            uint32_t v = 0;
            if (tapi::failed(acc.tapi.negotiate_api_version(ch.line_app, d, kLowestApiVersion, kApiVersion, v))) continue;
            platform::LineDevCaps caps;
            if (!get_line_caps(acc.tapi, ch.line_app, d, v, caps)) continue;
            if (!(caps.media_modes & tapi::kMediaModeDataModem) ||
                !config::equal_ignoring_case(caps.line_name, modem_name))
                continue;
            r = acc.tapi.open(ch.line_app, d, ch.line, v, tapi::kCallPrivilegeNone, tapi::kMediaModeDataModem);
            if (tapi::failed(r)) {
                ch.line = 0;
                report("Error " + hex(static_cast<uint32_t>(r)) + " from lineOpen");
                continue;
            }
            std::string port_name;
            if (!tapi::failed(acc.tapi.get_line_id(ch.line, "comm/datamodem/portname", kVarStringSize, port_name)) &&
                !port_name.empty())
                fallback = cut(port_name, kFallbackPortChars);
            if (fallback.empty())
                if (auto p = FindModemPort(acc.registry, modem_name)) fallback = cut(*p, kFallbackPortChars);
            r = acc.tapi.make_call(ch.line, ch.call, tapi::kBearerModePassthrough, tapi::kMediaModeDataModem);
            if (tapi::failed(r)) {
                ch.call = 0;
                report("Error " + hex(static_cast<uint32_t>(r)) + " from lineMakeCall");
            } else {
                uint32_t start = whole_seconds(acc.clock);
                while (whole_seconds(acc.clock) - start < 30) {
                    platform::LineMessage m;
                    int32_t g = acc.tapi.get_message(ch.line_app, m, 5000);
                    if (!tapi::failed(g) && m.id == tapi::kLineReply) break;
                    if (static_cast<uint32_t>(g) == tapi::kErrInvalAppHandle) break;
                }
                // The call handle is only filled in by a successful reply.
                if (ch.call) {
                    r = acc.tapi.get_call_comm(ch.call, kVarStringSize, ch.port);
                    if (!tapi::failed(r) && ch.port) return ch;
                    ch.port.reset();
                    report("Error " + hex(static_cast<uint32_t>(r)) + " from lineGetID");
                } else {
                    report("lineMakeCall failed to init modem");
                }
            }
            if (ch.call) {
                acc.tapi.drop(ch.call);
                WaitForLineReply(acc, ch.line_app, 5);
                acc.tapi.deallocate_call(ch.call);
                ch.call = 0;
            }
            acc.tapi.close(ch.line);
            ch.line = 0;
        }
        acc.tapi.shutdown(ch.line_app);
        ch.line_app = 0;
        if (pass == 0 && !fallback.empty() && RecoverModemPort(acc, fallback, pin)) continue;
        return {};
    }
    return {};
}

}  // namespace ovr::modem
