// The Modem page's "Lookup Operator Settings" over the operator database:
// the settings of the network the modem's SIM is on, or a box saying why
// there are none (the database is missing or damaged, the modem does not
// tell its network, the network's operators publish no MMS settings). The
// fields are left as they were whenever nothing is found.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pages/modem_page.h"
#include "platform/ui.h"

namespace ovr::pages {

// networks: the candidates for the modem's network, the likeliest first.
// Several operators of one network (virtual ones riding on it): the
// network's own operator is taken, and a box names the others.
std::optional<OperatorMmsSettings> LookupOperatorSettings(Ui& ui, const std::string& database,
                                                          const std::vector<std::string>& networks);

}  // namespace ovr::pages
