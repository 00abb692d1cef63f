#include "mail_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>

#include "nettest/tls_library.h"

namespace ovr::mailsim {

namespace {

const char* const kProfiles[] = {"normal", "silent", "421", "multiline", "bare-lf", "helo-only",
                                 "upgrade-refused", "imap-no", "imap-lower-ok", "imap-split",
                                 "imap-long-tagged", "pop3-err", "flood", "tls-silent", "tls-half-record",
                                 "close-after-command"};

std::string decode64(const std::string& in) {
    std::string out;
    unsigned v = 0;
    int bits = 0;
    for (char c : in) {
        int d;
        if (c >= 'A' && c <= 'Z') d = c - 'A';
        else if (c >= 'a' && c <= 'z') d = c - 'a' + 26;
        else if (c >= '0' && c <= '9') d = c - '0' + 52;
        else if (c == '+') d = 62;
        else if (c == '/') d = 63;
        else continue;
        v = (v << 6) | static_cast<unsigned>(d);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((v >> bits) & 0xFF);
        }
    }
    return out;
}

// The quoted strings of an IMAP command, escapes undone.
std::vector<std::string> quoted_args(const std::string& line) {
    std::vector<std::string> out;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '"') continue;
        std::string a;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) ++i;
            a += line[i];
        }
        out.push_back(a);
    }
    return out;
}

}  // namespace

std::optional<Protocol> parse_protocol(const std::string& s) {
    if (s == "smtp") return Protocol::Smtp;
    if (s == "imap") return Protocol::Imap;
    if (s == "pop3") return Protocol::Pop3;
    return std::nullopt;
}

std::optional<Profile> parse_profile(const std::string& s) {
    for (size_t i = 0; i < std::size(kProfiles); ++i)
        if (s == kProfiles[i]) return static_cast<Profile>(i);
    return std::nullopt;
}

const char* profile_name(Profile p) { return kProfiles[static_cast<size_t>(p)]; }

std::vector<std::string> profile_names() { return {std::begin(kProfiles), std::end(kProfiles)}; }

const char* protocol_name(Protocol p) {
    switch (p) {
    case Protocol::Smtp: return "smtp";
    case Protocol::Imap: return "imap";
    case Protocol::Pop3: return "pop3";
    }
    return "?";
}

// One connection: plain or TLS, line reads that give up when the server stops.
class Peer {
public:
    Peer(Server& s, int sock) : s_(s), sock_(sock), tls_(nettest::TlsLibrary::instance()) {}
    ~Peer() {
        if (session_) tls_->free_session(session_);
    }
    bool ok() const { return alive_; }
    const std::string& eol() const { return eol_; }
    void set_eol(const std::string& e) { eol_ = e; }

    bool accept_tls() {
        std::string reason;
        if (!tls_) return alive_ = false;
        session_ = tls_->start_server(sock_, reason);
        return alive_ = session_ != nullptr;
    }

    void raw(const std::string& bytes) {
        size_t done = 0;
        while (alive_ && done < bytes.size()) {
            ssize_t n = ::send(sock_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) alive_ = false;
            else done += static_cast<size_t>(n);
        }
    }
    void write(const std::string& bytes) {
        if (!alive_) return;
        if (!session_) return raw(bytes);
        if (tls_->send(session_, bytes.data(), static_cast<int>(bytes.size())) < static_cast<int>(bytes.size()))
            alive_ = false;
    }
    void line(const std::string& text) { write(text + eol_); }

    // The next line without its end; nothing once closed or stopping.
    std::optional<std::string> read_line() {
        for (;;) {
            size_t lf = in_.find('\n');
            if (lf != std::string::npos) {
                std::string l = in_.substr(0, lf);
                in_.erase(0, lf + 1);
                if (!l.empty() && l.back() == '\r') l.pop_back();
                s_.log(l);
                return l;
            }
            if (!alive_ || in_.size() > 65536) return std::nullopt;
            if (!wait()) return std::nullopt;
            char buf[4096];
            int n;
            if (session_) {
                n = tls_->recv(session_, buf, sizeof buf);
            } else {
                n = static_cast<int>(::recv(sock_, buf, sizeof buf, 0));
                if (n == 0) n = -1;
            }
            if (n < 0) {
                alive_ = false;
                return std::nullopt;
            }
            in_.append(buf, static_cast<size_t>(n));
        }
    }

