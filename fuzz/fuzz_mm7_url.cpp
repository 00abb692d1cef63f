// The MM7 receiver's URL rules on arbitrary text: the host is a bounded piece
// of the text before any "/", and the default port follows the scheme.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "nettest/mm7.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string url(reinterpret_cast<const char*>(data), size);
    ovr::nettest::Mm7Target t = ovr::nettest::parse_mm7_url(url);
    if (t.host.size() > 260) abort();
    if (t.host.find('/') != std::string::npos) abort();
    if (url.find(t.host) == std::string::npos) abort();
    return 0;
}
