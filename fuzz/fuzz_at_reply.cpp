// A modem's answers during a data call come from hardware the console does
// not control: whatever bytes it sends, the AT side of the call ends without
// waiting, keeps at most 4 KiB of any reply, and gives one of its own results.
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "at_link.h"

using namespace ovr::mmswap;

namespace {

bool known_dial_result(int code) {
    switch (code) {
        case 0: case kModemSilent: case kNoAnswer: case kNoCoverage: case kApnRefused: case kAuthFailed: return true;
        default: return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)ready;
    if (size < 1) return 0;
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return 0;
    // The modem's side says everything at once and then falls silent for
    // good, so every read after the input ends at once instead of waiting.
    size_t off = 1;
    while (off < size) {
        ssize_t n = send(sv[1], data + off, size - off, MSG_DONTWAIT);
        if (n <= 0) break;
        off += static_cast<size_t>(n);
    }
    shutdown(sv[1], SHUT_WR);

    Limits l;
    l.reply_ms = l.attach_ms = l.dial_ms = l.link_ms = l.proxy_ms = 50;
    switch (data[0] % 4) {
        case 0: {
            AtReply r = at_command(sv[0], "AT+CGATT?", 50, nullptr);
            if (r.text.size() > 4096 || r.final_line.size() > 4096) std::abort();
            if (r.final == Final::None && !r.text.empty()) std::abort();
            break;
        }
        case 1:
            if (!known_dial_result(dial_data_call(sv[0], "mms.operator", l, nullptr))) std::abort();
            break;
        case 2: {
            int r = proxy_exchange(sv[0], "10.1.1.1:8080", 50, nullptr);
            if (r != 0 && r != 1) std::abort();
            break;
        }
        default:
            hang_up_line(sv[0], 0, l, [](const std::string& line) {
                if (line.size() > 4096 + 8) std::abort();
            });
    }
    close(sv[0]);
    close(sv[1]);
    return 0;
}
