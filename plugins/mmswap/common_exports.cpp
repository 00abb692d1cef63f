// The exports both GPRS libraries share: the functions the console never
// calls (present because the gateway service's library has them) and the
// dial errors' texts.
#include <cstdint>
#include <cstdio>

#include "at_link.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int WSPConnect() { return 0; }
EXPORT int WSPDisconnect() { return 0; }
EXPORT int WSPRequest() { return 0; }
EXPORT int ModemRequested(const char*) { return 0; }
EXPORT int RasGetUserAndPassword() { return 0; }
EXPORT int RasGetModemName() { return 0; }
EXPORT int ModemReset(const char*) { return 0; }

EXPORT int WSPRasGetErrorString(uint32_t code, char* text, uint32_t room) {
    if (room == 0) return 1;
    std::snprintf(text, room, "%s", ovr::mmswap::error_text(static_cast<int>(code)).c_str());
    return 0;
}
