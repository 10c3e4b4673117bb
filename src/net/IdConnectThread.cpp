// The connect thread: one blocking connect, its error text, and the marks the waiting side reads.
#include "net/IdConnectThread.h"

#include <sys/socket.h>

#include "net/IdException.h"
#include "net/IdSocketHandle.h"

TIdConnectThread::TIdConnectThread(TIdSocketHandle& binding)
    : m_binding(binding), m_thread([this] { Execute(); })
{
}

TIdConnectThread::~TIdConnectThread()
{
    WaitFor();
}

void TIdConnectThread::Execute()
{
    try {
        // 10009 and 10038 arise when the waiting side has closed the socket on a time-out.
        SocketStack->CheckResult(m_binding.ConnectPeer(AF_INET), {Id_WSAEBADF, Id_WSAENOTSOCK});
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
