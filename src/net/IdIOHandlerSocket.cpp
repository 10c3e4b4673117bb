// The socket transport: opening and closing the handle, connecting with status reports and a
// time-out, and the unchecked receive and send the connection classes check.
#include "net/IdIOHandlerSocket.h"

#include <algorithm>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "net/IdAntiFreeze.h"
#include "net/IdConnectThread.h"
#include "net/IdException.h"

namespace {

constexpr int kUnpumpedSlice = 125;
constexpr std::chrono::milliseconds kShutdownRetry{10};

} // namespace

TIdIOHandlerSocket::TIdIOHandlerSocket() = default;

TIdIOHandlerSocket::~TIdIOHandlerSocket() = default;

void TIdIOHandlerSocket::OpenTransport()
{
    m_open = true;
    if (m_binding)
        m_binding->ClearBinding(true);
    else
        m_binding = std::make_unique<TIdSocketHandle>();
}

void TIdIOHandlerSocket::CloseTransport()
{
    m_open = false;
    if (m_binding)
        m_binding->ReleaseHandle();
}

bool TIdIOHandlerSocket::IsOpen() const
{
    return m_binding && m_binding->HandleAllocated();
}

TIdSocketHandle& TIdIOHandlerSocket::openBinding()
{
    if (!m_binding)
        m_binding = std::make_unique<TIdSocketHandle>();
    return *m_binding;
}

void TIdIOHandlerSocket::ConnectTo(const std::string& host, int port, int timeout, int clientPortMax,
                                   int clientPortMin, int localPort, const std::string& bindAddress)
{
    if (m_socksInfo.Version != TSocksVersion::svNoSocks)
        throw EIdException("Connecting through a SOCKS proxy is not supported.");
    std::vector<std::string> addresses;
    try {
        if (!TIdStack::IsAddressText(host) && !TIdStack::IsIPv6Text(host))
            ReportStatus(TIdStatus::stResolving, host);
        addresses = SocketStack->HostToAddresses(host);
    } catch (...) {
        CloseTransport();
        throw;
    }
    // Each address in turn until one connects; the last one's failure is the one reported.
    for (std::size_t i = 0;; ++i) {
        const bool last = i + 1 >= addresses.size();
        try {
            connectToAddress(addresses[i], port, timeout,
                             {clientPortMax, clientPortMin, localPort, bindAddress});
            return;
        } catch (const EIdSocketError&) {
            if (!last)
                continue;
            CloseTransport();
            throw;
        } catch (const EIdConnectException&) {
            if (!last)
                continue;
            CloseTransport();
            throw;
        } catch (...) {
            CloseTransport();
            throw;
        }
    }
}

void TIdIOHandlerSocket::connectToAddress(const std::string& address, int port, int timeout,
                                          const LocalBinding& local)
{
    try {
        bindForConnect(local.portMax, local.portMin, local.port, local.address,
                       TIdStack::FamilyOf(address));
        TIdSocketHandle& binding = *m_binding;
        binding.SetPeerAddress(address, port);
        if (!UseNagle)
            binding.SetOption(IPPROTO_TCP, TCP_NODELAY, 1);
        ReportStatus(TIdStatus::stConnecting, binding.PeerIP());
        if (timeout != -1 && timeout != 0)
            ConnectWithTimeout(timeout);
        else if (TIdAntiFreezeBase::PumpAllowed())
            ConnectWithTimeout(kPumpedConnectTimeout);
        else
            SocketStack->CheckResult(binding.ConnectPeer(TIdStack::FamilyOf(address)));
    } catch (...) {
        // A failed connect leaves no socket behind that would look connected.
        if (m_binding)
            m_binding->ReleaseHandle();
        throw;
    }
}

void TIdIOHandlerSocket::bindForConnect(int clientPortMax, int clientPortMin, int localPort,
                                        const std::string& bindAddress, int family)
{
    TIdSocketHandle& binding = openBinding();
    binding.AllocateHandle(SOCK_STREAM, 0, family);
    binding.IP = bindAddress;
    binding.Port = localPort;
    binding.ClientPortMin = clientPortMin;
    binding.ClientPortMax = clientPortMax;
    binding.BindLocal();
}

void TIdIOHandlerSocket::ConnectWithTimeout(int timeout)
{
    int slice = kUnpumpedSlice;
    if (TIdAntiFreezeBase::PumpAllowed())
        slice = std::max(1, std::min(ActiveAntiFreeze->IdleTimeOut, kUnpumpedSlice));
    const unsigned serial = m_binding->Serial();
    TIdConnectThread thread(*m_binding);
    try {
        if (waitForConnect(thread, timeout, slice)) {
            thread.WaitFor();
            // An event run by the pump closed the socket (and perhaps opened another): the
            // connect was abandoned, whatever the connect call answered.
            if (!m_binding->HandleAllocated() || m_binding->Serial() != serial)
                throw EIdConnClosedGracefully();
            if (!thread.ErrorText().empty())
                throw EIdConnectException(thread.ErrorText());
            m_binding->ReadConnectedBinding();
            return;
        }
    } catch (...) {
        abortConnect(thread);
        throw;
    }
    abortConnect(thread);
    CloseTransport();
    throw EIdConnectTimeout();
}

// Waits in slices, pumping after each, until the connect returns (true) or the time-out
// (ms; -2: none) has passed (false). Wakes as soon as the connect returns.
bool TIdIOHandlerSocket::waitForConnect(TIdConnectThread& thread, int timeout, int slice)
{
    const bool unlimited = timeout == -2;
    int remaining = unlimited ? slice + 1 : timeout;
    while (remaining > slice) {
        const bool finished = thread.WaitFinished(std::chrono::milliseconds(slice));
        remaining = unlimited ? slice + 1 : remaining - slice;
        TIdAntiFreezeBase::PumpIfDue(true);
        if (finished || thread.Terminated())
            return true;
    }
    if (remaining > 0)
        thread.WaitFinished(std::chrono::milliseconds(remaining));
    return thread.Finished();
}

// Ends a connect still in progress; repeated in case the thread had not entered the call yet.
void TIdIOHandlerSocket::abortConnect(TIdConnectThread& thread)
{
    thread.Terminate();
    while (!thread.Interrupt(kShutdownRetry)) {
    }
    thread.WaitFor();
}

bool TIdIOHandlerSocket::WaitReadable(int timeout)
{
    if (!m_binding)
        throw EIdConnClosedGracefully();
    return m_binding->SelectReadable(timeout);
}

std::int64_t TIdIOHandlerSocket::ReceiveBytes(void* buffer, std::int64_t length)
{
    if (!IsOpen())
        throw EIdClosedSocket();
    return m_binding->ReceiveRaw(buffer, length);
}

std::int64_t TIdIOHandlerSocket::SendBytes(const void* buffer, std::int64_t length)
{
    if (!IsOpen())
        throw EIdClosedSocket();
    return m_binding->SendRaw(buffer, length);
}

std::int64_t TIdIOHandlerSocket::SendBytesWithin(const void* buffer, std::int64_t length, int timeout)
{
    if (!IsOpen())
        throw EIdClosedSocket();
    return m_binding->SendRaw(buffer, length, timeout);
}

std::int64_t TIdIOHandlerSocket::ReceiveBytesNow(void* buffer, std::int64_t length)
{
    if (!IsOpen())
        throw EIdClosedSocket();
    return m_binding->ReceiveRawNow(buffer, length);
}
