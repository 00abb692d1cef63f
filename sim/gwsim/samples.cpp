#include "samples.h"

#include <cstdio>

#include "config/ini.h"
#include "platform/fs.h"
#include "queue/queue_dirs.h"

namespace ovr::gwsim {
namespace fs = platform::fs;
namespace {

constexpr const char* kSender = "+15550001";
constexpr const char* kOwnNumber = "+15550100";

// A 1x1 GIF.
constexpr unsigned char kGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                                  0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x01, 0x00,
                                  0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
                                  0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

// "<prefix>YYYYMMDDhhmmss-N" with the first N for which neither NAME.EXT nor
// a directory NAME exists (letter case ignored).
std::string fresh_base(const std::string& dir, const char* prefix, const char* ext, const platform::LocalTime& t) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%s%04d%02d%02d%02d%02d%02d-", prefix, t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    for (unsigned n = 1;; ++n) {
        std::string base = stamp + std::to_string(n);
        if (!queue::find_entry_ignoring_case(dir, base + ext) && !queue::find_entry_ignoring_case(dir, base))
            return base;
    }
}

std::string date_text(const platform::LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

}  // namespace

std::string drop_received_sms(const config::Directories& dirs, SmsSample kind, const platform::LocalTime& now) {
    config::IniPaths ini = config::ini_paths_for(dirs);
    queue::QueueSetup q = queue::make_queue_setup(dirs, ini);
    // The console never creates this directory; the service does.
    std::string dir = queue::ResolveReceivedSmsDirectory(q);
    fs::create_directories(dir);
    std::string modem = config::ini::read_string(ini.rirer, "RIRER", "Modem1", "", 250);
    std::string text = std::string("[SMS-IN]\r\nSender=") + kSender + "\r\nPhoneNumber=" + kOwnNumber + "\r\n";
    switch (kind) {
    case SmsSample::Plain:
        text += std::string("Data=") + kPlainSampleText + "\r\n";
        break;
    case SmsSample::Ucs2:
        text += std::string("binary=Yes\r\ndcs=08\r\nData=") + kUcs2SampleHex + "\r\n";
        break;
    case SmsSample::Gsm7:
        text += std::string("binary=Yes\r\ndcs=00\r\nData=") + kGsm7SampleHex + "\r\n";
        break;
    }
    text += "ModemName=" + modem + "\r\n";
    std::string path = dir + fresh_base(dir, "SMSIN-", ".SMS", now) + ".SMS";
    return fs::write_file_atomic(path, text) ? path : std::string();
}

std::string drop_received_mms(const config::Directories& dirs, const platform::LocalTime& now) {
    config::IniPaths ini = config::ini_paths_for(dirs);
    queue::QueueSetup q = queue::make_queue_setup(dirs, ini);
    std::string dir = queue::ResolveReceivedMmsDirectory(q);
    fs::create_directories(dir);
    std::string base = fresh_base(dir, "MMSIN-", ".HDR", now);
    std::string content = dir + base + "/";
    bool ok = fs::create_directory(content) &&
              fs::write_file_atomic(content + "text.txt", "Hello from the simulated gateway\r\n") &&
              fs::write_file_atomic(content + "image.gif",
                                    std::string_view(reinterpret_cast<const char*>(kGif), sizeof kGif));
    if (!ok) {
        fs::recursive_delete(content);
        return {};
    }
    std::string header = std::string("From: ") + kSender + "/TYPE=PLMN\r\nTo: " + kOwnNumber +
                         "/TYPE=PLMN\r\nSubject: Simulated MMS\r\nDate: " + date_text(now) +
                         "\r\nX-OvrinMMS-Content-Location: " + base + "/text.txt;text/plain\r\n" +
                         "X-OvrinMMS-Content-Location: " + base + "/image.gif;image/gif\r\n";
    std::string path = dir + base + ".HDR";
    if (!fs::write_file_atomic(path, header)) {
        fs::recursive_delete(content);
        return {};
    }
    return path;
}

}  // namespace ovr::gwsim
