#include "nettest/mail_test.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <new>
#include <optional>
#include <utility>

#include "config/inet.h"
#include "config/text.h"

namespace ovr::nettest {

namespace {

std::mutex g_mutex;
MailTimeouts g_timeouts;
std::optional<const TlsLibrary*> g_tls_override;
// IMAP tags rise over every command of the process.
std::atomic<int> g_tag{0};

// A transcript shows this much of each reply line and this many lines of a
// reply: a flood must not flood the busy window too.
constexpr size_t kShownLineChars = 200;
constexpr size_t kShownLines = 40;
// Room left in a full reply buffer for the text of the box it goes into.
constexpr size_t kBoxRoom = 64;

// A box text made of a message and the reply, in the reply's own buffer: a
// megabyte of reply is not copied once more.
std::string with_reply(const char* message, std::string&& reply) {
    reply.insert(0, message);
    return std::move(reply);
}

const TlsLibrary* tls_library() {
    {
        std::lock_guard lock(g_mutex);
        if (g_tls_override) return *g_tls_override;
    }
    return TlsLibrary::instance();
}

// CR or LF would end the command early and let the rest run as one of its
// own; NUL ends the text for the server.
bool unsafe_in_command(const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

// Calls f(line) for each complete line, without its end: "\r\n" ends a line;
// where the rest holds none, a lone "\n" does. f returns false to stop.
template <typename F>
void for_each_line(std::string_view buf, F&& f) {
    size_t pos = 0;
    while (pos < buf.size()) {
        size_t end = buf.find("\r\n", pos), next;
        if (end != std::string_view::npos) {
            next = end + 2;
        } else {
            end = buf.find('\n', pos);
            if (end == std::string_view::npos) return;
            next = end + 1;
        }
        if (!f(buf.substr(pos, end - pos))) return;
        pos = next;
    }
}

bool is_final_smtp_line(std::string_view l) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return l.size() >= 4 && digit(l[0]) && digit(l[1]) && digit(l[2]) && l[3] == ' ';
}

bool starts_ok(std::string_view s) {
    return s.size() >= 2 && (s[0] == 'O' || s[0] == 'o') && (s[1] == 'K' || s[1] == 'k');
}

// A line for the transcript: cut on a character boundary, control
// characters as blanks.
std::string shown_line(std::string_view l) {
    std::string out(l.substr(0, kShownLineChars));
    if (l.size() > kShownLineChars) {
        while (!out.empty() && (static_cast<unsigned char>(l[out.size()]) & 0xC0) == 0x80) out.pop_back();
        out += "...";
    }
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    return out;
}

class Connection {
public:
    Connection(Ui* ui, const MailTimeouts& t) : ui_(ui), t_(t), clock_(t.clock ? *t.clock : system_clock_) {}
    ~Connection() {
        if (session_) tls_->free_session(session_);
        if (sock_ >= 0) config::closesocket(sock_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const MailTimeouts& timeouts() const { return t_; }

    // Shows the test's first failure only.
    bool fail(const std::string& text) {
        if (!failed_ && ui_) ui_->error(text);
        failed_ = true;
        return false;
    }
    void show(const std::string& line) {
        if (ui_) ui_->progress(line);
    }

    bool make_socket() {
        sock_ = config::IPV6OpenSocket();
        return sock_ >= 0;
    }
    bool connect(const std::string& host, uint32_t port) {
        show("Connecting to " + host + " port " + std::to_string(port));
        return config::IPV6ConnectToINetServer(sock_, host, port) == 0;
    }

    bool start_tls(const TlsLibrary* tls, std::string& reason) {
        show("Starting TLS");
        tls_ = tls;
        session_ = tls->start_client(sock_, reason);
        // The certificate is not enforced; its verdict is for the transcript.
        if (session_) show("TLS: " + shown_line(reason));
        return session_ != nullptr;
    }

    // Sends the line and "\r\n" in one send; `shown` is what the transcript
    // gets in its place.
    bool send_line(const std::string& text, const std::string& shown) {
        show("> " + shown);
        std::string line = text + "\r\n";
        if (session_) return tls_->send(session_, line.data(), static_cast<int>(line.size())) >= static_cast<int>(line.size());
        size_t done = 0;
        while (done < line.size()) {
            ssize_t n = ::send(sock_, line.data() + done, line.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool send_line(const std::string& text) { return send_line(text, text); }

    enum class Wait { Ready, TimedOut, Failed };
    Wait wait_readable(int ms) {
        if (session_ && tls_->data_pending(session_) > 0) return Wait::Ready;
        pollfd p{sock_, POLLIN, 0};
        int r = ::poll(&p, 1, std::max(ms, 0));
        if (r > 0) return (p.revents & POLLNVAL) ? Wait::Failed : Wait::Ready;
        if (r == 0 || errno == EINTR) return Wait::TimedOut;
        return Wait::Failed;
    }

    // One read of what is waiting. A TLS record still partial reads as
    // nothing; no byte waiting on a readable socket is a closed peer.
    enum class Read { Data, Nothing, Closed, Error };
    Read read_once(std::string& buf) {
        int waiting = 0;
        if (::ioctl(sock_, FIONREAD, &waiting) < 0) waiting = 0;
        if (waiting <= 0 && session_) waiting = std::max(tls_->data_pending(session_), 0);
        if (waiting <= 0) return Read::Closed;
        size_t room = static_cast<size_t>(waiting);
        if (session_) room = std::max<size_t>(room, 1024);
        room = std::min(room, kReadLimit);
        const size_t old = buf.size();
        try {
            // Growing by half each time would hold 1 MiB and 1.5 MiB at once
            // near the limit: past a quarter of it, the buffer goes straight
            // to its largest size.
            if (buf.capacity() < old + room + 2) {
                size_t grown = std::max(buf.capacity() + buf.capacity() / 2, old + room + 16);
                buf.reserve(grown > kReplyLimit / 4 ? kReplyLimit + kReadLimit + kBoxRoom : grown);
            }
            buf.resize(old + room);
        } catch (const std::bad_alloc&) {
            return Read::Error;
        }
        ssize_t n;
        if (session_) {
            n = tls_->recv(session_, buf.data() + old, static_cast<int>(room));
        } else {
            do n = ::recv(sock_, buf.data() + old, room, 0);
            while (n < 0 && errno == EINTR);
        }
        buf.resize(old + static_cast<size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0) return Read::Error;
        // The reply stays one text.
        std::replace(buf.begin() + static_cast<std::ptrdiff_t>(old), buf.end(), '\0', ' ');
        return n > 0 ? Read::Data : Read::Nothing;
    }

    // The SMTP and POP3 receiving loop: reads until `done` says enough, no
    // byte came for `timeout_ms`, the peer closed, or the reply limit.
    template <typename Done>
    std::string receive(int timeout_ms, bool repeat_timed_out_wait, Done&& done) {
        std::string buf;
        uint64_t last = clock_.tick_ms();
        while (!done(buf) && buf.size() < kReplyLimit) {
            uint64_t idle = clock_.tick_ms() - last;
            if (idle >= static_cast<uint64_t>(timeout_ms)) break;
            Wait w = wait_readable(timeout_ms - static_cast<int>(idle));
            if (w == Wait::TimedOut && repeat_timed_out_wait) continue;
            if (w != Wait::Ready) break;
            Read r = read_once(buf);
            if (r == Read::Closed || r == Read::Error) break;
            if (r == Read::Data) last = clock_.tick_ms();
        }
        show_reply(buf);
        return buf;
    }

    // Success when a final SMTP reply line begins with 2, 3 or 0.
    bool smtp_reply(int timeout_ms, std::string* text = nullptr) {
        std::string buf = receive(timeout_ms, false, [](const std::string& b) { return smtp_reply_complete(b); });
        bool good = smtp_reply_good(buf);
        if (text) *text = std::move(buf);
        return good;
    }

    // Success when a complete line came; `text` gets the reply.
    bool pop3_line(int timeout_ms, std::string* text = nullptr) {
        auto has_line = [](const std::string& b) { return b.find('\n') != std::string::npos; };
        std::string buf = receive(timeout_ms, true, has_line);
        bool got = has_line(buf);
        if (text) *text = std::move(buf);
        return got;
    }

    // Sends a tagged IMAP command and reads to its tagged reply: true when
    // its status is OK (any case). `shown` is the command for the transcript.
    bool imap_command(const std::string& command, const std::string& shown) {
        char tag[24];
        std::snprintf(tag, sizeof tag, "A%04d ", ++g_tag);
        if (!send_line(tag + command, tag + shown)) return false;
        return imap_reply(tag);
    }

private:
    bool imap_reply(const std::string& tag) {
        std::string buf;
        ImapTagScanner scanner(tag);
        const uint64_t start = clock_.tick_ms();
        uint64_t last = start;
        ImapTagScanner::Verdict verdict = ImapTagScanner::Verdict::Open;
        while (verdict == ImapTagScanner::Verdict::Open && buf.size() < kReplyLimit) {
            const uint64_t now = clock_.tick_ms();
            const int64_t idle_left = t_.imap_idle - static_cast<int64_t>(now - last);
            const int64_t total_left = t_.imap_total - static_cast<int64_t>(now - start);
            if (idle_left <= 0 || total_left <= 0) break;
            Wait w = wait_readable(static_cast<int>(std::min<int64_t>({t_.imap_wait, idle_left, total_left})));
            if (w == Wait::TimedOut) continue;
            if (w == Wait::Failed) break;
            Read r = read_once(buf);
            // A peer that closed will never send the tag.
            if (r == Read::Closed || r == Read::Error) break;
            if (r == Read::Nothing) continue;
            last = clock_.tick_ms();
            verdict = scanner.scan(buf);
        }
        show_reply(buf);
        return verdict == ImapTagScanner::Verdict::Ok;
    }

    void show_reply(std::string_view buf) {
        if (!ui_) return;
        size_t lines = 0;
        for_each_line(buf, [&](std::string_view l) {
            if (++lines <= kShownLines) show("< " + shown_line(l));
            return true;
        });
        if (lines > kShownLines) show("< ... (" + std::to_string(lines - kShownLines) + " more lines)");
        size_t tail = buf.rfind('\n');
        tail = tail == std::string_view::npos ? 0 : tail + 1;
        if (tail < buf.size())
            show("< " + shown_line(buf.substr(tail)) + " [no line end, " + std::to_string(buf.size() - tail) + " bytes]");
    }

    Ui* ui_;
    MailTimeouts t_;
    platform::SystemClock system_clock_;
    platform::Clock& clock_;
    const TlsLibrary* tls_ = nullptr;
    TlsLibrary::Session session_ = nullptr;
    int sock_ = -1;
    bool failed_ = false;
};

struct Target {
    std::string host;
    uint32_t port = 0;
};

Target split(const std::string& server, uint32_t plain_port, uint32_t tls_port, bool tls) {
    Target t;
    config::split_host_port(server, t.host, t.port);
    if (t.port == 0) t.port = tls ? tls_port : plain_port;
    return t;
}

// The library, started for every test whether TLS is wanted or not; null
// when TLS is not wanted. With TLS wanted and no ready library the test
// fails before connecting rather than send the password in clear.
const TlsLibrary* ready_tls(bool wanted, bool& unavailable) {
    const TlsLibrary* l = tls_library();
    bool ready = l && l->init_lib() != 0;
    unavailable = wanted && !ready;
    return wanted && ready ? l : nullptr;
}

constexpr const char* kNoTls = "TLS library not available";

}  // namespace

MailTimeouts mail_timeouts() {
    std::lock_guard lock(g_mutex);
    return g_timeouts;
}

void set_mail_timeouts(const MailTimeouts& t) {
    std::lock_guard lock(g_mutex);
    g_timeouts = t;
}

void set_tls_library_for_tests(const TlsLibrary* lib) {
    std::lock_guard lock(g_mutex);
    g_tls_override = lib;
}

void reset_tls_library_for_tests() {
    std::lock_guard lock(g_mutex);
    g_tls_override.reset();
}

std::string base64(std::string_view bytes) {
    static constexpr char abc[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k) v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        out += abc[v >> 18];
        out += abc[(v >> 12) & 63];
        out += n > 1 ? abc[(v >> 6) & 63] : '=';
        out += n > 2 ? abc[v & 63] : '=';
    }
    return out;
}

std::string imap_quoted(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

bool smtp_reply_complete(std::string_view reply) {
    bool found = false;
    for_each_line(reply, [&](std::string_view l) {
        found = is_final_smtp_line(l);
        return !found;
    });
    return found;
}

bool smtp_reply_good(std::string_view reply) {
    char verdict = 0;
    for_each_line(reply, [&](std::string_view l) {
        if (!is_final_smtp_line(l)) return true;
        verdict = l[0];
        return false;
    });
    return verdict == '2' || verdict == '3' || verdict == '0';
}

bool pop3_reply_good(std::string_view reply) {
    size_t s = reply.find_first_not_of(' ');
    if (s == std::string_view::npos || reply.size() - s < 3 || reply[s] != '+') return false;
    return starts_ok(reply.substr(s + 1));
}

ImapTagScanner::Verdict ImapTagScanner::scan(std::string_view buf) {
    // A tag counts at the very start or after a control character, so one
    // straddling two reads is still found, however long the line before it.
    while (found_ == std::string::npos) {
        size_t pos = buf.find(tag_, search_from_);
        if (pos == std::string_view::npos) {
            // A tag cut by the end of the buffer is searched again.
            search_from_ = std::max(search_from_, buf.size() >= tag_.size() ? buf.size() - tag_.size() + 1 : 0);
            return Verdict::Open;
        }
        if (pos == 0 || static_cast<unsigned char>(buf[pos - 1]) < 32) {
            found_ = pos;
            search_from_ = pos + tag_.size();   // from here: the end of its line
        } else {
            search_from_ = pos + 1;
        }
    }
    size_t end = buf.find('\n', search_from_);
    if (end == std::string_view::npos) {
        search_from_ = buf.size();
        return Verdict::Open;
    }
    std::string_view status = buf.substr(found_ + tag_.size());
    status.remove_prefix(std::min(status.find_first_not_of(' '), status.size()));
    return starts_ok(status) ? Verdict::Ok : Verdict::Failed;
}

bool test_smtp(Ui* parent, const std::string& server, bool use_tls, const std::string& user,
               const std::string& password) {
    Connection c(parent, mail_timeouts());
    const MailTimeouts& t = c.timeouts();
    const std::string login_failed = "SMTP login failed - Invalid username and/or password?";
    if (unsafe_in_command(user) || unsafe_in_command(password)) return c.fail(login_failed);
    bool unavailable = false;
    const TlsLibrary* tls = ready_tls(use_tls, unavailable);
    if (unavailable) return c.fail("SSL Connection failed for SMTP server - " + server + " " + kNoTls + ")");
    Target to = split(server, kSmtpPort, kSmtpTlsPort, use_tls);
    if (!c.make_socket()) return c.fail("Connection failed for SMTP server - " + server);
    if (!c.connect(to.host, to.port)) return c.fail("Connection failed for SMTP server (" + server + ")");
    const std::string hello = (user.empty() ? "HELO " : "EHLO ") + std::string("clienttest");
    bool greeted = false;
    if (tls) {
        // A plain greeting means STARTTLS; none within the probe means the
        // server expects TLS at once. A refused STARTTLS still tries TLS.
        if (c.smtp_reply(t.probe) && c.send_line(hello) && c.smtp_reply(t.upgrade) && c.send_line("STARTTLS") &&
            c.smtp_reply(t.upgrade))
            greeted = true;
        std::string reason;
        if (!c.start_tls(tls, reason))
            return c.fail("SSL Connection failed for SMTP server - " + server + " " + reason + ")");
    }
    std::string text;
    if (!greeted && !c.smtp_reply(t.greeting, &text))
        return c.fail(with_reply("Timeout Waiting for SMTP - ", std::move(text)));
    if (!c.send_line(hello)) return c.fail("Error sending SMTP EHLO command");
    if (!c.smtp_reply(t.smtp_reply, &text))
        return c.fail(with_reply("Timeout Waiting for SMTP EHLO response - ", std::move(text)));
    if (!user.empty()) {
        bool ok = c.send_line("AUTH LOGIN") && c.smtp_reply(t.smtp_reply) && c.send_line(base64(user)) &&
                  c.smtp_reply(t.smtp_reply) && c.send_line(base64(password), "********") &&
                  c.smtp_reply(t.smtp_reply);
        if (!ok) return c.fail(login_failed);
    }
    if (c.send_line("QUIT")) c.smtp_reply(t.smtp_quit);
    return true;
}

bool test_imap(Ui* parent, const std::string& server, bool use_tls, const std::string& user,
               const std::string& password) {
    Connection c(parent, mail_timeouts());
    const std::string login_failed = "IMAP login failed - Invalid username and/or password?";
    if (unsafe_in_command(user) || unsafe_in_command(password)) return c.fail(login_failed);
    bool unavailable = false;
    const TlsLibrary* tls = ready_tls(use_tls, unavailable);
    if (unavailable) return c.fail(std::string("SSL Connection failed for IMAP server - ") + kNoTls);
    Target to = split(server, kImapPort, kImapTlsPort, use_tls);
    if (!c.make_socket()) return c.fail("Connection failed for IMAP server - " + server);
    if (!c.connect(to.host, to.port)) return c.fail("Connection failed for IMAP server (" + server + ")");
    if (tls) {
        // A plain greeting within the probe means STARTTLS, whatever its answer.
        if (c.wait_readable(c.timeouts().probe) == Connection::Wait::Ready) c.imap_command("STARTTLS", "STARTTLS");
        std::string reason;
        if (!c.start_tls(tls, reason)) return c.fail("SSL Connection failed for IMAP server - " + reason);
    }
    // The greeting is not read: it arrives ahead of the tagged reply.
    const std::string quoted_user = "\"" + imap_quoted(user) + "\"";
    if (!c.imap_command("LOGIN " + quoted_user + " \"" + imap_quoted(password) + "\"",
                        "LOGIN " + quoted_user + " \"********\""))
        return c.fail(login_failed);
    c.imap_command("LOGOUT", "LOGOUT");
    return true;
}

bool test_pop3(Ui* parent, const std::string& server, bool use_tls, const std::string& user,
               const std::string& password) {
    Connection c(parent, mail_timeouts());
    const MailTimeouts& t = c.timeouts();
    const std::string login_failed = "POP3 login failed - Invalid username and/or password?";
    if (unsafe_in_command(user) || unsafe_in_command(password)) return c.fail(login_failed);
    bool unavailable = false;
    const TlsLibrary* tls = ready_tls(use_tls, unavailable);
    if (unavailable) return c.fail(std::string("SSL Connection failed for POP3 server - ") + kNoTls);
    Target to = split(server, kPop3Port, kPop3TlsPort, use_tls);
    if (!c.make_socket()) return c.fail("Connection failed for POP3 server - " + server);
    if (!c.connect(to.host, to.port)) return c.fail("Connection failed for POP3 server (" + server + ")");
    bool greeted = false;
    if (tls) {
        if (c.pop3_line(t.probe) && c.send_line("STLS") && c.pop3_line(t.upgrade)) greeted = true;
        std::string reason;
        if (!c.start_tls(tls, reason)) return c.fail("SSL Connection failed for POP3 server - " + reason);
    }
    // The greeting's text is not examined, only that one came.
    std::string reply;
    bool ok = (greeted || c.pop3_line(t.greeting)) && c.send_line("USER " + user) &&
              c.pop3_line(t.pop3_reply, &reply) && pop3_reply_good(reply) &&
              c.send_line("PASS " + password, "PASS ********") && c.pop3_line(t.pop3_reply, &reply) &&
              pop3_reply_good(reply);
    if (!ok) return c.fail(login_failed);
    if (c.send_line("QUIT")) c.pop3_line(t.pop3_reply);
    return true;
}

}  // namespace ovr::nettest