    // Until the peer leaves or the server stops.
    void idle() {
        while (alive_ && wait()) {
            char buf[4096];
            int n = session_ ? tls_->recv(session_, buf, sizeof buf) : static_cast<int>(::recv(sock_, buf, sizeof buf, 0));
            if (n < 0 || (!session_ && n == 0)) alive_ = false;
        }
    }

private:
    bool wait() {
        while (!s_.stopping_) {
            if (session_ && tls_->data_pending(session_) > 0) return true;
            pollfd p{sock_, POLLIN, 0};
            int r = ::poll(&p, 1, 50);
            if (r > 0) return true;
            if (r < 0 && errno != EINTR) return false;
        }
        return false;
    }

    Server& s_;
    int sock_;
    const nettest::TlsLibrary* tls_;
    nettest::TlsLibrary::Session session_ = nullptr;
    std::string in_;
    std::string eol_ = "\r\n";
    bool alive_ = true;
};

Server::Server(Options o) : o_(std::move(o)) {}

Server::~Server() { stop(); }

bool Server::start(std::string& error) {
    if (o_.security != Security::Plain) {
        const nettest::TlsLibrary* tls = nettest::TlsLibrary::instance();
        if (!tls || !tls->init_lib() || (!tls->server_cert_exists() && !tls->generate_certificate())) {
            error = "TLS library not available";
            return false;
        }
    }
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(o_.port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(listen_, 8) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        error = std::string("cannot listen: ") + std::strerror(errno);
        return false;
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
    return true;
}

void Server::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        (void)!::write(wake_[1], "x", 1);
        thread_.join();
    }
    for (int* fd : {&listen_, &wake_[0], &wake_[1]})
        if (*fd >= 0) ::close(*fd), *fd = -1;
}

void Server::log(std::string line) {
    std::lock_guard lock(mutex_);
    if (received_.size() < kLogLimit) received_.push_back(std::move(line));
}

std::vector<std::string> Server::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void Server::run() {
    while (!stopping_) {
        pollfd p[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR) return;
        if (stopping_) return;
        if (!(p[0].revents & POLLIN)) continue;
        int s = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (s < 0) continue;
        ++connections_;
        serve(s);
        ::close(s);
    }
}

