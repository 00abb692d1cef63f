#include "support/journal_files.h"

#include <unistd.h>

#include "support/scratch.h"

namespace ovr::test {

std::string journal_export(const std::vector<JournalEntry>& entries) {
    std::string out;
    for (const auto& e : entries) {
        out += "__REALTIME_TIMESTAMP=" + std::to_string(e.realtime) + "\n";
        // One boot whose clock started at the epoch: files written apart
        // interleave in time order.
        out += "__MONOTONIC_TIMESTAMP=" + std::to_string(e.realtime) + "\n";
        out += "_BOOT_ID=8f3c5a0e1b2d4c6f9a7e0d1c2b3a4f5e\n";
        if (!e.identifier.empty()) out += "SYSLOG_IDENTIFIER=" + e.identifier + "\n";
        if (!e.unit.empty()) out += "_SYSTEMD_UNIT=" + e.unit + "\n";
        if (e.priority >= 0 && e.priority <= 7) out += "PRIORITY=" + std::to_string(e.priority) + "\n";
        // The binary form: any byte may be in the text.
        out += "MESSAGE\n";
        uint64_t n = e.message.size();
        for (int i = 0; i < 8; ++i) out += static_cast<char>((n >> (8 * i)) & 0xff);
        out += e.message + "\n\n";
    }
    return out;
}

std::string journal_remote_program() {
    for (const char* p : {"/usr/lib/systemd/systemd-journal-remote", "/lib/systemd/systemd-journal-remote"})
        if (access(p, X_OK) == 0) return p;
    return {};
}

std::string append_journal(const std::string& path, const std::vector<JournalEntry>& entries) {
    std::string prog = journal_remote_program();
    if (prog.empty()) return "systemd-journal-remote is not installed";
    std::string in = path + ".export";
    write_text(in, journal_export(entries));
    auto r = run_program(prog, {"--output=" + path, in});
    unlink(in.c_str());
    if (r.status != 0) return "systemd-journal-remote failed: " + r.err;
    return {};
}

}  // namespace ovr::test
