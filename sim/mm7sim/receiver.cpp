#include "receiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>

#include "nettest/tls_library.h"

namespace ovr::mm7sim {
namespace {

using Clock = std::chrono::steady_clock;

// One connection's byte stream, plain or TLS.
struct Stream {
    int fd;
    const nettest::TlsLibrary* tls = nullptr;
    nettest::TlsLibrary::Session session = nullptr;
    Clock::time_point deadline;

    // Up to `room` bytes; 0 at the end, the deadline or an error.
    size_t read(char* buf, size_t room) {
        for (;;) {
            if (session && tls->data_pending(session) > 0) {
                int n = tls->recv(session, buf, static_cast<int>(room));
                if (n > 0) return static_cast<size_t>(n);
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return 0;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(std::min<long long>(left, 200))) <= 0) continue;
            if (session) {
                int n = tls->recv(session, buf, static_cast<int>(room));
                if (n < 0) return 0;
                if (n > 0) return static_cast<size_t>(n);
                continue;
            }
            ssize_t n = ::recv(fd, buf, room, 0);
            return n > 0 ? static_cast<size_t>(n) : 0;
        }
    }
    void write(const std::string& data) {
        if (session)
            tls->send(session, data.data(), static_cast<int>(data.size()));
        else
            (void)::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    }
};

std::string header_value(const std::string& headers, const std::string& name) {
    size_t at = 0;
    while (at < headers.size()) {
        size_t end = headers.find("\r\n", at);
        if (end == std::string::npos) end = headers.size();
        std::string line = headers.substr(at, end - at);
        if (line.size() > name.size() && line[name.size()] == ':') {
            bool same = true;
            for (size_t i = 0; i < name.size() && same; ++i)
                same = std::tolower(static_cast<unsigned char>(line[i])) == std::tolower(static_cast<unsigned char>(name[i]));
            if (same) {
                std::string v = line.substr(name.size() + 1);
                while (!v.empty() && v.front() == ' ') v.erase(0, 1);
                return v;
            }
        }
        at = end + 2;
    }
    return {};
}

}  // namespace

std::string deliver_response(const std::string& transaction_id) {
    return "<?xml version=\"1.0\"?>\r\n"
           "<env:Envelope xmlns:env=\"http://schemas.xmlsoap.org/soap/envelope/\">"
           "<env:Header><mm7:TransactionID xmlns:mm7=\"http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/"
           "REL-5-MM7-1-2\" env:mustUnderstand=\"1\">" +
           transaction_id +
           "</mm7:TransactionID></env:Header><env:Body><DeliverRsp><MM7Version>5.3.0</MM7Version>"
           "<Status><StatusCode>1000</StatusCode><StatusText>Success</StatusText></Status></DeliverRsp>"
           "</env:Body></env:Envelope>\r\n";
}

Receiver::Receiver(Options options) : options_(std::move(options)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(options_.port);
    socklen_t len = sizeof a;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd_, 16) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
}

Receiver::~Receiver() {
    stop_ = true;
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
}

std::vector<Request> Receiver::requests() const {
    std::lock_guard lock(mu_);
    return requests_;
}

void Receiver::serve() {
    std::vector<int> silent;   // held open, never answered
    while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        if (options_.silent) {
            silent.push_back(c);
            continue;
        }
        handle(c);
        ::close(c);
    }
    for (int c : silent) ::close(c);
}

void Receiver::handle(int fd) {
    Stream s{fd, nullptr, nullptr, Clock::now() + std::chrono::milliseconds(options_.io_limit_ms)};
    if (options_.tls) {
        s.tls = nettest::TlsLibrary::instance();
        std::string reason;
        if (!s.tls || !s.tls->init_lib() || !s.tls->generate_certificate()) return;
        s.session = s.tls->start_server(fd, reason);
        if (!s.session) return;
    }
    std::string data;
    char buf[8192];
    size_t header_end = std::string::npos;
    while (header_end == std::string::npos && data.size() < kMaxHeaders) {
        size_t n = s.read(buf, sizeof buf);
        if (n == 0) break;
        data.append(buf, n);
        header_end = data.find("\r\n\r\n");
    }
    if (header_end != std::string::npos) {
        Request r;
        std::string head = data.substr(0, header_end);
        size_t line_end = head.find("\r\n");
        std::string request_line = head.substr(0, line_end);
        r.headers = line_end == std::string::npos ? "" : head.substr(line_end + 2);
        size_t sp = request_line.find(' ');
        r.method = request_line.substr(0, sp);
        if (sp != std::string::npos) r.target = request_line.substr(sp + 1, request_line.find(' ', sp + 1) - sp - 1);
        size_t want = std::min<size_t>(std::strtoull(header_value(r.headers, "Content-Length").c_str(), nullptr, 10),
                                       kMaxBody);
        r.body = data.substr(header_end + 4, want);
        while (r.body.size() < want) {
            size_t n = s.read(buf, std::min(sizeof buf, want - r.body.size()));
            if (n == 0) break;
            r.body.append(buf, n);
        }
        bool soap = r.body.find("DeliverReq") != std::string::npos;
        std::string body = soap ? deliver_response("ovrinsms-mm7sim") : "OK\r\n";
        s.write(std::string("HTTP/1.1 200 OK\r\nContent-Type: ") + (soap ? "text/xml" : "text/plain") +
                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        std::lock_guard lock(mu_);
        if (requests_.size() < kMaxRecords) {
            if (!options_.record_dir.empty()) {
                char name[32];
                std::snprintf(name, sizeof name, "%04zu.req", requests_.size() + 1);
                std::ofstream(options_.record_dir + "/" + name, std::ios::binary)
                    << r.method << " " << r.target << "\r\n" << r.headers << "\r\n\r\n" << r.body;
            }
            requests_.push_back(std::move(r));
        }
    }
    if (s.session) s.tls->free_session(s.session);
}

}  // namespace ovr::mm7sim
