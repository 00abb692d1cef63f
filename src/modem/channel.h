// The serial AT channel to a locally attached GSM modem: opening its port
// directly or through a data-modem line, finding a speed it answers at,
// sending one AT command a byte at a time and reading its reply.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/comm_port.h"
#include "platform/registry.h"
#include "platform/tapi.h"
#include "platform/ui.h"

namespace ovr::modem {

// What the channel works with: the OS services, the user and RIRER.INI (for
// OldModemTimeouts).
struct ModemAccess {
    platform::CommPorts& ports;
    platform::Tapi& tapi;
    platform::Registry& registry;
    platform::Clock& clock;
    Ui& ui;
    std::string rirer_ini;
    bool busy = false;   // a busy indicator is up (taken down around each box)
};

// Shows a box, taking the busy indicator down while it is up.
void show_box(ModemAccess& acc, const std::string& text, Icon icon);

inline constexpr size_t kResponseBuffer = 500;
inline constexpr size_t kFallbackPortChars = 99;

inline constexpr platform::CommTimeouts kOpenTimeouts{200, 0, 1000, 0, 2000};
inline constexpr platform::CommTimeouts kTestTimeouts{200, 0, 1000, 0, 15000};

// A port with the line handles it was obtained with (all zero for a port
// opened directly). Whoever opened it closes it with CloseChannel.
struct OpenChannel {
    std::unique_ptr<platform::CommPort> port;
    uint32_t line_app = 0;
    uint32_t line = 0;
    uint32_t call = 0;
    bool valid() const { return port != nullptr; }
};

// "COM" in any case, decimal digits, a colon, nothing else.
bool is_direct_port_name(std::string_view name);

OpenChannel OpenModemPort(ModemAccess& acc, const std::string& modem_name, const std::string& pin);
bool SetModemTimeouts(ModemAccess& acc, platform::CommPort& port, const platform::CommTimeouts& proposed);
bool InitModemAtSpeed(ModemAccess& acc, platform::CommPort& port, uint32_t speed, const std::string& pin);
bool SendModemCommand(ModemAccess& acc, platform::CommPort& port, std::string_view text);
// Reads into buffer (at most capacity - 1 bytes); the count held.
size_t ReadModemResponse(ModemAccess& acc, platform::CommPort& port, std::string& buffer, size_t capacity,
                         uint32_t timeout_seconds);
bool IsOkResponse(std::string_view text);
bool RecoverModemPort(ModemAccess& acc, const std::string& port_name, const std::string& pin);
void WaitForLineReply(ModemAccess& acc, uint32_t line_app, uint32_t seconds);
// Drop and deallocate the call, close the line, close the port, shut the
// line application down.
void CloseChannel(ModemAccess& acc, OpenChannel& channel);

// The AT dialogue as shown in the busy indicator: control characters
// spelled out.
std::string visible_text(std::string_view text);

}  // namespace ovr::modem
