// The TLS I/O handler: OpenSSL reads and writes the descriptor through a small BIO of our own,
// so that every wait is the socket layer's sliced, pumped wait with its time-outs.
#include "net/IdSSLOpenSSL.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <chrono>
#include <climits>

#include "net/IdAntiFreeze.h"
#include "net/IdStack.h"

namespace {

// Records of up to 16 KiB arrive back to back in a download: read several per system call.
constexpr std::size_t kReadAheadBuffer = 4 * 16709;

using Clock = std::chrono::steady_clock;

// ms left until the deadline (-2 without one), at least 0.
int millisecondsLeft(const std::optional<Clock::time_point>& deadline)
{
    if (!deadline)
        return -2;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

std::optional<Clock::time_point> deadlineAfter(int timeout)
{
    if (timeout < 0)
        return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(timeout);
}

std::string bioText(BIO* bio)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(std::max(0L, length)));
}

// Prints with `print` into a memory BIO and answers the text.
template <typename Print>
std::string printed(Print print)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    if (!bio)
        return std::string();
    print(bio.get());
    return bioText(bio.get());
}

std::string nameText(const X509_NAME* name)
{
    // One line, "CN = ..., O = ...", with UTF-8 left as it is.
    return printed([name](BIO* bio) {
        X509_NAME_print_ex(bio, name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    });
}

std::string timeText(const ASN1_TIME* time)
{
    return printed([time](BIO* bio) { ASN1_TIME_print(bio, time); });
}

std::string sha256Fingerprint(X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return std::string();
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0)
            text += ':';
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

bool isAddress(const std::string& host)
{
    return TIdStack::IsAddressText(host) || TIdStack::IsIPv6Text(host);
}

} // namespace

void RaiseTLSError(const std::string& what, const std::string& fallback)
{
    std::string reasons;
    while (const unsigned long error = ERR_get_error()) {
        const char* reason = ERR_reason_error_string(error);
        char buffer[256];
        if (reason == nullptr) {
            ERR_error_string_n(error, buffer, sizeof buffer);
            reason = buffer;
        }
        if (reasons.find(reason) == std::string::npos)
            reasons += (reasons.empty() ? "" : "; ") + std::string(reason);
    }
    if (reasons.empty())
        reasons = fallback;
    throw EIdOSSLError(reasons.empty() ? what + "." : what + ": " + reasons + ".");
}

// --- the context ---

