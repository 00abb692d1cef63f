// SMS request and received files come from other programs: the parser must
// stay inside its buffers and fields whatever the bytes, and the display text
// conversion must never grow the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "queue/sms_file.h"

using namespace ovr::queue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto rec = std::make_unique<SmsFileRecord>();
    ParseSmsText(std::string_view(reinterpret_cast<const char*>(data), size), *rec);
    auto terminated = [](const char* field, size_t room) { return strnlen(field, room) < room; };
    if (!terminated(rec->PhoneNumber, sizeof rec->PhoneNumber) || !terminated(rec->Data, sizeof rec->Data) ||
        !terminated(rec->LastErrorInfo, sizeof rec->LastErrorInfo) || !terminated(rec->udh, sizeof rec->udh))
        std::abort();
    size_t before = std::strlen(rec->Data);
    char text[sizeof rec->Data];
    std::memcpy(text, rec->Data, sizeof text);
    convert_display_text(*rec, text);
    if (strnlen(text, sizeof text) > before) std::abort();
    return 0;
}
