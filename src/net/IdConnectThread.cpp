// The connect thread: one blocking connect on a descriptor of its own, its error text, and the
// marks the waiting side reads.
#include "net/IdConnectThread.h"

#include <sys/socket.h>

#include "net/IdException.h"
#include "net/IdSocketHandle.h"

TIdConnectThread::TIdConnectThread(const TIdSocketHandle& binding)
    : m_stack(*SocketStack),
      m_socket(SocketStack->duplicateSocket(binding.Handle())),
      m_peerIP(binding.PeerIP()),
      m_peerPort(binding.PeerPort())
{
    if (m_socket == Id_INVALID_SOCKET)
        SocketStack->CheckResult(Id_SOCKET_ERROR);
    // Started last, when every member it reads is in place.
    m_thread = std::thread([this] { Execute(); });
}

TIdConnectThread::~TIdConnectThread()
{
    WaitFor();
    m_stack.closeSocket(m_socket);
}

void TIdConnectThread::Execute()
{
    try {
        // 10009 and 10038 would mean the descriptor was taken away; kept as the connect's
        // tolerated outcomes of a socket closed on a time-out.
        const int result = m_stack.connectSocket(m_socket, AF_INET, m_peerIP, m_peerPort);
        m_stack.CheckResult(result, {Id_WSAEBADF, Id_WSAENOTSOCK});
    } catch (const std::exception& error) {
        m_errorText = error.what();
    }
    {
        std::lock_guard guard(m_mutex);
        m_finished.store(true);
        m_terminated.store(true);
    }
    m_done.notify_all();
}

bool TIdConnectThread::Interrupt(std::chrono::milliseconds limit)
{
    m_stack.shutdownSocket(m_socket, SHUT_RDWR);
    return WaitFinished(limit);
}

bool TIdConnectThread::WaitFinished(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_mutex);
    return m_done.wait_for(lock, limit, [this] { return m_finished.load(); });
}

void TIdConnectThread::WaitFor()
{
    if (m_thread.joinable())
        m_thread.join();
}
