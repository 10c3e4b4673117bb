// TIdFTP over TLS (RFC 4217): the command connection upgraded by AUTH TLS or encrypted from the
// first byte, the certificate decision, PBSZ and PROT, data connections that resume the
// command connection's TLS session, and the size checks that catch a cut transfer.
#include "ftp/IdFTP.h"

#include "ftp/IdGlobal.h"

#include <regex>

namespace {

bool isErrorReply(int code)
{
    return code >= 400 && code <= 599;
}

std::string replyText(const TIdRFCReply& reply)
{
    std::string text;
    for (const std::string& line : reply.Text())
        text += (text.empty() ? "" : " ") + line;
    return text;
}

std::string byteCount(std::int64_t count)
{
    return GroupedDigits(count, ",");
}

} // namespace

// The command connection's TLS handler, found through the connection: a handler released
// when the connection closed must never be reached through a pointer of our own.
TIdSSLIOHandlerSocket* TIdFTP::controlTLS() const
{
    return dynamic_cast<TIdSSLIOHandlerSocket*>(IOHandler());
}

bool TIdFTP::TLSActive() const
{
    const TIdSSLIOHandlerSocket* handler = controlTLS();
    return handler != nullptr && handler->TLSActive() && handler->IsOpen();
}

std::string TIdFTP::TLSVersion() const
{
    return TLSActive() ? controlTLS()->Version() : std::string();
}

// A fresh handler and context for every TLS session, so that changed settings take effect;
// a plain session keeps whatever handler it has (a TLS one not started is plain).
void TIdFTP::prepareControlHandler()
{
    m_dataProtected = false;
    m_certificateTrustedByUser = false;
    m_certificateFingerprint.clear();
    m_sizeName.clear();
    if (TLSSettings.Mode == TIdUseTLS::utNoTLSSupport)
        return;
    m_sslContext = std::make_shared<TIdSSLContext>(TLSSettings.Versions);
    auto handler = std::make_unique<TIdSSLIOHandlerSocket>(m_sslContext);
    handler->OnStatus = OnStatus;
    SetIOHandler(std::move(handler));
}

int TIdFTP::tlsTimeout() const
{
    return ReadTimeout > 0 ? ReadTimeout : kNoTimeout;
}

// "If available" falls back to plain FTP only on an error reply to AUTH TLS; a failed
// handshake ends the connection, since falling back then would hand the password to whoever
// broke the handshake.
void TIdFTP::negotiateExplicitTLS()
{
    if (TLSSettings.Mode != TIdUseTLS::utUseExplicitTLS && TLSSettings.Mode != TIdUseTLS::utUseRequireTLS)
        return;
    const int code = SendCommand("AUTH TLS", TIdReplyCodes{});
    if (code == 234) {
        startControlTLS();
        return;
    }
    if (!isErrorReply(code))
        RaiseReplyError();
    if (TLSSettings.Mode == TIdUseTLS::utUseRequireTLS)
        throw EIdFTPTLSRefused("The server does not offer TLS (it answered AUTH TLS with \""
                               + std::to_string(code) + " " + replyText(LastReply())
                               + "\"). No user name or password was sent.");
    ReportStatus(TIdStatus::stText,
                 "The server does not offer TLS: this session is plain FTP, not encrypted.");
}

void TIdFTP::startControlTLS()
{
    TIdSSLIOHandlerSocket& handler = *controlTLS();
    handler.StartTLS(Host, nullptr, tlsTimeout());
    const TIdTLSCertificateInfo certificate = handler.PeerCertificate();
    acceptCertificate(certificate);
    m_certificateFingerprint = certificate.Fingerprint;
    ReportStatus(TIdStatus::stText,
                 "TLS: " + handler.Version() + ", " + handler.Cipher() + ", certificate "
                     + (m_certificateTrustedByUser ? "trusted by the user" : "verified"));
}

void TIdFTP::acceptCertificate(const TIdTLSCertificateInfo& certificate)
{
    if (certificate.Verified)
        return;
    if (!TLSSettings.OnVerifyPeer || !TLSSettings.OnVerifyPeer(certificate, Host, Port))
        throw EIdFTPCertificateRefused("The server's certificate was not accepted (" + certificate.Reason
                               + "; SHA-256 fingerprint " + certificate.Fingerprint
                               + "). No user name or password was sent.");
    m_certificateTrustedByUser = true;
}

