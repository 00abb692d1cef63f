// The TLS library of the server tests, loaded once per process from
// "libsmsssl.so" beside the executables. It counts as present only when all
// eleven of its functions resolve; otherwise it is unloaded and the tests
// know TLS as unavailable.
#pragma once

#include <memory>
#include <string>

namespace ovr::platform {
class DynamicLibrary;
}

namespace ovr::nettest {

inline constexpr const char* kTlsLibraryName = "libsmsssl.so";
// Room for a handshake's failure reason, terminating NUL included.
inline constexpr int kTlsReasonSize = 500;

class TlsLibrary {
public:
    using Session = void*;

    // The process's library, loaded on the first call (also when several
    // threads make it at once); nullptr when absent. The result is kept.
    static const TlsLibrary* instance();
    // Loads a library by name or path (fixtures in tests); nullptr when it
    // cannot be loaded or lacks one of the eleven functions.
    static std::unique_ptr<TlsLibrary> load(const std::string& name);
    ~TlsLibrary();
    TlsLibrary(const TlsLibrary&) = delete;
    TlsLibrary& operator=(const TlsLibrary&) = delete;

    const std::string& path() const;

    int (*init_lib)() = nullptr;
    Session (*init_session)(int sock, char* reason) = nullptr;
    int (*send)(Session, const char* data, int length) = nullptr;
    int (*recv)(Session, char* buffer, int room) = nullptr;
    int (*data_pending)(Session) = nullptr;
    void (*free_session)(Session) = nullptr;
    Session (*accept_session)(int sock, char* reason) = nullptr;
    void (*term_lib)() = nullptr;
    int (*server_cert_exists)() = nullptr;
    int (*signed_cert_exists)() = nullptr;
    int (*generate_certificate)() = nullptr;
    // Not one of the eleven: the handshake's time limit (0 or less: the
    // library's 30 s), nullptr when the library lacks it.
    void (*set_handshake_timeout)(int milliseconds) = nullptr;

    // Client handshake: the session, or nullptr with the library's reason.
    // On success `reason` holds the certificate's verdict.
    Session start_client(int sock, std::string& reason) const;
    Session start_server(int sock, std::string& reason) const;

private:
    TlsLibrary() = default;
    std::unique_ptr<platform::DynamicLibrary> lib_;
};

}  // namespace ovr::nettest
