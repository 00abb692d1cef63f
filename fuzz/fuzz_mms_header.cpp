// Received MMS header files are written from what a remote sender supplied:
// the reader keeps its limits whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "queue/mms_files.h"

using namespace ovr::queue;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    MmsHeader h = ParseMmsHeaderText(text);
    if (h.from.size() > 149 || h.to.size() > 149 || h.subject.size() > 499) std::abort();
    for (const MmsContentPart& p : ParseContentLocations(text)) {
        if (p.content_type.size() > 149 || p.path.size() > kMaxHeaderBytes) std::abort();
    }
    return 0;
}
