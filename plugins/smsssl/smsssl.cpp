// The TLS library over OpenSSL. Sessions switch their socket to
// non-blocking for their life so that no call waits without bound: a
// handshake gives up after its limit, a read with only part of a record
// there returns 0, a send waits for room at most as long as a handshake.
#include "smsssl.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex g_mutex;
SSL_CTX* g_client = nullptr;
SSL_CTX* g_server = nullptr;
X509* g_cert = nullptr;
EVP_PKEY* g_key = nullptr;
std::atomic<int> g_handshake_ms{30000};

struct Session {
    SSL* ssl = nullptr;
    int sock = -1;
    int saved_flags = 0;
};

void write_reason(char* reason, const std::string& text) {
    if (!reason) return;
    size_t n = std::min<size_t>(text.size(), SMSSSL_REASON_SIZE - 1);
    // Never end in the middle of a UTF-8 sequence.
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(reason, text.data(), n);
    reason[n] = '\0';
}

std::string openssl_errors() {
    std::string text;
    unsigned long e;
    while ((e = ERR_get_error()) != 0) {
        char buf[256];
        ERR_error_string_n(e, buf, sizeof buf);
        if (!text.empty()) text += "; ";
        text += buf;
    }
    return text;
}

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for what OpenSSL asked for; false when the deadline passed.
bool wait_for(int sock, int ssl_error, Clock::time_point deadline) {
    pollfd p{sock, static_cast<short>(ssl_error == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN), 0};
    for (;;) {
        int left = remaining_ms(deadline);
        if (left == 0) return false;
        int r = ::poll(&p, 1, left);
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
}

bool make_client_context() {
    if (g_client) return true;
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) return false;
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // The chain is checked for the transcript only: gateways often poll
    // servers with self-signed certificates.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_default_verify_paths(ctx);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    g_client = ctx;
    return true;
}

std::string verdict(SSL* ssl) {
    X509* peer = SSL_get1_peer_certificate(ssl);
    if (!peer) return "No server certificate";
    char subject[256] = "";
    X509_NAME_oneline(X509_get_subject_name(peer), subject, sizeof subject);
    X509_free(peer);
    long v = SSL_get_verify_result(ssl);
    std::string text = std::string(SSL_get_version(ssl)) + ", certificate " + subject + ": ";
    if (v == X509_V_OK) return text + "trusted by the system store";
    return text + "not trusted by the system store (" + X509_verify_cert_error_string(v) + "), not checked";
}

Session* handshake(SSL_CTX* ctx, int sock, char* reason, bool server) {
    if (sock < 0) {
        write_reason(reason, "Invalid socket");
        return nullptr;
    }
    ERR_clear_error();
    SSL* ssl = SSL_new(ctx);
    if (!ssl || SSL_set_fd(ssl, sock) != 1) {
        write_reason(reason, "Unable to create the TLS session: " + openssl_errors());
        SSL_free(ssl);
        return nullptr;
    }
    int flags = ::fcntl(sock, F_GETFL);
    if (flags < 0 || ::fcntl(sock, F_SETFL, flags | O_NONBLOCK) < 0) {
        write_reason(reason, std::string("Invalid socket: ") + std::strerror(errno));
        SSL_free(ssl);
        return nullptr;
    }
    int limit = g_handshake_ms.load();
    auto deadline = Clock::now() + std::chrono::milliseconds(limit);
    std::string failure;
    for (;;) {
        errno = 0;
        int r = server ? SSL_accept(ssl) : SSL_connect(ssl);
        if (r == 1) break;
        int e = SSL_get_error(ssl, r);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
            if (wait_for(sock, e, deadline)) continue;
            failure = "TLS handshake timed out after " + std::to_string(limit / 1000) + " seconds";
            if (limit % 1000) failure = "TLS handshake timed out after " + std::to_string(limit) + " ms";
        } else if (e == SSL_ERROR_SYSCALL) {
            std::string errs = openssl_errors();
            failure = errno ? std::string("TLS handshake failed: ") + std::strerror(errno)
                            : "TLS handshake failed: the connection was closed";
            if (!errs.empty()) failure += " (" + errs + ")";
        } else {
            failure = "TLS handshake failed: " + openssl_errors();
        }
        break;
    }
    if (!failure.empty()) {
        write_reason(reason, failure);
        SSL_free(ssl);
        ::fcntl(sock, F_SETFL, flags);
        return nullptr;
    }
    write_reason(reason, server ? std::string(SSL_get_version(ssl)) : verdict(ssl));
    return new Session{ssl, sock, flags};
}

}  // namespace

