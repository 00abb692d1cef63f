// The two calls the queues make into the gateway's support library: the GSM
// 7-bit text conversion of received SMS and the signal that wakes a service
// after a request file was queued. They are reached through this table, which
// holds the support library's own calls unless a test replaces them.
#pragma once

namespace ovr::queue {

struct SupportCalls {
    // GSM7ToUTF8String(udh, text, out): converts text from the GSM 7-bit
    // alphabet to NUL-terminated UTF-8 in out, never longer than text; out may
    // be text itself.
    void (*gsm7_to_utf8)(const char* udh, const char* text, char* out) = nullptr;
    // SetEventForInterface(kind, name): kind "SMSOut" or "VASPOut".
    void (*set_event_for_interface)(const char* kind, const char* name) = nullptr;
};

// The calls in use; a null call leaves the text as it is / signals nothing.
const SupportCalls& support_calls();
void set_support_calls(const SupportCalls& calls);

void gsm7_to_utf8(const char* udh, const char* text, char* out);
void set_event_for_interface(const char* kind, const char* name);

}  // namespace ovr::queue
