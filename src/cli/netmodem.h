// ovrinsmsctl modem query and list --network: the network modem devices.
#pragma once

#include "cli/cli.h"

namespace ovr::cli {

int run_modem_query(Context& ctx, const Invocation& inv);
// "modem list --network".
int run_modem_list_network(Context& ctx, const Invocation& inv);
// "modem choose": the Select Modem page's Next.
int run_modem_choose(Context& ctx, const Invocation& inv);

}  // namespace ovr::cli
