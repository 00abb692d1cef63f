// ovrinsms-mm7sim [--port N] [--tls] [--silent] [--record DIR]: a loopback
// MM7 / PHP receiver for the MMSC's received MMS. Prints its URL, then one
// line per request received, until interrupted.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/network.h"
#include "receiver.h"

namespace {
volatile sig_atomic_t stopping = 0;
void on_signal(int) { stopping = 1; }
}  // namespace

int main(int argc, char** argv) {
    ovr::mm7sim::Receiver::Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--port" && i + 1 < argc) {
            o.port = static_cast<uint16_t>(std::atoi(argv[++i]));
        } else if (a == "--tls") {
            o.tls = true;
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--record" && i + 1 < argc) {
            o.record_dir = argv[++i];
        } else {
            std::cerr << "usage: ovrinsms-mm7sim [--port N] [--tls] [--silent] [--record DIR]\n";
            return a == "--help" ? 0 : 2;
        }
    }
    ovr::platform::start_network();
    signal(SIGINT, on_signal);
    signal(SIGTERM, on_signal);
    ovr::mm7sim::Receiver r(o);
    if (!r.listening()) {
        std::cerr << "ovrinsms-mm7sim: cannot listen on port " << o.port << "\n";
        return 1;
    }
    std::cout << (o.tls ? "https" : "http") << "://127.0.0.1:" << r.port() << "/mm7" << std::endl;
    size_t seen = 0;
    while (!stopping) {
        usleep(200000);
        auto reqs = r.requests();
        for (; seen < reqs.size(); ++seen)
            std::cout << reqs[seen].method << " " << reqs[seen].target << " " << reqs[seen].body.size() << " bytes"
                      << std::endl;
    }
    return 0;
}