extern "C" {

int sslInitLib(void) {
    std::lock_guard lock(g_mutex);
    if (OPENSSL_init_ssl(0, nullptr) != 1) return 0;
    return make_client_context() ? 1 : 0;
}

SslSession sslInitSession(int sock, char* reason) {
    SSL_CTX* ctx;
    {
        std::lock_guard lock(g_mutex);
        if (!make_client_context()) {
            write_reason(reason, "TLS library not initialised");
            return nullptr;
        }
        ctx = g_client;
        SSL_CTX_up_ref(ctx);
    }
    Session* s = handshake(ctx, sock, reason, false);
    SSL_CTX_free(ctx);
    return s;
}

SslSession sslAcceptSession(int sock, char* reason) {
    SSL_CTX* ctx;
    {
        std::lock_guard lock(g_mutex);
        if (!g_server) {
            write_reason(reason, "No server certificate");
            return nullptr;
        }
        ctx = g_server;
        SSL_CTX_up_ref(ctx);
    }
    Session* s = handshake(ctx, sock, reason, true);
    SSL_CTX_free(ctx);
    return s;
}

int sslSend(SslSession session, const char* data, int length) {
    auto* s = static_cast<Session*>(session);
    if (!s || length < 0 || (!data && length > 0)) return -1;
    auto deadline = Clock::now() + std::chrono::milliseconds(g_handshake_ms.load());
    int sent = 0;
    while (sent < length) {
        int r = SSL_write(s->ssl, data + sent, length - sent);
        if (r > 0) {
            sent += r;
            continue;
        }
        int e = SSL_get_error(s->ssl, r);
        if ((e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) && wait_for(s->sock, e, deadline)) continue;
        ERR_clear_error();
        return sent > 0 ? sent : -1;
    }
    return sent;
}

int sslRecv(SslSession session, char* buffer, int room) {
    auto* s = static_cast<Session*>(session);
    if (!s || !buffer || room < 0) return -1;
    if (room == 0) return 0;
    int r = SSL_read(s->ssl, buffer, room);
    if (r > 0) return r;
    int e = SSL_get_error(s->ssl, r);
    ERR_clear_error();
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) return 0;
    return -1;
}

int sslDataPending(SslSession session) {
    auto* s = static_cast<Session*>(session);
    return s ? SSL_pending(s->ssl) : -1;
}

void sslFreeSession(SslSession session) {
    auto* s = static_cast<Session*>(session);
    if (!s) return;
    // One try: close_notify goes out if the socket takes it; the peer's is
    // not awaited.
    SSL_shutdown(s->ssl);
    ERR_clear_error();
    SSL_free(s->ssl);
    ::fcntl(s->sock, F_SETFL, s->saved_flags);
    delete s;
}

void sslTermLib(void) {
    std::lock_guard lock(g_mutex);
    SSL_CTX_free(g_client);
    SSL_CTX_free(g_server);
    X509_free(g_cert);
    EVP_PKEY_free(g_key);
    g_client = g_server = nullptr;
    g_cert = nullptr;
    g_key = nullptr;
}

int sslServerCertExists(void) {
    std::lock_guard lock(g_mutex);
    return g_server ? 1 : 0;
}

int sslSignedCertExists(void) {
    std::lock_guard lock(g_mutex);
    if (!g_cert) return 0;
    X509_STORE* store = X509_STORE_new();
    X509_STORE_CTX* ctx = X509_STORE_CTX_new();
    int ok = 0;
    if (store && ctx && X509_STORE_set_default_paths(store) == 1 &&
        X509_STORE_CTX_init(ctx, store, g_cert, nullptr) == 1)
        ok = X509_verify_cert(ctx) == 1 ? 1 : 0;
    X509_STORE_CTX_free(ctx);
    X509_STORE_free(store);
    ERR_clear_error();
    return ok;
}

int sslGenerateCertificate(void) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    bool ok = key && cert && ctx;
    if (ok) {
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), static_cast<long>(std::time(nullptr)));
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3650L * 24 * 3600);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        ok = X509_set_pubkey(cert, key) == 1 && X509_sign(cert, key, EVP_sha256()) > 0 &&
             SSL_CTX_use_certificate(ctx, cert) == 1 && SSL_CTX_use_PrivateKey(ctx, key) == 1 &&
             SSL_CTX_check_private_key(ctx) == 1;
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
        SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    }
    ERR_clear_error();
    if (!ok) {
        EVP_PKEY_free(key);
        X509_free(cert);
        SSL_CTX_free(ctx);
        return 0;
    }
    std::lock_guard lock(g_mutex);
    SSL_CTX_free(g_server);
    X509_free(g_cert);
    EVP_PKEY_free(g_key);
    g_server = ctx;
    g_cert = cert;
    g_key = key;
    return 1;
}

void sslSetHandshakeTimeout(int milliseconds) {
    g_handshake_ms.store(milliseconds > 0 ? milliseconds : 30000);
}

}  // extern "C"
