#include "nettest/tls_library.h"

#include <cstring>
#include <mutex>

#include "platform/dynlib.h"

namespace ovr::nettest {

namespace {

template <typename F>
bool resolve(const platform::DynamicLibrary& lib, const char* name, F& out) {
    out = reinterpret_cast<F>(lib.symbol(name));
    return out != nullptr;
}

TlsLibrary::Session handshake(TlsLibrary::Session (*fn)(int, char*), int sock, std::string& reason) {
    char buf[kTlsReasonSize + 1];
    std::memset(buf, 0, sizeof buf);
    TlsLibrary::Session s = fn(sock, buf);
    // The library's bound is trusted only as far as the buffer reaches.
    reason.assign(buf, strnlen(buf, kTlsReasonSize));
    return s;
}

}  // namespace

std::unique_ptr<TlsLibrary> TlsLibrary::load(const std::string& name) {
    auto lib = platform::DynamicLibrary::load(name);
    if (!lib) return nullptr;
    std::unique_ptr<TlsLibrary> t(new TlsLibrary);
    bool all = resolve(*lib, "sslInitLib", t->init_lib) & resolve(*lib, "sslInitSession", t->init_session) &
               resolve(*lib, "sslSend", t->send) & resolve(*lib, "sslRecv", t->recv) &
               resolve(*lib, "sslDataPending", t->data_pending) & resolve(*lib, "sslFreeSession", t->free_session) &
               resolve(*lib, "sslAcceptSession", t->accept_session) & resolve(*lib, "sslTermLib", t->term_lib) &
               resolve(*lib, "sslServerCertExists", t->server_cert_exists) &
               resolve(*lib, "sslSignedCertExists", t->signed_cert_exists) &
               resolve(*lib, "sslGenerateCertificate", t->generate_certificate);
    if (!all) return nullptr;
    // Optional: libraries without it keep their own handshake limit.
    resolve(*lib, "sslSetHandshakeTimeout", t->set_handshake_timeout);
    t->lib_ = std::move(lib);
    return t;
}

const TlsLibrary* TlsLibrary::instance() {
    static std::once_flag once;
    static std::unique_ptr<TlsLibrary> lib;
    std::call_once(once, [] { lib = load(kTlsLibraryName); });
    return lib.get();
}

TlsLibrary::~TlsLibrary() = default;

const std::string& TlsLibrary::path() const { return lib_->path(); }

TlsLibrary::Session TlsLibrary::start_client(int sock, std::string& reason) const {
    return handshake(init_session, sock, reason);
}

TlsLibrary::Session TlsLibrary::start_server(int sock, std::string& reason) const {
    return handshake(accept_session, sock, reason);
}

}  // namespace ovr::nettest
