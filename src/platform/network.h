// Networking set-up for the life of the process. On POSIX there is no library
// to start, but a write to a peer that has gone must fail with EPIPE rather
// than end the console, so SIGPIPE is ignored.
#pragma once

namespace ovr::platform {

bool start_network();
void stop_network();

}  // namespace ovr::platform
