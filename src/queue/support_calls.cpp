#include "queue/support_calls.h"

#include <cstring>

#include "config/gsm7.h"
#include "config/interface_events.h"

namespace ovr::queue {
namespace {
SupportCalls& current() {
    static SupportCalls calls{
        &config::GSM7ToUTF8String,
        [](const char* kind, const char* name) { config::SetEventForInterface(kind, name); },
    };
    return calls;
}
}  // namespace

const SupportCalls& support_calls() { return current(); }
void set_support_calls(const SupportCalls& calls) { current() = calls; }

void gsm7_to_utf8(const char* udh, const char* text, char* out) {
    if (current().gsm7_to_utf8) {
        current().gsm7_to_utf8(udh, text, out);
    } else if (out != text) {
        std::memmove(out, text, std::strlen(text) + 1);
    }
}

void set_event_for_interface(const char* kind, const char* name) {
    if (current().set_event_for_interface) current().set_event_for_interface(kind, name);
}

}  // namespace ovr::queue
