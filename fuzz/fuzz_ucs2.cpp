// UCS-2 texts of received SMS are hexadecimal from the network: decoding in
// place must never write past the text nor make it longer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "queue/sms_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    size_t before = std::strlen(text.data());
    ovr::queue::DecodeUcs2Hex(text.data(), text.data());
    if (strnlen(text.data(), text.size()) > before) std::abort();

    std::vector<char> in(data, data + size);
    in.push_back('\0');
    std::vector<char> out(std::strlen(in.data()) + 1, 'x');
    ovr::queue::DecodeUcs2Hex(in.data(), out.data());
    if (strnlen(out.data(), out.size()) == out.size()) std::abort();
    return 0;
}