// RFC 4217 section 9: PBSZ 0 then PROT P, so that listings and files cross encrypted too.
void TIdFTP::protectData()
{
    if (!TLSActive())
        return;
    SendCommand("PBSZ 0", TIdReplyCodes{200});
    SendCommand("PROT P", TIdReplyCodes{200});
    m_dataProtected = true;
}

std::unique_ptr<TIdIOHandlerSocket> TIdFTP::makeDataHandler() const
{
    std::unique_ptr<TIdIOHandlerSocket> handler;
    if (m_dataProtected)
        handler = std::make_unique<TIdSSLIOHandlerSocket>(m_sslContext);
    else
        handler = std::make_unique<TIdIOHandlerSocket>();
    if (Socket() != nullptr)
        handler->SocksInfo() = Socket()->SocksInfo();
    return handler;
}

// Tarn is the TLS client on the data connection too. The command connection's session is
// taken now, not at its handshake: under TLS 1.3 the ticket arrives after the handshake.
void TIdFTP::secureDataLink(TIdTCPConnection& link)
{
    auto* tls = dynamic_cast<TIdSSLIOHandlerSocket*>(link.IOHandler());
    if (!m_dataProtected || tls == nullptr)
        return;
    const TIdSSLSession session = TLSSettings.ReuseSession ? controlTLS()->Session() : TIdSSLSession();
    tls->StartTLS(Host, session.get(), tlsTimeout());
    if (tls->PeerCertificate().Fingerprint != m_certificateFingerprint)
        throw EIdOSSLError("The data connection presented another certificate than the command "
                           "connection.");
    if (!tls->SessionReused())
        ReportStatus(TIdStatus::stText, "The data connection did not resume the command "
                                        "connection's TLS session.");
}

// close_notify both ways before the socket closes, so that the server can tell a complete
// upload from a cut one.
void TIdFTP::endDataLink(TIdTCPConnection& link)
{
    if (auto* tls = dynamic_cast<TIdSSLIOHandlerSocket*>(link.IOHandler()))
        tls->EndTLS(ReadTimeout > 0 ? ReadTimeout : kResyncReplyTimeout);
}

// --- size checks ---

void TIdFTP::checkStoredSize(const std::string& remoteName, std::int64_t sent)
{
    if (m_transferType != TIdFTPTransferType::ftBinary || !HasFeature("SIZE"))
        return;
    const std::int64_t stored = QueryFileSize(remoteName);
    m_sizeName.clear();
    if (stored >= 0 && stored != sent)
        throw EIdFTPSizeMismatch("The server stored " + byteCount(stored) + " of " + byteCount(sent)
                                 + " bytes.");
}

// The size told for this download: the SIZE answer asked for the same name just before, or
// the 150 reply's "(1234 bytes)"; -1 when none was told.
std::int64_t TIdFTP::announcedSize(const std::string& remoteName, bool resumed) const
{
    if (m_sizeName == remoteName && !remoteName.empty())
        return m_sizeValue;
    if (resumed)
        return -1; // servers differ on whether the 150 counts the whole file or the rest
    static const std::regex kBytes(R"(\((\d+) bytes\))");
    std::smatch match;
    const std::string text = replyText(m_transferStartReply);
    if (std::regex_search(text, match, kBytes))
        return ParseInteger(match[1].str()).value_or(-1);
    return -1;
}

void TIdFTP::checkReceivedSize(const std::string& remoteName, const TIdStream& stream, bool resumed)
{
    const std::int64_t told = announcedSize(remoteName, resumed);
    m_sizeName.clear();
    if (m_lastTransferAborted || m_transferType != TIdFTPTransferType::ftBinary || told < 0)
        return;
    // More than told is a file that grew meanwhile; fewer is a transfer cut short.
    if (stream.Position() < told)
        throw EIdFTPSizeMismatch("The server sent " + byteCount(stream.Position()) + " of "
                                 + byteCount(told) + " bytes.");
}