TIdSSLContext::TIdSSLContext(TIdTLSVersionRange versions)
{
    m_ctx = SSL_CTX_new(TLS_client_method());
    if (m_ctx == nullptr)
        RaiseTLSError("The TLS library could not be set up");
    // The certificate is judged after the handshake (SSL_get_verify_result), so that the user
    // can still be asked about one that fails.
    SSL_CTX_set_verify(m_ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_default_verify_paths(m_ctx);
    SSL_CTX_set_min_proto_version(m_ctx, versions.Min != 0 ? versions.Min : TLS1_2_VERSION);
    if (versions.Max != 0)
        SSL_CTX_set_max_proto_version(m_ctx, versions.Max);
    SSL_CTX_set_read_ahead(m_ctx, 1);
    SSL_CTX_set_default_read_buffer_len(m_ctx, kReadAheadBuffer);
    SSL_CTX_set_session_cache_mode(m_ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
}

TIdSSLContext::~TIdSSLContext()
{
    SSL_CTX_free(m_ctx);
}

void TIdSSLSessionFree::operator()(SSL_SESSION* session) const
{
    SSL_SESSION_free(session);
}

// --- the BIO between OpenSSL and the socket handle ---

struct TIdSSLSocketBio {
    static TIdSSLIOHandlerSocket* handler(BIO* bio)
    {
        return static_cast<TIdSSLIOHandlerSocket*>(BIO_get_data(bio));
    }
    static int write(BIO* bio, const char* data, int length)
    {
        BIO_clear_retry_flags(bio);
        return handler(bio)->bioWrite(data, length);
    }
    static int read(BIO* bio, char* data, int length)
    {
        BIO_clear_retry_flags(bio);
        const int n = handler(bio)->bioRead(data, length);
        if (n < 0 && SocketStack->lastCallError() == Id_WSAEWOULDBLOCK)
            BIO_set_retry_read(bio);
        return n;
    }
    static long control(BIO*, int command, long, void*)
    {
        return command == BIO_CTRL_FLUSH ? 1 : 0;
    }
    static BIO_METHOD* method()
    {
        static BIO_METHOD* const instance = [] {
            BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarn socket");
            BIO_meth_set_write(m, &write);
            BIO_meth_set_read(m, &read);
            BIO_meth_set_ctrl(m, &control);
            return m;
        }();
        return instance;
    }
};

int TIdSSLIOHandlerSocket::bioRead(char* buffer, int length)
{
    if (!IsOpen()) {
        m_bioFailure = std::make_exception_ptr(EIdClosedSocket());
        return -1;
    }
    return static_cast<int>(Binding()->ReceiveRawNow(buffer, length));
}

int TIdSSLIOHandlerSocket::bioWrite(const char* buffer, int length)
{
    try {
        if (!IsOpen())
            throw EIdClosedSocket();
        return static_cast<int>(Binding()->SendRaw(buffer, length, m_sendTimeout));
    } catch (...) {
        m_bioFailure = std::current_exception();
        return -1;
    }
}

void TIdSSLIOHandlerSocket::rethrowBioFailure()
{
    if (!m_bioFailure)
        return;
    ERR_clear_error();
    std::exception_ptr failure = std::move(m_bioFailure);
    m_bioFailure = nullptr;
    std::rethrow_exception(failure);
}

// --- the handler ---

TIdSSLIOHandlerSocket::TIdSSLIOHandlerSocket(std::shared_ptr<TIdSSLContext> context)
    : m_context(std::move(context))
{
}

TIdSSLIOHandlerSocket::~TIdSSLIOHandlerSocket()
{
    freeSSL();
}

void TIdSSLIOHandlerSocket::freeSSL()
{
    SSL_free(m_ssl);
    m_ssl = nullptr;
    m_active = false;
    m_ended = false;
}

void TIdSSLIOHandlerSocket::OpenTransport()
{
    freeSSL();
    TIdIOHandlerSocket::OpenTransport();
}

void TIdSSLIOHandlerSocket::StartTLS(const std::string& hostName, SSL_SESSION* session, int timeout)
{
    if (!IsOpen())
        throw EIdClosedSocket();
    freeSSL();
    m_ssl = SSL_new(m_context->Handle());
    BIO* bio = m_ssl != nullptr ? BIO_new(TIdSSLSocketBio::method()) : nullptr;
    if (bio == nullptr)
        RaiseTLSError("The TLS connection could not be set up");
    BIO_set_data(bio, this);
    BIO_set_init(bio, 1);
    SSL_set_bio(m_ssl, bio, bio);
    SSL_set_connect_state(m_ssl);
    if (isAddress(hostName)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), hostName.c_str());
    } else {
        SSL_set_tlsext_host_name(m_ssl, hostName.c_str());
        SSL_set1_host(m_ssl, hostName.c_str());
    }
    if (session != nullptr)
        SSL_set_session(m_ssl, session);
    const auto deadline = deadlineAfter(timeout);
    for (int result = SSL_connect(m_ssl); result != 1; result = SSL_connect(m_ssl))
        handshakeStep(result, millisecondsLeft(deadline), "TLS handshake failed");
    m_active = true;
}

// One unfinished step of a handshake: waits for the peer, or raises what went wrong.
void TIdSSLIOHandlerSocket::handshakeStep(int result, int left, const std::string& what)
{
    rethrowBioFailure();
    const int error = SSL_get_error(m_ssl, result);
    if (error == SSL_ERROR_WANT_READ) {
        if (left == 0 || !TIdIOHandlerSocket::WaitReadable(left))
            throw EIdReadTimeout(what + ": the server did not answer in time.");
        return;
    }
    if (error == SSL_ERROR_WANT_WRITE)
        return;
    const int socketError = SocketStack->lastCallError();
    if (error == SSL_ERROR_SYSCALL && socketError != 0 && ERR_peek_error() == 0)
        RaiseTLSError(what, TIdStack::SocketErrorText(socketError));
    RaiseTLSError(what, "the server closed the connection");
}

