#include "pages/mms_details.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "config/text.h"
#include "platform/fs.h"
#include "queue/mms_files.h"
#include "queue/queue_dirs.h"

namespace ovr::pages {
namespace fs = platform::fs;
namespace {

// Bytes of a file from its start, at most `max`; nothing when it cannot be
// opened, is a link (the received directory is the gateway users' to write)
// or is no regular file.
std::optional<std::string> read_head(const std::string& path, size_t max) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::string text(max, '\0');
    size_t got = 0;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        while (got < max) {
            ssize_t r = read(fd, text.data() + got, max - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += static_cast<size_t>(r);
        }
    } else {
        close(fd);
        return std::nullopt;
    }
    close(fd);
    text.resize(got);
    return text;
}

// A content path the services wrote is relative to the received MMS
// directory; one that is absolute or climbs out of it is not opened.
bool stays_inside(const std::string& rel) {
    if (rel.empty() || rel.front() == '/') return false;
    size_t start = 0;
    while (start <= rel.size()) {
        size_t end = rel.find('/', start);
        if (end == std::string::npos) end = rel.size();
        if (rel.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

// False when a step of `rel` below `base` is a link, or is not a directory
// where one is needed, or its last is no regular file: a link the gateway's
// users planted in a content directory is never handed to an editor or
// viewer (which may run elevated). A missing part is left to the viewer to
// report.
bool plain_file_below(const std::string& base, const std::string& rel) {
    std::string path = base;
    size_t start = 0;
    while (start < rel.size()) {
        size_t end = rel.find('/', start);
        if (end == std::string::npos) end = rel.size();
        if (end > start) {
            if (!path.empty() && path.back() != '/') path += '/';
            path.append(rel, start, end - start);
            struct stat st {};
            if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
            bool last = rel.find_first_not_of('/', end) == std::string::npos;
            if (last ? !S_ISREG(st.st_mode) : !S_ISDIR(st.st_mode)) return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace

MmsDetails::MmsDetails(Context& ctx, const std::string& header_path)
    : ctx_(ctx),
      mms_directory_(queue::ResolveReceivedMmsDirectory(queue::make_queue_setup(ctx.dirs, ctx.ini))) {
    if (!fs::regular_file_exists(header_path)) return;
    auto text = read_head(header_path, queue::kMaxHeaderBytes);
    if (!text) return;
    // The text ends at its first NUL, as the header's reader sees it.
    text->resize(strnlen(text->data(), text->size()));
    header_text_ = *text;
    for (const queue::MmsContentPart& part : queue::ParseContentLocations(header_text_)) {
        size_t cut = part.path.find_last_of("\\/");
        std::string entry = cut == std::string::npos ? part.path : part.path.substr(cut + 1);
        if (!part.content_type.empty()) entry += " (" + part.content_type + ")";
        entries_.push_back(entry + "\t" + part.path);
        paths_.push_back(part.path);
    }
    if (!entries_.empty()) selected_ = 0;
}

void MmsDetails::select(int entry) {
    selected_ = entry >= 0 && entry < static_cast<int>(entries_.size()) ? entry : -1;
}

std::string MmsDetails::part_path(int entry) const {
    if (entry < 0 || entry >= static_cast<int>(entries_.size())) return {};
    std::string rel = paths_[static_cast<size_t>(entry)];
    for (char& c : rel) {
        if (c == '\\') c = '/';
    }
    if (!stays_inside(rel) || !plain_file_below(mms_directory_, rel)) return {};
    return mms_directory_ + rel;
}

void MmsDetails::view() {
    if (selected_ < 0) return;
    const std::string& entry = entries_[static_cast<size_t>(selected_)];
    const std::string& rel = paths_[static_cast<size_t>(selected_)];
    const std::string full = part_path(selected_);
    if (full.empty()) return;
    const bool smil = config::find_ignoring_case(entry, "application/smil").has_value();
    bool editor;
    if (rel.find('.') != std::string::npos)
        editor = smil;
    else
        editor = smil || config::find_ignoring_case(entry, "text/").has_value();
    // Failures to start either are not reported.
    if (editor)
        ctx_.ui->run_editor(full);
    else
        ctx_.ui->shell_open(full, fs::parent_directory(full));
}

}  // namespace ovr::pages
