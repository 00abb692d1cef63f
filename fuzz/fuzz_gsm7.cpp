// Received 7-bit texts come from the network through the gateway: the
// conversion must never write past the text it was given, must keep it
// terminated, and must never make it longer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/gsm7.h"

using ovr::config::GSM7ToUTF8String;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly as many bytes as the text and its NUL, so ASan sees any overrun.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    size_t before = std::strlen(text.data());
    GSM7ToUTF8String(nullptr, text.data(), text.data());
    size_t after = strnlen(text.data(), text.size());
    if (after == text.size() || after > before) std::abort();

    // The same through a separate output buffer of the text's size.
    std::vector<char> in(data, data + size);
    in.push_back('\0');
    std::vector<char> out(in.size(), 'x');
    GSM7ToUTF8String("", in.data(), out.data());
    if (strnlen(out.data(), out.size()) == out.size()) std::abort();

    // Most raw inputs are not hexadecimal; the same bytes as septet digits
    // reach every table and escape path.
    static const char digits[] = "0123456789ABCDEF";
    std::vector<char> hex;
    for (size_t i = 0; i < size; ++i) {
        hex.push_back(digits[data[i] >> 4]);
        hex.push_back(digits[data[i] & 15]);
    }
    hex.push_back('\0');
    before = hex.size() - 1;
    GSM7ToUTF8String(nullptr, hex.data(), hex.data());
    after = strnlen(hex.data(), hex.size());
    if (after == hex.size() || after > before) std::abort();
    return 0;
}
