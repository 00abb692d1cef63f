#include "queue/mms_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "config/ini.h"
#include "config/text.h"
#include "queue/line_walk.h"
#include "queue/sms_file.h"

namespace ovr::queue {
namespace {

constexpr size_t kAddressRoom = 149;
constexpr size_t kSubjectRoom = 499;
constexpr size_t kContentTypeRoom = 149;
constexpr size_t kValueBuffer = 500;

bool starts_with_ignoring_case(const char* line, std::string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        if (line[i] == 0 || config::upper_char(line[i]) != config::upper_char(name[i])) return false;
    }
    return true;
}

const char* skip_blanks(const char* p) {
    while (is_skipped_byte(*p)) ++p;
    return p;
}

std::string header_value(const char* rest, size_t room) {
    const char* v = skip_blanks(rest);
    return std::string(v, strnlen(v, room));
}

std::string address_value(const char* rest) {
    std::string v = header_value(rest, kAddressRoom);
    if (auto at = config::find_ignoring_case(v, "/TYPE=")) v.resize(*at);
    return v;
}

// Up to `max` bytes from the start of an open file; nothing on a read error.
std::optional<std::string> read_up_to(int fd, size_t max) {
    std::string buf(max, '\0');
    size_t got = 0;
    while (got < max) {
        ssize_t r = pread(fd, buf.data() + got, max - got, static_cast<off_t>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return std::nullopt;
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    buf.resize(got);
    return buf;
}

// Opens a queue file the way the listings do: a regular file only, never
// through a link, never waiting on a fifo.
int open_queue_file(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

std::optional<std::string> read_head(const std::string& path) {
    int fd = open_queue_file(path);
    if (fd < 0) return std::nullopt;
    auto text = read_up_to(fd, kMaxHeaderBytes);
    close(fd);
    return text;
}

template <typename Fn>
void walk_text(std::string_view text, Fn&& fn) {
    std::string buf(text.substr(0, kMaxHeaderBytes));
    walk_lines(buf.data(), [&](char* line) {
        fn(static_cast<const char*>(line));
        return true;
    });
}

}  // namespace

MmsHeader ParseMmsHeaderText(std::string_view text) {
    MmsHeader h;
    walk_text(text, [&](const char* line) {
        if (starts_with_ignoring_case(line, "From:")) {
            h.from = address_value(line + 5);
        } else if (starts_with_ignoring_case(line, "To:")) {
            h.to = address_value(line + 3);
        } else if (starts_with_ignoring_case(line, "Subject:")) {
            h.subject = header_value(line + 8, kSubjectRoom);
        }
    });
    return h;
}

std::optional<MmsHeader> ReadMmsHeader(const std::string& path) {
    auto text = read_head(path);
    if (!text) return std::nullopt;
    return ParseMmsHeaderText(*text);
}

std::optional<MmsHeader> ReadMmsHeader(int fd) {
    auto text = read_up_to(fd, kMaxHeaderBytes);
    if (!text) return std::nullopt;
    return ParseMmsHeaderText(*text);
}

std::vector<MmsContentPart> ParseContentLocations(std::string_view text) {
    static constexpr std::string_view kName = "X-OvrinMMS-Content-Location:";
    std::vector<MmsContentPart> parts;
    walk_text(text, [&](const char* line) {
        if (!starts_with_ignoring_case(line, kName)) return;
        std::string_view value = skip_blanks(line + kName.size());
        MmsContentPart part;
        size_t semi = value.find(';');
        part.path = std::string(value.substr(0, semi));
        if (semi != std::string_view::npos) {
            std::string_view type = value.substr(semi + 1);
            type = type.substr(0, type.find(';'));
            part.content_type = std::string(type.substr(0, kContentTypeRoom));
        }
        parts.push_back(std::move(part));
    });
    return parts;
}

std::vector<MmsContentPart> ReadContentLocations(const std::string& path) {
    auto text = read_head(path);
    if (!text) return {};
    return ParseContentLocations(*text);
}

std::vector<std::string> parse_recipients(const std::vector<std::string>& entries) {
    std::vector<std::string> out;
    for (const std::string& e : entries) {
        size_t eq = e.find('=');
        if (eq == std::string::npos) break;
        std::string r = e.substr(eq + 1);
        if (auto at = config::find_ignoring_case(r, "/TYPE=")) r.resize(*at);
        out.push_back(std::move(r));
    }
    return out;
}

RoutingCompanion ReadRoutingCompanion(int fd) {
    namespace ini = config::ini;
    RoutingCompanion c;
    struct stat st {};
    if (fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) > ini::kMaxFileBytes) return c;
    auto text = read_up_to(fd, static_cast<size_t>(st.st_size));
    if (!text) return c;
    c.sender = ini::string_in(*text, "Routing", "SenderAddress", "", kValueBuffer);
    c.retry_count = parse_decimal(ini::string_in(*text, "Routing", "RetryCount", "", kValueBuffer).c_str());
    c.last_error = ini::string_in(*text, "Routing", "LastErrorInfo", "", kValueBuffer);
    c.recipients = parse_recipients(ini::section_in(*text, "Recipients", kValueBuffer));
    return c;
}

RoutingCompanion ReadRoutingCompanion(const std::string& path) {
    int fd = open_queue_file(path);
    if (fd < 0) return {};
    RoutingCompanion c = ReadRoutingCompanion(fd);
    close(fd);
    return c;
}

}  // namespace ovr::queue
