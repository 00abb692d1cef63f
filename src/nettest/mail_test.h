// Login tests of the mail servers a mailbox names: IMAP or POP3 for polling,
// SMTP for sending. Each test connects, optionally secures the connection
// with the TLS library, runs a short fixed dialogue and closes. The first
// failure is shown in a box on `parent` (none when it is null); a success is
// silent. Every command and reply line goes to `parent->progress`, passwords
// (plain or base64) as "********".
//
// No test can hang: every wait is bounded by the table below, every reply by
// kReplyLimit, and a peer that closes ends the read at once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "nettest/tls_library.h"
#include "platform/clock.h"
#include "platform/ui.h"

namespace ovr::nettest {

// Every wait of the tests, in milliseconds; unit tests scale them down.
struct MailTimeouts {
    int probe = 3000;           // a plain greeting before TLS
    int upgrade = 5000;         // replies of the STARTTLS/STLS dialogue
    int greeting = 30000;       // the greeting
    int smtp_reply = 120000;    // EHLO and AUTH LOGIN replies
    int smtp_quit = 10000;
    int pop3_reply = 60000;     // USER, PASS, QUIT replies
    int imap_wait = 15000;      // one wait for readability, repeated
    int imap_idle = 180000;     // no byte for this long fails
    int imap_total = 1800000;   // a whole tagged reply
    // Measures the waits; null: the machine's clock.
    platform::Clock* clock = nullptr;
};
MailTimeouts mail_timeouts();
void set_mail_timeouts(const MailTimeouts& t);

// A reply is cut off once it holds 1 MiB; each read takes at most 64 KiB,
// so no reply grows past kReplyLimit + kReadLimit.
inline constexpr size_t kReplyLimit = 1048576;
inline constexpr size_t kReadLimit = 65536;

// The TLS library the tests use: TlsLibrary::instance() unless a test set
// another (nullptr meaning absent). Tests only.
void set_tls_library_for_tests(const TlsLibrary* lib);
void reset_tls_library_for_tests();

// Default ports when the server text names none (or port 0).
inline constexpr uint32_t kSmtpPort = 25, kSmtpTlsPort = 587;
inline constexpr uint32_t kImapPort = 143, kImapTlsPort = 993;
inline constexpr uint32_t kPop3Port = 110, kPop3TlsPort = 995;

bool test_smtp(Ui* parent, const std::string& server, bool use_tls, const std::string& user,
               const std::string& password);
bool test_imap(Ui* parent, const std::string& server, bool use_tls, const std::string& user,
               const std::string& password);
bool test_pop3(Ui* parent, const std::string& server, bool use_tls, const std::string& user,
               const std::string& password);

// RFC 4648 base64 of the bytes, one line.
std::string base64(std::string_view bytes);
// The text to put inside IMAP quotes: '"' and '\' escaped.
std::string imap_quoted(std::string_view text);

// The readers' decisions on a reply text, for the readers themselves and for
// fuzzing. The first complete line of the form "DDD " (digits, blank) decides
// an SMTP reply: true for a leading 2, 3 or 0.
bool smtp_reply_complete(std::string_view reply);
bool smtp_reply_good(std::string_view reply);
// A POP3 reply that begins, after blanks, with "+OK" in any case.
bool pop3_reply_good(std::string_view reply);

// Finds the tagged line of an IMAP reply as it arrives. Feed it the whole
// buffer after each read; it scans each byte once, so a reply of 1 MiB in
// small reads costs no more than one pass.
class ImapTagScanner {
public:
    enum class Verdict { Open, Ok, Failed };
    explicit ImapTagScanner(std::string tag) : tag_(std::move(tag)) {}
    Verdict scan(std::string_view buffer);

private:
    std::string tag_;
    size_t search_from_ = 0;   // no qualifying tag begins before this
    size_t found_ = std::string::npos;
};

}  // namespace ovr::nettest
