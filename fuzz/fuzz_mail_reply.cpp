// The mail readers' decisions on arbitrary replies: the SMTP and POP3
// verdicts, and the IMAP tag scanner fed in pieces (the first byte sets their
// size) reaching the verdict it reaches on the whole reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "nettest/mail_test.h"

using ovr::nettest::ImapTagScanner;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t step = data[0] % 64 + 1;
    std::string_view reply(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (ovr::nettest::smtp_reply_good(reply) && !ovr::nettest::smtp_reply_complete(reply)) abort();
    (void)ovr::nettest::pop3_reply_good(reply);

    ImapTagScanner whole("A0001 ");
    ImapTagScanner::Verdict all = whole.scan(reply);
    ImapTagScanner pieces("A0001 ");
    ImapTagScanner::Verdict v = ImapTagScanner::Verdict::Open;
    for (size_t n = 0; v == ImapTagScanner::Verdict::Open && n < reply.size();) {
        n = std::min(reply.size(), n + step);
        v = pieces.scan(reply.substr(0, n));
    }
    if (v != all) abort();

    std::string b = ovr::nettest::base64(reply);
    if (b.size() != (reply.size() + 2) / 3 * 4 || b.find_first_of("\r\n") != std::string::npos) abort();
    return 0;
}
