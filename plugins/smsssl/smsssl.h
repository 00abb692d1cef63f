// The TLS library's C interface. The console resolves these names at run
// time; the library counts only when all eleven are there. The server half
// (accept, certificates, terminate) serves the mail simulator.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#define SMSSSL_EXPORT __attribute__((visibility("default")))

// Writes go to the socket as they are: the host program ignores SIGPIPE.

// Room the caller gives for a failure reason, terminating NUL included.
#define SMSSSL_REASON_SIZE 500

typedef void* SslSession;

// Non-zero when the library is ready; may be called any number of times,
// from any thread.
SMSSSL_EXPORT int sslInitLib(void);
// Client handshake on a connected socket: a session, or 0 after writing the
// reason into `reason` (at most 499 characters and a NUL). On success the
// buffer holds the certificate chain's verdict against the system store,
// which is not enforced.
SMSSSL_EXPORT SslSession sslInitSession(int sock, char* reason);
// Count of bytes sent, -1 on error. Never blocks without bound.
SMSSSL_EXPORT int sslSend(SslSession session, const char* data, int length);
// Count of bytes received: 0 when no whole record is there yet, -1 on error
// or when the peer ended the session.
SMSSSL_EXPORT int sslRecv(SslSession session, char* buffer, int room);
// Decrypted bytes waiting to be read.
SMSSSL_EXPORT int sslDataPending(SslSession session);
// Sends close_notify without waiting for the peer's and frees the session;
// the caller closes the socket.
SMSSSL_EXPORT void sslFreeSession(SslSession session);

// Server handshake on an accepted socket with the server certificate.
SMSSSL_EXPORT SslSession sslAcceptSession(int sock, char* reason);
// Releases the library's contexts; sessions still open keep theirs.
SMSSSL_EXPORT void sslTermLib(void);
// Non-zero when a server certificate is loaded.
SMSSSL_EXPORT int sslServerCertExists(void);
// Non-zero when the server certificate is signed by an authority the system
// trusts (a generated one never is).
SMSSSL_EXPORT int sslSignedCertExists(void);
// Makes a fresh self-signed server certificate for "localhost"; non-zero on
// success.
SMSSSL_EXPORT int sslGenerateCertificate(void);

// Not one of the eleven: lets tests shorten the handshake limit (30000 ms).
SMSSSL_EXPORT void sslSetHandshakeTimeout(int milliseconds);

#ifdef __cplusplus
}
#endif
