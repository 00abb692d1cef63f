// ovrinsms-mailsim: mail servers on loopback for trying the mailbox dialog
// and the mail tests without a real server.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mail_sim.h"
#include "platform/network.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

const char* kUsage =
    "usage: ovrinsms-mailsim PROTOCOL[:PORT]... [--tls upgrade|implicit] [--user U] [--password P]\n"
    "                        [--profile NAME] [--flood-bytes N]\n";

void help() {
    std::cout << kUsage
              << "\nServes each PROTOCOL (smtp, imap or pop3) on 127.0.0.1, on PORT or a free port, until\n"
                 "interrupted. Prints \"PROTOCOL listening on 127.0.0.1:PORT\" for each, then every line\n"
                 "it receives as \"PROTOCOL: LINE\".\n\n"
                 "  --tls upgrade    plain greeting, STARTTLS (SMTP, IMAP) or STLS (POP3) upgrades\n"
                 "  --tls implicit   TLS from the first byte (like ports 465, 993, 995)\n"
                 "  --user, --password  the one account (default demo / demo)\n"
                 "  --profile NAME   misbehave (default normal):\n   ";
    for (const auto& n : ovr::mailsim::profile_names()) std::cout << " " << n;
    std::cout << "\n  --flood-bytes N  bytes the flood profile sends (default 52428800)\n";
}

int usage(const std::string& why) {
    std::cerr << "ovrinsms-mailsim: " << why << "\n" << kUsage;
    return 2;
}

bool parse_number(const std::string& v, uint64_t max, uint64_t& out) {
    if (v.empty() || v.size() > 19 || v.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::stoull(v);
    return out <= max;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace ovr::mailsim;
    std::vector<Options> servers;
    Options common;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") return help(), 0;
        if (a.rfind("--", 0) != 0) {
            Options o;
            std::string proto = a.substr(0, a.find(':'));
            auto p = parse_protocol(proto);
            if (!p) return usage("unknown protocol: " + proto);
            o.protocol = *p;
            uint64_t port = 0;
            if (a.find(':') != std::string::npos && !parse_number(a.substr(a.find(':') + 1), 65535, port))
                return usage("bad port in " + a);
            o.port = static_cast<uint16_t>(port);
            servers.push_back(o);
            continue;
        }
        if (i + 1 >= argc) return usage("missing value for " + a);
        std::string v = argv[++i];
        if (a == "--tls") {
            if (v == "upgrade") common.security = Security::Upgrade;
            else if (v == "implicit") common.security = Security::Implicit;
            else return usage("--tls is upgrade or implicit, not " + v);
        } else if (a == "--user") {
            common.user = v;
        } else if (a == "--password") {
            common.password = v;
        } else if (a == "--profile") {
            auto p = parse_profile(v);
            if (!p) return usage("unknown profile: " + v);
            common.profile = *p;
        } else if (a == "--flood-bytes") {
            if (!parse_number(v, UINT64_MAX, common.flood_bytes)) return usage("bad byte count: " + v);
        } else {
            return usage("unknown option: " + a);
        }
    }
    if (servers.empty()) return usage("a protocol is required");
    ovr::platform::start_network();
    std::vector<std::unique_ptr<Server>> running;
    for (const Options& s : servers) {
        Options o = common;
        o.protocol = s.protocol;
        o.port = s.port;
        auto srv = std::make_unique<Server>(o);
        std::string error;
        if (!srv->start(error)) {
            std::cerr << "ovrinsms-mailsim: " << protocol_name(o.protocol) << ": " << error << "\n";
            return 1;
        }
        std::cout << protocol_name(o.protocol) << " listening on 127.0.0.1:" << srv->port() << std::endl;
        running.push_back(std::move(srv));
    }
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::vector<size_t> shown(running.size(), 0);
    while (!g_stop) {
        for (size_t k = 0; k < running.size(); ++k) {
            auto lines = running[k]->received();
            for (; shown[k] < lines.size(); ++shown[k])
                std::cout << protocol_name(running[k]->options().protocol) << ": " << lines[shown[k]] << std::endl;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (auto& s : running) s->stop();
    return 0;
}
