// A mail server on loopback for the server tests and the demo: SMTP, IMAP or
// POP3, plain, upgraded (STARTTLS/STLS) or implicit TLS through the TLS
// library's server half, one account, and profiles that misbehave the way
// real servers do. Connections are served one at a time on the server's own
// thread; every line received is logged.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ovr::mailsim {

enum class Protocol { Smtp, Imap, Pop3 };
enum class Security { Plain, Upgrade, Implicit };
enum class Profile {
    Normal,
    Silent,             // accepts and says nothing
    Code421,            // SMTP greeting 421, then closes
    MultiLineGreeting,  // SMTP "220-" then "220 "
    BareLf,             // lines end with "\n" alone
    HeloOnly,           // SMTP refuses EHLO
    UpgradeRefused,     // STARTTLS/STLS refused
    ImapNo,             // LOGIN answered NO
    ImapLowerOk,        // tagged "ok" in lower case
    ImapSplit,          // the tagged reply in two writes, cut inside the tag
    ImapLongTagged,     // a tagged OK line of over 600 bytes
    Pop3Err,            // greeting "-ERR"
    Flood,              // flood_bytes without a line end instead of a greeting
    TlsSilent,          // nothing after the TLS accept
    TlsHalfRecord,      // half a TLS record after the accept, then nothing
    CloseAfterCommand,  // reads the first command, then closes unanswered
};

std::optional<Protocol> parse_protocol(const std::string& s);
const char* protocol_name(Protocol p);
std::optional<Profile> parse_profile(const std::string& s);
const char* profile_name(Profile p);
// Every profile name, in order, for help texts.
std::vector<std::string> profile_names();

struct Options {
    Protocol protocol = Protocol::Smtp;
    Security security = Security::Plain;
    Profile profile = Profile::Normal;
    std::string user = "demo";
    std::string password = "demo";
    uint16_t port = 0;  // 0: any free port
    uint64_t flood_bytes = 50ull << 20;
};

class Server {
public:
    explicit Server(Options o);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Listens on 127.0.0.1 and serves until stop(); false with the reason.
    bool start(std::string& error);
    void stop();
    uint16_t port() const { return port_; }
    const Options& options() const { return o_; }

    // Every line received, in order, over every connection (the first
    // kLogLimit of them).
    static constexpr size_t kLogLimit = 100000;
    std::vector<std::string> received() const;
    int connections() const { return connections_.load(); }

private:
    friend class Peer;
    void run();
    void serve(int sock);
    void log(std::string line);

    Options o_;
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
};

}  // namespace ovr::mailsim
