// ovrinsmsctl modem query and list --network: the network modem devices.
#pragma once

#include "cli/cli.h"

namespace ovr::cli {

// The words after "modem query".
int run_modem_query(Context& ctx, const Args& args);
// The words after "modem list" when they hold --network.
int run_modem_list_network(Context& ctx, const Args& args);

}  // namespace ovr::cli
