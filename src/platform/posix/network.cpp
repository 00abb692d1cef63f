#include "platform/network.h"

#include <csignal>

namespace ovr::platform {

bool start_network() { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }

void stop_network() {}

}  // namespace ovr::platform
