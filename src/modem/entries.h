// Modem entries (the text of Modem1), the section each entry's settings live
// in, and the two ways local modems are found: the data-modem line list and
// the installed modems' attached ports.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/tapi.h"
#include "platform/ui.h"

namespace ovr::modem {

enum class EntryKind { Smpp, Http, Ucp, Cimd, NetworkDevice, LocalModem };

// Told by the entry's beginning, compared without regard to case.
EntryKind entry_kind(std::string_view entry);

// "Modem - " + entry for local modems; [ and ] become \x5B and \x5D.
std::string ModemSectionName(std::string_view entry);

// The line names of every data-modem line device, in device order.
std::vector<std::string> ListTapiModems(platform::Tapi& tapi, Ui& ui);

// The port an installed modem of that friendly name is attached to.
std::optional<std::string> FindModemPort(platform::Registry& registry, std::string_view friendly_name);

// Line capabilities through a buffer that grows as the reply asks; false
// when the device cannot tell them.
bool get_line_caps(platform::Tapi& tapi, uint32_t app, uint32_t device, uint32_t version,
                   platform::LineDevCaps& caps);

}  // namespace ovr::modem
