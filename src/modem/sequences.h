// The modem test that proves a GSM modem before it is accepted, and the short
// sequences it uses: switching the radio on, waiting for the network and
// resetting a modem that stopped answering.
#pragma once

#include <string>

#include "modem/channel.h"

namespace ovr::modem {

// Shows every outcome in a box; true when the modem passed.
bool TestModem(ModemAccess& acc, const std::string& modem_name, const std::string& pin);
bool EnsureModemPowered(ModemAccess& acc, platform::CommPort& port);
bool WaitForNetwork(ModemAccess& acc, platform::CommPort& port);
bool ResetModem(ModemAccess& acc, platform::CommPort& port);

}  // namespace ovr::modem
