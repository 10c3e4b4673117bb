// TLS over the socket layer with OpenSSL: a client context, and an I/O handler that starts in
// plain mode and is upgraded in place, on the same descriptor, once a handshake succeeds.
#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_session_st SSL_SESSION;
typedef struct bio_st BIO;

// A TLS failure with OpenSSL's own reason text ("certificate verify failed", "no shared
// cipher", "unexpected eof while reading").
TARN_ID_EXCEPTION(EIdOSSLError, EIdException);

// Raises EIdOSSLError: `what` (what was being done), then the reasons OpenSSL queued for this
// thread (or `fallback` when it queued none). The error queue is emptied.
[[noreturn]] void RaiseTLSError(const std::string& what, const std::string& fallback = std::string());

// The server's certificate as a user is shown it.
struct TIdTLSCertificateInfo {
    std::string Subject;
    std::string Issuer;
    std::string ValidFrom;
    std::string ValidUntil;
    // SHA-256 of the DER form, upper-case hex pairs joined by ':'.
    std::string Fingerprint;
    // Verified against the system's store and the host name; else Reason says why not.
    bool Verified = false;
    std::string Reason;
};

// The TLS versions a context allows; 0 leaves the library's bound.
struct TIdTLSVersionRange {
    int Min = 0;
    int Max = 0;
};

// A client context: the system's certificate store, TLS 1.2 at least, large records read ahead.
class TIdSSLContext {
public:
    explicit TIdSSLContext(TIdTLSVersionRange versions = {});
    ~TIdSSLContext();
    TIdSSLContext(const TIdSSLContext&) = delete;
    TIdSSLContext& operator=(const TIdSSLContext&) = delete;
    SSL_CTX* Handle() const { return m_ctx; }

private:
    SSL_CTX* m_ctx = nullptr;
};

// An owned session taken from a connection, for resuming it on another one.
struct TIdSSLSessionFree {
    void operator()(SSL_SESSION* session) const;
};
using TIdSSLSession = std::unique_ptr<SSL_SESSION, TIdSSLSessionFree>;

class TIdSSLIOHandlerSocket : public TIdIOHandlerSocket {
public:
    explicit TIdSSLIOHandlerSocket(std::shared_ptr<TIdSSLContext> context);
    ~TIdSSLIOHandlerSocket() override;

    // Handshakes as the TLS client on the connected socket, checking the certificate against
    // `hostName` (a name or an IP address), resuming `session` when given. Time-out in ms
    // (-2: none); the window is pumped while it waits. Raises EIdOSSLError on failure.
    void StartTLS(const std::string& hostName, SSL_SESSION* session = nullptr, int timeout = -2);
    // Sends close_notify and reads what the peer still sends until its close_notify or the end
    // of the stream, at most `timeout` ms: the clean end of a data connection.
    void EndTLS(int timeout);
    bool TLSActive() const { return m_active; }

    // After StartTLS: a copy of the session to resume elsewhere, whether this one was resumed, the
    // protocol and cipher names and the server's certificate.
    TIdSSLSession Session() const;
    bool SessionReused() const;
    std::string Version() const;
    std::string Cipher() const;
    TIdTLSCertificateInfo PeerCertificate() const;

    // Closing the socket keeps the TLS state until the handler opens again or goes: a call
    // further up the stack may still be inside the library when an event closes the socket.
    void OpenTransport() override;
    bool WaitReadable(int timeout) override;
    std::int64_t ReceiveBytes(void* buffer, std::int64_t length) override;
    std::int64_t ReceiveBytesNow(void* buffer, std::int64_t length) override;
    std::int64_t SendBytes(const void* buffer, std::int64_t length) override;
    std::int64_t SendBytesWithin(const void* buffer, std::int64_t length, int timeout) override;

private:
    friend struct TIdSSLSocketBio;
    enum class ReadOutcome { Data, WouldBlock, Ended, Failed };
    std::int64_t receive(char* buffer, std::int64_t length, bool wait);
    ReadOutcome readSome(char* buffer, std::int64_t length, std::int64_t& got);
    std::int64_t send(const void* buffer, std::int64_t length, int timeout);
    void handshakeStep(int result, int left, const std::string& what);
    void rethrowBioFailure();
    void freeSSL();
    int bioRead(char* buffer, int length);
    int bioWrite(const char* buffer, int length);

    std::shared_ptr<TIdSSLContext> m_context;
    SSL* m_ssl = nullptr;
    bool m_active = false;
    // Set by a failed socket call inside the library, raised once the library call returns:
    // an exception must never unwind through OpenSSL's frames.
    std::exception_ptr m_bioFailure;
    int m_sendTimeout = -2;
    bool m_ended = false;
};