void Server::serve(int sock) {
    Peer p(*this, sock);
    const Profile f = o_.profile;
    if (f == Profile::BareLf) p.set_eol("\n");
    // After a TLS accept: false when the profile ends the conversation.
    auto after_accept = [&] {
        if (f == Profile::TlsSilent) return p.idle(), false;
        if (f == Profile::TlsHalfRecord) {
            // An application-data record header promising 64 bytes, and 5 of them.
            p.raw(std::string("\x17\x03\x03\x00\x40\x01\x02\x03\x04\x05", 10));
            return p.idle(), false;
        }
        return true;
    };
    if (o_.security == Security::Implicit && !(p.accept_tls() && after_accept())) return;
    if (f == Profile::Silent) return p.idle();
    if (f == Profile::Flood) {
        std::string chunk(65536, 'x');
        for (uint64_t sent = 0; sent < o_.flood_bytes && p.ok() && !stopping_; sent += chunk.size())
            p.write(o_.flood_bytes - sent < chunk.size() ? chunk.substr(0, o_.flood_bytes - sent) : chunk);
        return p.idle();
    }
    // The upgrade dialogue; false when the connection is over.
    auto upgrade = [&](const std::string& yes, const std::string& no) {
        if (o_.security != Security::Upgrade || f == Profile::UpgradeRefused) {
            p.line(no);
            return true;
        }
        p.line(yes);
        return p.accept_tls() && after_accept();
    };
    // The next command; nothing once the peer left, or after the first
    // command when the profile closes unanswered.
    auto next = [&]() -> std::optional<std::string> {
        auto l = p.read_line();
        if (l && f == Profile::CloseAfterCommand) return std::nullopt;
        return l;
    };

    if (o_.protocol == Protocol::Smtp) {
        if (f == Profile::Code421) return p.line("421 mailsim busy, try later");
        if (f == Profile::MultiLineGreeting) p.line("220-mailsim.test ESMTP");
        p.line("220 mailsim.test ESMTP ready");
        while (auto l = next()) {
            std::string cmd = l->substr(0, l->find(' '));
            for (auto& ch : cmd) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (cmd == "EHLO" && f != Profile::HeloOnly) {
                p.write("250-mailsim.test" + p.eol() + "250-AUTH LOGIN" + p.eol() +
                        (o_.security == Security::Upgrade ? "250-STARTTLS" + p.eol() : "") + "250 OK" + p.eol());
            } else if (cmd == "HELO") {
                p.line("250 mailsim.test");
            } else if (cmd == "STARTTLS") {
                if (!upgrade("220 Ready to start TLS", "454 TLS not available")) return;
            } else if (cmd == "AUTH") {
                p.line("334 VXNlcm5hbWU6");
                auto u = p.read_line();
                if (!u) return;
                p.line("334 UGFzc3dvcmQ6");
                auto w = p.read_line();
                if (!w) return;
                p.line(decode64(*u) == o_.user && decode64(*w) == o_.password ? "235 Authentication successful"
                                                                             : "535 Authentication failed");
            } else if (cmd == "QUIT") {
                return p.line("221 Bye");
            } else {
                p.line("502 Command not implemented");
            }
        }
    } else if (o_.protocol == Protocol::Imap) {
        p.line("* OK mailsim IMAP4rev1 ready");
        while (auto l = next()) {
            std::string tag = l->substr(0, l->find(' '));
            std::string rest = l->size() > tag.size() ? l->substr(tag.size() + 1) : "";
            std::string cmd = rest.substr(0, rest.find(' '));
            for (auto& ch : cmd) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (cmd == "STARTTLS") {
                if (!upgrade(tag + " OK Begin TLS negotiation now", tag + " BAD STARTTLS not available")) return;
            } else if (cmd == "LOGIN") {
                auto args = quoted_args(rest);
                bool good = f != Profile::ImapNo && args.size() == 2 && args[0] == o_.user && args[1] == o_.password;
                if (!good) {
                    p.line(tag + " NO [AUTHENTICATIONFAILED] Invalid credentials");
                } else if (f == Profile::ImapLowerOk) {
                    p.line(tag + " ok logged in");
                } else if (f == Profile::ImapSplit) {
                    p.write(tag.substr(0, 2));
                    std::this_thread::sleep_for(std::chrono::milliseconds(30));
                    p.line(tag.substr(2) + " OK LOGIN completed");
                } else if (f == Profile::ImapLongTagged) {
                    p.line(tag + " OK [CAPABILITY IMAP4rev1 " + std::string(600, 'X') + "] Logged in");
                } else {
                    p.line(tag + " OK LOGIN completed");
                }
            } else if (cmd == "LOGOUT") {
                p.line("* BYE mailsim logging out");
                return p.line(tag + " OK LOGOUT completed");
            } else {
                p.line(tag + " BAD Unknown command");
            }
        }
    } else {
        p.line(f == Profile::Pop3Err ? "-ERR mailsim not quite ready" : "+OK mailsim POP3 ready");
        std::string user;
        while (auto l = next()) {
            std::string cmd = l->substr(0, l->find(' '));
            std::string arg = l->size() > cmd.size() ? l->substr(cmd.size() + 1) : "";
            for (auto& ch : cmd) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (cmd == "STLS") {
                if (!upgrade("+OK Begin TLS negotiation", "-ERR STLS not available")) return;
            } else if (cmd == "USER") {
                user = arg;
                p.line("+OK");
            } else if (cmd == "PASS") {
                p.line(user == o_.user && arg == o_.password ? "+OK logged in" : "-ERR invalid login");
            } else if (cmd == "QUIT") {
                return p.line("+OK bye");
            } else {
                p.line("-ERR unknown command");
            }
        }
    }
}

}  // namespace ovr::mailsim
