// host:port splitting on arbitrary text: the host is always a bounded prefix
// of the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string host;
    uint32_t port = 12345;
    ovr::config::split_host_port(text, host, port, 261);
    if (host.size() > 260) abort();
    if (text.compare(0, host.size(), host) != 0) abort();
    return 0;
}