void TIdSSLIOHandlerSocket::EndTLS(int timeout)
{
    if (!m_active || !IsOpen())
        return;
    m_sendTimeout = timeout;
    if ((SSL_get_shutdown(m_ssl) & SSL_SENT_SHUTDOWN) == 0)
        SSL_shutdown(m_ssl);
    rethrowBioFailure();
    const auto deadline = deadlineAfter(timeout);
    char scratch[16384];
    while (!m_ended && (SSL_get_shutdown(m_ssl) & SSL_RECEIVED_SHUTDOWN) == 0) {
        std::int64_t got = 0;
        const ReadOutcome outcome = readSome(scratch, sizeof scratch, got);
        if (outcome == ReadOutcome::Ended || outcome == ReadOutcome::Failed)
            break;
        if (outcome == ReadOutcome::WouldBlock
            && !TIdIOHandlerSocket::WaitReadable(millisecondsLeft(deadline)))
            break;
    }
    ERR_clear_error();
}

// A copy: the library marks a TLS 1.3 session it resumed as used up, and this connection's
// session must stay good for every data connection that follows.
TIdSSLSession TIdSSLIOHandlerSocket::Session() const
{
    const TIdSSLSession current(m_ssl != nullptr ? SSL_get1_session(m_ssl) : nullptr);
    return TIdSSLSession(current ? SSL_SESSION_dup(current.get()) : nullptr);
}

bool TIdSSLIOHandlerSocket::SessionReused() const
{
    return m_ssl != nullptr && SSL_session_reused(m_ssl) == 1;
}

std::string TIdSSLIOHandlerSocket::Version() const
{
    return m_ssl != nullptr ? SSL_get_version(m_ssl) : std::string();
}

std::string TIdSSLIOHandlerSocket::Cipher() const
{
    const char* name = m_ssl != nullptr ? SSL_get_cipher_name(m_ssl) : nullptr;
    return name != nullptr ? name : std::string();
}

TIdTLSCertificateInfo TIdSSLIOHandlerSocket::PeerCertificate() const
{
    TIdTLSCertificateInfo info;
    X509* certificate = m_ssl != nullptr ? SSL_get0_peer_certificate(m_ssl) : nullptr;
    if (certificate == nullptr) {
        info.Reason = "the server sent no certificate";
        return info;
    }
    info.Subject = nameText(X509_get_subject_name(certificate));
    info.Issuer = nameText(X509_get_issuer_name(certificate));
    info.ValidFrom = timeText(X509_get0_notBefore(certificate));
    info.ValidUntil = timeText(X509_get0_notAfter(certificate));
    info.Fingerprint = sha256Fingerprint(certificate);
    const long result = SSL_get_verify_result(m_ssl);
    info.Verified = result == X509_V_OK;
    if (!info.Verified)
        info.Reason = X509_verify_cert_error_string(result);
    return info;
}

// --- reading ---

// Reads until the buffer is full or the library has nothing more without waiting. A peer's
// close_notify is answered with ours at once: the socket is about to be closed.
TIdSSLIOHandlerSocket::ReadOutcome TIdSSLIOHandlerSocket::readSome(char* buffer, std::int64_t length,
                                                                  std::int64_t& got)
{
    while (got < length) {
        std::size_t n = 0;
        const int result = SSL_read_ex(m_ssl, buffer + got, static_cast<std::size_t>(length - got), &n);
        if (result == 1) {
            got += static_cast<std::int64_t>(n);
            continue;
        }
        rethrowBioFailure();
        const int error = SSL_get_error(m_ssl, result);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
            return ReadOutcome::WouldBlock;
        if (error == SSL_ERROR_ZERO_RETURN) {
            m_ended = true;
            if ((SSL_get_shutdown(m_ssl) & SSL_SENT_SHUTDOWN) == 0)
                SSL_shutdown(m_ssl);
            m_bioFailure = nullptr;
            ERR_clear_error();
            return ReadOutcome::Ended;
        }
        // The peer closed without close_notify: the end of the stream all the same (a cut
        // transfer shows in its size).
        const bool cutOff = ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
        if (error == SSL_ERROR_SSL && cutOff) {
            m_ended = true;
            ERR_clear_error();
            return ReadOutcome::Ended;
        }
        if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)
            return ReadOutcome::Failed;
        RaiseTLSError("TLS receive failed");
    }
    return ReadOutcome::Data;
}

