#include <iconv.h>

#include "platform/fs.h"
#include "platform/registry.h"

namespace ovr::platform {

std::vector<std::string> Registry::mime_charsets() { return host_mime_charsets(); }

std::vector<std::string> host_mime_charsets() {
    // iconv knows over a thousand names, most of them no MIME name; this is
    // the MIME set a received SMS command can come in.
    static const char* const kNames[] = {
        "big5",         "euc-jp",       "euc-kr",       "gb18030",      "gb2312",       "gbk",
        "ibm850",       "ibm866",       "iso-2022-jp",  "iso-2022-kr",  "iso-8859-1",   "iso-8859-10",
        "iso-8859-13",  "iso-8859-14",  "iso-8859-15",  "iso-8859-16",  "iso-8859-2",   "iso-8859-3",
        "iso-8859-4",   "iso-8859-5",   "iso-8859-6",   "iso-8859-7",   "iso-8859-8",   "iso-8859-9",
        "koi8-r",       "koi8-u",       "shift_jis",    "tis-620",      "us-ascii",     "utf-16",
        "utf-16be",     "utf-16le",     "utf-32",       "utf-7",        "utf-8",        "windows-1250",
        "windows-1251", "windows-1252", "windows-1253", "windows-1254", "windows-1255", "windows-1256",
        "windows-1257", "windows-1258", "windows-874"};
    std::vector<std::string> out;
    for (const char* name : kNames) {
        iconv_t cd = ::iconv_open("UTF-8", name);
        if (cd == reinterpret_cast<iconv_t>(-1)) continue;
        ::iconv_close(cd);
        out.emplace_back(name);
    }
    return out;
}

std::optional<std::vector<std::string>> charsets_from_file(const std::string& path) {
    constexpr size_t kMaxBytes = 64 * 1024, kMaxNames = 1024, kMaxName = 500;
    auto text = fs::read_file(path, 16u << 20);
    if (!text) return std::nullopt;
    std::string_view rest = std::string_view(*text).substr(0, kMaxBytes);
    std::vector<std::string> out;
    while (!rest.empty() && out.size() < kMaxNames) {
        size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (!line.empty() && line.size() <= kMaxName) out.emplace_back(line);
    }
    return out;
}

}  // namespace ovr::platform
