// A loopback HTTP/1.1 receiver of the MMS the MMSC posts: an MM7
// DeliverReq (a SOAP body) is answered with a DeliverRsp of status 1000,
// any other POST (the PHP multipart upload) with 200 OK. Plain or over the
// TLS library's server side; silent (accepts and never answers) on request.
// Each request is recorded whole, bounded: 64 KiB of headers, 1 MiB of
// body, 10 s per connection, at most 1,000 records.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ovr::mm7sim {

struct Request {
    std::string method, target;
    std::string headers;   // the header lines as received
    std::string body;
};

class Receiver {
public:
    struct Options {
        uint16_t port = 0;          // 0: a free one
        bool tls = false;
        bool silent = false;
        std::string record_dir;     // also written to files NNNN.req when set
        int io_limit_ms = 10000;
    };
    explicit Receiver(Options options);
    ~Receiver();
    bool listening() const { return fd_ >= 0; }
    uint16_t port() const { return port_; }
    std::vector<Request> requests() const;

    static constexpr size_t kMaxHeaders = 64 * 1024;
    static constexpr size_t kMaxBody = 1 << 20;
    static constexpr size_t kMaxRecords = 1000;

private:
    void serve();
    void handle(int fd);

    Options options_;
    int fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mu_;
    std::vector<Request> requests_;
};

// The reply body of a DeliverReq.
std::string deliver_response(const std::string& transaction_id);

}  // namespace ovr::mm7sim
