// Worker sessions and their interruptible sockets.
#include "queue/QueueSession.h"

#include "ftp/IdFTP.h"
#include "net/IdIOHandlerSocket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A stalled server or network ends a job after this long; the job is then retried.
constexpr int kWorkerReadTimeout = 60000;
constexpr int kWorkerConnectTimeout = 30000;

} // namespace

SessionSockets::~SessionSockets()
{
    for (int socket : {m_command, m_data}) {
        if (socket >= 0)
            ::close(socket);
    }
}

void SessionSockets::replace(int& watched, int socket)
{
    if (watched >= 0)
        ::close(watched);
    watched = socket < 0 ? -1 : ::fcntl(socket, F_DUPFD_CLOEXEC, 0);
    if (m_closing && watched >= 0)
        ::shutdown(watched, SHUT_RDWR);
}

void SessionSockets::watchCommand(int socket)
{
    std::lock_guard guard(m_mutex);
    replace(m_command, socket);
}

void SessionSockets::watchData(int socket)
{
    std::lock_guard guard(m_mutex);
    replace(m_data, socket);
}

void SessionSockets::forgetData()
{
    std::lock_guard guard(m_mutex);
    replace(m_data, -1);
}

void SessionSockets::interruptData()
{
    std::lock_guard guard(m_mutex);
    if (m_data >= 0)
        ::shutdown(m_data, SHUT_RDWR);
}

void SessionSockets::interruptAll()
{
    std::lock_guard guard(m_mutex);
    m_closing = true;
    for (int socket : {m_command, m_data}) {
        if (socket >= 0)
            ::shutdown(socket, SHUT_RDWR);
    }
}

std::unique_ptr<TIdFTP> openQueueSession(const SiteLogin& site, SessionSockets& sockets)
{
    auto ftp = std::make_unique<TIdFTP>();
    ftp->Host = site.host;
    ftp->Port = site.port;
    ftp->SetUsername(site.user);
    ftp->SetPassword(site.password);
    ftp->Passive = site.passive;
    ftp->TLSSettings.Mode = static_cast<TIdUseTLS>(site.tlsMode);
    ftp->TLSSettings.OnVerifyPeer = [trusted = site.trustedFingerprint](const TIdTLSCertificateInfo& certificate,
                                                                         const std::string&, int) {
        return !trusted.empty() && certificate.Fingerprint == trusted;
    };
    ftp->ReadTimeout = kWorkerReadTimeout;
    ftp->AcceptTimeout = kWorkerReadTimeout;
    // The transport reports "Connecting" once its socket exists and before it connects.
    ftp->OnStatus = [&sockets](TIdComponent* sender, TIdStatus status, const std::string&) {
        auto* transport = dynamic_cast<TIdIOHandlerSocket*>(sender);
        if (status == TIdStatus::stConnecting && transport && transport->Binding())
            sockets.watchCommand(transport->Binding()->Handle());
    };
    ftp->OpenSession(true, kWorkerConnectTimeout);
    ftp->OnStatus = nullptr;
    return ftp;
}
