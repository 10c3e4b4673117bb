// The active-mode data listener.
#include "ftp/IdSimpleServer.h"

#include "net/IdIOHandlerSocket.h"

#include <chrono>
#include <sys/socket.h>

TIdSimpleServer::TIdSimpleServer() = default;

TIdSimpleServer::~TIdSimpleServer()
{
    closeListener();
}

TIdSocketHandle* TIdSimpleServer::binding() const
{
    return Socket() != nullptr ? Socket()->Binding() : nullptr;
}

int TIdSimpleServer::ListenSocket() const
{
    if (!m_listener || !m_listener->HandleAllocated())
        return -1;
    return static_cast<int>(m_listener->Handle());
}

void TIdSimpleServer::ResetInput()
{
    TIdTCPConnection::ResetInput();
    m_stopRequested = false;
    m_isListening = false;
    SetIOHandler(static_cast<TIdIOHandler*>(nullptr));
}

void TIdSimpleServer::DropSocket()
{
    TIdTCPConnection::DropSocket();
    // Only the socket is closed: an abort from the pump lands here while AcceptOne is still
    // waiting on the listener's handle, which must outlive that wait.
    if (m_listener)
        m_listener->ReleaseHandle();
    m_isListening = false;
}

void TIdSimpleServer::StartListening()
{
    try {
        if (binding() == nullptr) {
            ResetInput();
            std::unique_ptr<TIdIOHandlerSocket> handler =
                MakeHandler ? MakeHandler() : std::make_unique<TIdIOHandlerSocket>();
            handler->OpenTransport();
            SetIOHandler(std::move(handler));
        }
        if (ListenSocket() == -1)
            BindListener();
        m_listener->StartListen(kListenQueue);
        m_isListening = true;
    } catch (...) {
        SetIOHandler(static_cast<TIdIOHandler*>(nullptr));
        closeListener();
        throw;
    }
}

void TIdSimpleServer::BindListener()
{
    m_listener = std::make_unique<TIdSocketHandle>();
    try {
        m_listener->AllocateHandle(SOCK_STREAM, 0, TIdStack::FamilyOf(BoundIP));
        m_listener->IP = BoundIP;
        m_listener->Port = BoundPort;
        m_listener->BindLocal();
    } catch (...) {
        m_listener.reset();
        throw;
    }
}

bool TIdSimpleServer::AcceptOne()
{
    BusyScope busy(*this);
    if (!m_isListening)
        StartListening();
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(AcceptTimeout);
    bool accepted = false;
    try {
        while (!m_stopRequested && !accepted) {
            // Dropped (an abort) or closed by an event while waiting: nothing can be taken over.
            if (ListenSocket() == -1 || binding() == nullptr)
                throw EIdConnClosedGracefully();
            int slice = AcceptSlice;
            if (AcceptTimeout >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - Clock::now()).count();
                if (left <= 0)
                    break;
                slice = static_cast<int>(std::min<long long>(slice, left));
            }
            if (m_listener->SelectReadable(slice) && binding() != nullptr)
                accepted = takeConnection(*binding());
        }
    } catch (...) {
        closeListener();
        throw;
    }
    closeListener();
    return accepted;
}

bool TIdSimpleServer::takeConnection(TIdSocketHandle& connection)
{
    if (!connection.AcceptFrom(m_listener->Handle()))
        return false;
    if (AllowedPeerIP.empty() || connection.PeerIP() == AllowedPeerIP)
        return true;
    connection.ReleaseHandle();
    return false;
}

void TIdSimpleServer::closeListener()
{
    if (m_listener)
        m_listener->ReleaseHandle();
    m_listener.reset();
    m_isListening = false;
}