std::int64_t TIdSSLIOHandlerSocket::receive(char* buffer, std::int64_t length, bool wait)
{
    if (!IsOpen())
        throw EIdClosedSocket();
    for (;;) {
        if (m_ended)
            return 0;
        std::int64_t got = 0;
        const ReadOutcome outcome = readSome(buffer, length, got);
        if (got > 0 || outcome == ReadOutcome::Data)
            return got;
        if (outcome == ReadOutcome::Failed)
            return -1; // the socket error stays in lastCallError for the caller's check
        if (outcome == ReadOutcome::WouldBlock) {
            if (!wait)
                return -1; // lastCallError: would block
            TIdIOHandlerSocket::WaitReadable(-2);
        }
    }
}

// Bytes the library holds already count as readable: decrypted ones, and records it read
// ahead of the handshake's end or of the last record taken. Otherwise the socket is waited on
// and whatever arrives is run through the library (a partial record, a session ticket) until
// application data, the end, or the time-out.
bool TIdSSLIOHandlerSocket::WaitReadable(int timeout)
{
    if (!m_active)
        return TIdIOHandlerSocket::WaitReadable(timeout);
    if (m_ended || SSL_pending(m_ssl) > 0) {
        TIdAntiFreezeBase::PumpIfDue(false);
        return true;
    }
    const auto deadline = deadlineAfter(timeout);
    for (bool held = SSL_has_pending(m_ssl) == 1;; held = false) {
        if (!held && !TIdIOHandlerSocket::WaitReadable(millisecondsLeft(deadline)))
            return false;
        if (!IsOpen())
            return true;
        char probe = 0;
        std::size_t n = 0;
        if (SSL_peek_ex(m_ssl, &probe, 1, &n) == 1)
            return true;
        rethrowBioFailure();
        const int error = SSL_get_error(m_ssl, 0);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            return true; // the receive meets the end or the failure and reports it
        if (deadline && millisecondsLeft(deadline) == 0)
            return false;
    }
}

std::int64_t TIdSSLIOHandlerSocket::ReceiveBytes(void* buffer, std::int64_t length)
{
    if (!m_active)
        return TIdIOHandlerSocket::ReceiveBytes(buffer, length);
    return receive(static_cast<char*>(buffer), length, true);
}

std::int64_t TIdSSLIOHandlerSocket::ReceiveBytesNow(void* buffer, std::int64_t length)
{
    if (!m_active)
        return TIdIOHandlerSocket::ReceiveBytesNow(buffer, length);
    return receive(static_cast<char*>(buffer), length, false);
}

// --- writing ---

std::int64_t TIdSSLIOHandlerSocket::send(const void* buffer, std::int64_t length, int timeout)
{
    if (!IsOpen())
        throw EIdClosedSocket();
    m_sendTimeout = timeout;
    std::size_t written = 0;
    const auto size = static_cast<std::size_t>(length);
    const int result = SSL_write_ex(m_ssl, buffer, size, &written);
    if (result == 1)
        return static_cast<std::int64_t>(written);
    rethrowBioFailure();
    if (SSL_get_error(m_ssl, result) == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)
        return -1; // the socket error stays in lastCallError for the caller's check
    RaiseTLSError("TLS send failed");
}

std::int64_t TIdSSLIOHandlerSocket::SendBytes(const void* buffer, std::int64_t length)
{
    if (!m_active)
        return TIdIOHandlerSocket::SendBytes(buffer, length);
    return send(buffer, length, -2);
}

std::int64_t TIdSSLIOHandlerSocket::SendBytesWithin(const void* buffer, std::int64_t length, int timeout)
{
    if (!m_active)
        return TIdIOHandlerSocket::SendBytesWithin(buffer, length, timeout);
    return send(buffer, length, timeout);
}
