// The two MMS file kinds the console reads: the header file of a received
// MMS and the routing companion of an outbound MMS request pair.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovr::queue {

// Of a header file, only the first this many bytes are read.
inline constexpr size_t kMaxHeaderBytes = 8191;

struct MmsHeader {
    std::string from;      // up to 149 characters, cut at "/TYPE="
    std::string to;        // the same
    std::string subject;   // up to 499 characters
};

struct MmsContentPart {
    std::string path;           // relative to the received MMS directory
    std::string content_type;   // up to 149 characters, may be empty
};

// Reads "From:", "To:" and "Subject:" lines (a later line replaces an
// earlier one). Nothing when the file cannot be opened or read, or is a link
// or no regular file.
std::optional<MmsHeader> ReadMmsHeader(const std::string& path);
// The same from a file the caller opened.
std::optional<MmsHeader> ReadMmsHeader(int fd);
MmsHeader ParseMmsHeaderText(std::string_view text);

// The "X-OvrinMMS-Content-Location:" lines, in file order.
std::vector<MmsContentPart> ReadContentLocations(const std::string& path);
std::vector<MmsContentPart> ParseContentLocations(std::string_view text);

struct RoutingCompanion {
    std::string sender;        // [Routing] SenderAddress
    int32_t retry_count = 0;   // [Routing] RetryCount
    std::string last_error;    // [Routing] LastErrorInfo
    std::vector<std::string> recipients;   // [Recipients] values, "/TYPE=..." cut off
};

// Values read into 500-byte buffers; the [Recipients] section into one
// 500-byte buffer, so entries that do not fit are not seen. Queue files are
// read only as regular files, never through a link.
RoutingCompanion ReadRoutingCompanion(const std::string& path);
RoutingCompanion ReadRoutingCompanion(int fd);
// The recipients of "key=value" section entries; an entry without "=" ends
// the reading.
std::vector<std::string> parse_recipients(const std::vector<std::string>& entries);

}  // namespace ovr::queue
