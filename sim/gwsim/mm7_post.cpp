#include "mm7_post.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>

#include "config/inet.h"
#include "config/ini.h"
#include "config/text.h"
#include "modem/entries.h"
#include "nettest/mm7.h"
#include "nettest/tls_library.h"
#include "platform/fs.h"

namespace ovr::gwsim {
namespace {

constexpr size_t kReplyCap = 1 << 20;
constexpr size_t kPartCap = 1 << 20;

std::string header_field(const std::string& header, const std::string& name) {
    size_t at = 0;
    while (at < header.size()) {
        size_t end = header.find_first_of("\r\n", at);
        if (end == std::string::npos) end = header.size();
        std::string_view line = std::string_view(header).substr(at, end - at);
        if (line.size() > name.size() && config::equal_ignoring_case(line.substr(0, name.size()), name) &&
            line[name.size()] == ':') {
            std::string_view v = line.substr(name.size() + 1);
            while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
            return std::string(v);
        }
        at = end + 1;
    }
    return {};
}

struct Part {
    std::string name, type, data;
};

std::vector<Part> parts_of(const std::string& header, const std::string& dir) {
    std::vector<Part> parts;
    size_t at = 0;
    const std::string key = "X-OvrinMMS-Content-Location:";
    while ((at = header.find(key, at)) != std::string::npos) {
        at += key.size();
        size_t end = header.find_first_of("\r\n", at);
        std::string v = header.substr(at, end == std::string::npos ? std::string::npos : end - at);
        while (!v.empty() && v.front() == ' ') v.erase(0, 1);
        size_t semi = v.find(';');
        std::string rel = v.substr(0, semi);
        // Parts live inside the message's directory; nothing else is read.
        if (rel.find("..") != std::string::npos || rel.empty() || rel.front() == '/') continue;
        auto data = platform::fs::read_file(dir + rel, kPartCap);
        if (!data) continue;
        parts.push_back({platform::fs::base_name(rel), semi == std::string::npos ? "application/octet-stream"
                                                                                 : v.substr(semi + 1),
                         std::move(*data)});
    }
    return parts;
}

}  // namespace

bool mms_routed_to_mm7(const config::Directories& dirs) {
    std::string rirer = config::ini_paths_for(dirs).rirer;
    std::string modem = config::ini::read_string(rirer, "RIRER", "Modem1", "", 250);
    if (modem.empty()) return false;
    return config::equal_ignoring_case(
        config::ini::read_string(rirer, modem::ModemSectionName(modem), "MMSRouting", "", 1024), nettest::kMm7Route);
}

PostResult post_received_mms(const config::Directories& dirs, const std::string& header_path, int limit_ms) {
    PostResult r;
    std::string vasp = nettest::mm7_vasp_ini(dirs.program_data);
    nettest::Mm7Settings s = nettest::load_mm7(vasp);
    if (s.server.empty()) {
        r.status = "no MM7 server configured";
        return r;
    }
    auto header = platform::fs::read_file(header_path, 8191);
    if (!header) {
        r.status = "cannot read " + header_path;
        return r;
    }
    std::vector<Part> parts = parts_of(*header, platform::fs::parent_directory(header_path));
    nettest::Mm7Target target = nettest::parse_mm7_url(s.server);
    std::string url = s.server;
    size_t scheme = url.find("://");
    size_t slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    std::string path = slash == std::string::npos ? "/" : url.substr(slash);

    std::string body, type;
    if (s.variation == nettest::Mm7Variation::PhpMultipart) {
        const std::string boundary = "----ovrinsms-mms-boundary";
        type = "multipart/form-data; boundary=" + boundary;
        int n = 0;
        for (const Part& p : parts) {
            body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file" + std::to_string(++n) +
                    "\"; filename=\"" + p.name + "\"\r\nContent-Type: " + p.type + "\r\n\r\n" + p.data + "\r\n";
        }
        body += "--" + boundary + "--\r\n";
    } else {
        type = "text/xml";
        body = "<?xml version=\"1.0\"?>\r\n<env:Envelope xmlns:env=\"http://schemas.xmlsoap.org/soap/envelope/\">"
               "<env:Body><DeliverReq xmlns=\"" + std::string(nettest::kMm7SchemaBase) + s.schema + "\">"
               "<MM7Version>" + s.version + "</MM7Version><Sender>" + header_field(*header, "From") +
               "</Sender><Recipients><To><Number>" + header_field(*header, "To") +
               "</Number></To></Recipients><Subject>" + header_field(*header, "Subject") + "</Subject>";
        for (const Part& p : parts) body += "<Content href=\"" + p.name + "\" type=\"" + p.type + "\"/>";
        body += "</DeliverReq></env:Body></env:Envelope>\r\n";
    }
    std::string request = "POST " + path + " HTTP/1.1\r\nHost: " + target.host + "\r\nContent-Type: " + type +
                          "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;

    int sock = config::IPV6OpenSocket();
    if (sock < 0 || config::IPV6ConnectToINetServer(sock, target.host, target.port, limit_ms) != 0) {
        config::closesocket(sock);
        r.status = "cannot connect to " + target.host + ":" + std::to_string(target.port);
        return r;
    }
    const nettest::TlsLibrary* tls = target.tls ? nettest::TlsLibrary::instance() : nullptr;
    nettest::TlsLibrary::Session session = nullptr;
    if (target.tls) {
        std::string reason;
        if (!tls || !tls->init_lib() || !(session = tls->start_client(sock, reason))) {
            config::closesocket(sock);
            r.status = "TLS failed: " + reason;
            return r;
        }
        tls->send(session, request.data(), static_cast<int>(request.size()));
    } else {
        (void)::send(sock, request.data(), request.size(), MSG_NOSIGNAL);
    }
    std::string reply;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    char buf[8192];
    while (reply.size() < kReplyCap) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        if (!(session && tls->data_pending(session) > 0)) {
            pollfd p{sock, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 200))) <= 0) continue;
        }
        int n = session ? tls->recv(session, buf, sizeof buf) : static_cast<int>(::recv(sock, buf, sizeof buf, 0));
        if (n < 0 || (n == 0 && !session)) break;
        reply.append(buf, std::min(static_cast<size_t>(n), kReplyCap - reply.size()));
    }
    if (session) tls->free_session(session);
    config::closesocket(sock);
    r.status = reply.substr(0, reply.find("\r\n"));
    if (r.status.empty()) r.status = "no reply";
    r.delivered = r.status.rfind("HTTP/1.", 0) == 0 && r.status.size() > 9 && r.status[9] == '2';
    return r;
}

}  // namespace ovr::gwsim
