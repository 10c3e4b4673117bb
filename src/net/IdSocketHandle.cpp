// One socket with its bindings: bind within a port range, connect, listen, accept, the sliced
// readability wait, unchecked send and receive.
#include "net/IdSocketHandle.h"

#include <algorithm>
#include <chrono>
#include <sys/socket.h>
#include <unistd.h>

#include "net/IdAntiFreeze.h"
#include "net/IdException.h"

TIdSocketHandle::~TIdSocketHandle()
{
    ReleaseHandle();
}

void TIdSocketHandle::Assign(const TIdSocketHandle& source)
{
    IP = source.IP;
    Port = source.Port;
    m_peerIP = source.m_peerIP;
    m_peerPort = source.m_peerPort;
}

void TIdSocketHandle::AllocateHandle(int socketType, int protocol, int family)
{
    ReleaseHandle();
    m_handle = SocketStack->NewSocket(socketType, protocol, family);
    m_family = family;
    m_open = true;
    ++m_serial;
}

void TIdSocketHandle::BindLocal()
{
    if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
        if (!tryBind())
            throw EIdCouldNotBindSocket();
        return;
    }
    if (ClientPortMax < ClientPortMin)
        throw EIdInvalidPortRange(ClientPortMin, ClientPortMax);
    for (int port = ClientPortMax; port >= ClientPortMin; --port) {
        Port = port;
        if (tryBind())
            return;
    }
    throw EIdCanNotBindPortInRange(ClientPortMin, ClientPortMax);
}

// One attempt at IP and Port: false when the port is in use, raises on any other failure.
bool TIdSocketHandle::tryBind()
{
    const int result = SocketStack->bindSocket(m_handle, m_family, IP, Port);
    if (SocketStack->CheckResult(result, {Id_WSAEADDRINUSE}))
        return false;
    readLocalBinding();
    return true;
}

void TIdSocketHandle::readLocalBinding()
{
    const TIdSocketAddress local = SocketStack->socketName(m_handle);
    IP = local.IP;
    Port = local.Port;
}

void TIdSocketHandle::readPeerBinding()
{
    const TIdSocketAddress peer = SocketStack->peerName(m_handle);
    m_peerIP = peer.IP;
    m_peerPort = peer.Port;
}

void TIdSocketHandle::SetPeerAddress(const std::string& address, int port)
{
    m_peerIP = address;
    m_peerPort = port;
}

int TIdSocketHandle::ConnectPeer(int family)
{
    const int result = SocketStack->connectSocket(m_handle, family, m_peerIP, m_peerPort);
    if (result != Id_SOCKET_ERROR)
        ReadConnectedBinding();
    return result;
}

void TIdSocketHandle::ReadConnectedBinding()
{
    readLocalBinding();
    readPeerBinding();
}

void TIdSocketHandle::StartListen(int queueLength)
{
    SocketStack->CheckResult(SocketStack->listenOn(m_handle, queueLength));
}

bool TIdSocketHandle::AcceptFrom(TIdStackSocketHandle listener)
{
    ClearBinding(true);
    TIdSocketAddress peer;
    const TIdStackSocketHandle socket = SocketStack->acceptSocket(listener, peer);
    if (SocketStack->CheckResult(socket, {Id_WSAEINTR, Id_WSAENOTSOCK}))
        return false;
    m_handle = socket;
    m_open = true;
    ++m_serial;
    readLocalBinding();
    readPeerBinding();
    return true;
}

bool TIdSocketHandle::SelectReadable(int timeout)
{
    if (!m_open)
        throw EIdConnClosedGracefully();
    if (TIdAntiFreezeBase::PumpAllowed()) {
        // A chain of waits no longer than the pump's idle time, pumping after each; the first
        // takes what is left over from whole slices.
        const int slice = std::max(1, ActiveAntiFreeze->IdleTimeOut);
        if (timeout < 0) {
            while (!waitOnce(slice)) {
            }
            return true;
        }
        int remaining = timeout;
        while (remaining > slice) {
            const int first = remaining - slice * ((remaining - 1) / slice);
            if (waitOnce(first))
                return true;
            remaining -= first;
        }
        return waitOnce(remaining);
    }
    return waitOnce(timeout);
}

// One wait on the socket, then the pump: as idle work when the socket was not ready.
bool TIdSocketHandle::waitOnce(int timeout)
{
    // A pump between slices may have closed the socket (the user dropped the connection).
    if (!m_open)
        throw EIdConnClosedGracefully();
    const bool ready = SocketStack->pollReadable(m_handle, timeout);
    TIdAntiFreezeBase::PumpIfDue(!ready);
    return ready;
}

std::int64_t TIdSocketHandle::SendRaw(const void* buffer, std::int64_t length, int timeout)
{
    const bool pump = TIdAntiFreezeBase::PumpAllowed();
    if (!pump && timeout < 0)
        return SocketStack->send(m_handle, buffer, length);
    // A peer that stops reading would block the send, and the window with it, for good:
    // while there is no room, wait for it in slices (pumping between them) up to the time-out.
    const int slice = pump ? std::max(1, ActiveAntiFreeze->IdleTimeOut) : timeout;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout, 0));
    for (;;) {
        const std::int64_t sent = SocketStack->send(m_handle, buffer, length, MSG_DONTWAIT);
        if (sent != Id_SOCKET_ERROR || SocketStack->lastCallError() != Id_WSAEWOULDBLOCK)
            return sent;
        int wait = slice;
        if (timeout >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                throw EIdWriteTimeout();
            wait = static_cast<int>(std::min<long long>(wait, left));
        }
        const bool ready = SocketStack->pollWritable(m_handle, wait);
        if (pump)
            TIdAntiFreezeBase::PumpIfDue(!ready);
        // The pump may have run an abort that closed the socket.
        if (!m_open)
            throw EIdClosedSocket();
    }
}

std::int64_t TIdSocketHandle::ReceiveRaw(void* buffer, std::int64_t length)
{
    return SocketStack->receive(m_handle, buffer, length);
}

std::int64_t TIdSocketHandle::ReceiveRawNow(void* buffer, std::int64_t length)
{
    return SocketStack->receive(m_handle, buffer, length, MSG_DONTWAIT);
}

void TIdSocketHandle::SetOption(int level, int option, const void* value, int length)
{
    SocketStack->CheckResult(SocketStack->setSocketOption(m_handle, level, option, value, length));
}

void TIdSocketHandle::SetOption(int level, int option, int value)
{
    SetOption(level, option, &value, sizeof(value));
}

void TIdSocketHandle::ReleaseHandle()
{
    if (!m_open)
        return;
    m_open = false;
    ++m_serial;
    if (SocketStack) {
        SocketStack->shutdownSocket(m_handle, SHUT_WR);
        SocketStack->closeSocket(m_handle);
    } else {
        // A handle outliving every network component still must not leak its socket.
        ::close(m_handle);
    }
    m_handle = Id_INVALID_SOCKET;
}

void TIdSocketHandle::ClearBinding(bool clearLocal)
{
    // A socket still held is closed rather than forgotten, so it cannot leak.
    ReleaseHandle();
    m_handle = Id_INVALID_SOCKET;
    m_peerIP.clear();
    m_peerPort = 0;
    if (clearLocal) {
        IP.clear();
        Port = 0;
    }
}
