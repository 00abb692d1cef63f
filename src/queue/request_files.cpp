#include "queue/request_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "config/ini.h"
#include "config/text.h"
#include "platform/fs.h"
#include "queue/support_calls.h"

namespace ovr::queue {
namespace fs = platform::fs;
namespace {

constexpr const char* kRouteName = "ovrinsmslite";
constexpr std::string_view kNetworkModemPrefix = "OvrinSMSModem - ";

bool write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// A file being written under a temporary name beside its final name. It is
// removed unless it was moved to its final name.
class PendingFile {
public:
    PendingFile(const std::string& dir, const std::string& final_name) : final_(dir + final_name) {
        // "~NAME.xxxxxx": ends in six letters or digits, so no "*.EXT"
        // pattern of the queues matches it.
        std::string tmpl = dir + "~" + final_name + ".XXXXXX";
        fd_ = mkostemp(tmpl.data(), O_CLOEXEC);
        if (fd_ < 0) return;
        temp_ = tmpl;
        // Created as an ordinary new file would be: the services update
        // queued files while they retry.
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    ~PendingFile() {
        close_fd();
        if (!temp_.empty()) unlink(temp_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool created() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& final_path() const { return final_; }

    // Flushes and closes the file; false when any of it failed.
    bool finish() {
        bool ok = fd_ >= 0 && fsync(fd_) == 0;
        return close_fd() && ok;
    }
    // Moves the finished file to its final name, replacing a file there.
    bool commit() {
        if (temp_.empty() || ::rename(temp_.c_str(), final_.c_str()) != 0) return false;
        temp_.clear();
        return true;
    }

private:
    bool close_fd() {
        if (fd_ < 0) return true;
        bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }
    std::string final_;
    std::string temp_;
    int fd_ = -1;
};

bool copy_file(int from, int to) {
    char chunk[32768];
    for (;;) {
        ssize_t r = ::read(from, chunk, sizeof chunk);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) return true;
        if (!write_all(to, chunk, static_cast<size_t>(r))) return false;
    }
}

std::string modem1(const QueueSetup& q) { return config::ini::read_string(q.ini.rirer, "RIRER", "Modem1", "", 250); }

}  // namespace

bool is_valid_phone_number(std::string_view text) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::string test_tag(uint64_t tick_ms) {
    char tag[16];
    std::snprintf(tag, sizeof tag, "TEST%04X", static_cast<unsigned>(tick_ms & 0xFFFF));
    return tag;
}

std::string sms_request_text(const std::string& number) {
    return "[SMS]\r\nPhoneNumber=" + number + "\r\nData=OvrinSMS Test Message\r\n";
}

std::string routing_companion_text(const std::string& tag, const std::string& number) {
    return "[Routing]\r\nMessageID=" + tag + "\r\n[Recipients]\r\nRecip1=" + number + "/TYPE=VASP:ovrinsmslite\r\n";
}

bool WriteSmsRequest(const QueueSetup& q, const std::string& tag, const std::string& number) {
    PendingFile file(ResolveOutboundSmsQueue(q), tag + ".REQ");
    if (!file.created()) return false;
    std::string text = sms_request_text(number);
    return write_all(file.fd(), text.data(), text.size()) && file.finish() && file.commit();
}

std::string mms_template_path(const QueueSetup& q) {
    const std::string name = "MMSTEST.MMS";
    return find_entry_ignoring_case(q.dirs.real_program, name).value_or(q.dirs.real_program + name);
}

MmsRequestResult WriteMmsRequest(const QueueSetup& q, const std::string& tag, const std::string& number) {
    int tmpl = open(mms_template_path(q).c_str(), O_RDONLY | O_CLOEXEC);
    if (tmpl < 0) return MmsRequestResult::TemplateMissing;
    struct stat st {};
    if (fstat(tmpl, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(tmpl);
        return MmsRequestResult::TemplateMissing;
    }
    const std::string dir = ResolveOutboundMmsQueue(q);
    bool ok = false;
    {
        PendingFile companion(dir, tag + ".INI");
        PendingFile message(dir, tag + ".MMS");
        std::string text = routing_companion_text(tag, number);
        ok = companion.created() && message.created() && write_all(companion.fd(), text.data(), text.size()) &&
             companion.finish() && copy_file(tmpl, message.fd()) && message.finish() && companion.commit();
        if (ok && !message.commit()) {
            // Without its message file the companion would be a stray.
            unlink(companion.final_path().c_str());
            ok = false;
        }
    }
    close(tmpl);
    return ok ? MmsRequestResult::Ok : MmsRequestResult::CreateFailed;
}

void SignalSmsQueued(const QueueSetup& q) { set_event_for_interface("SMSOut", modem1(q).c_str()); }

void SignalMmsQueued(const QueueSetup& q) {
    std::string modem = modem1(q);
    if (modem.size() >= kNetworkModemPrefix.size() &&
        config::equal_ignoring_case(std::string_view(modem).substr(0, kNetworkModemPrefix.size()), kNetworkModemPrefix))
        set_event_for_interface("VASPOut", modem.c_str() + kNetworkModemPrefix.size());
    set_event_for_interface("VASPOut", kRouteName);
}

}  // namespace ovr::queue
