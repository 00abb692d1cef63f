// A network device's "GET /init" reply, arriving over a socket: the reader
// keeps at most its cap, leaves the text terminated, and the header values it
// hands out are cut to their room and free of control characters.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "modem/network_device.h"
#include "platform/clock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the cap, so replies both under and over it are seen.
    const size_t caps[] = {1, 16, 150, 4096, 1024 * 1024};
    ovr::modem::HttpReadLimits limits;
    limits.cap = caps[data[0] % 5];
    ++data;
    --size;

    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return 0;
    size_t sent = 0;
    while (sent < size) {
        ssize_t n = write(sv[1], data + sent, size - sent);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    shutdown(sv[1], SHUT_WR);

    ovr::platform::FakeClock clock;
    std::vector<char> buffer;
    size_t length = 0;
    bool ok = ovr::modem::ReadHttpReply(sv[0], buffer, length, clock, limits);
    close(sv[0]);
    close(sv[1]);
    if (!ok) return 0;
    if (length > limits.cap || length > sent) abort();
    if (buffer.size() <= length || buffer[length] != '\0') abort();

    std::string_view reply(buffer.data(), length);
    size_t end = ovr::modem::HttpHeaderEnd(reply);
    if (end > length) abort();
    for (size_t room : {size_t{1}, size_t{2}, ovr::modem::kDeviceValueSize}) {
        std::string value;
        ovr::modem::HttpHeaderValue(reply, "X-OvrinSMS-DeviceName:", value, room);
        if (value.size() >= room) abort();
        for (unsigned char c : value)
            if (c < 32) abort();
    }
    return 0;
}
