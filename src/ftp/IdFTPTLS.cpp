// TIdFTP over TLS (RFC 4217): the command connection upgraded by AUTH TLS or encrypted from the
// first byte, the certificate decision, PBSZ and PROT, and data connections that resume the
// command connection's TLS session.
#include "ftp/IdFTP.h"

#include "ftp/IdGlobal.h"

namespace {

bool isErrorReply(int code)
{
    return code >= 400 && code <= 599;
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
                               + std::to_string(code) + " " + JoinLines(LastReply().Text(), " ")
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
