// The short-lived thread that performs a blocking connect while the window thread waits in
// slices and pumps; the waiting side polls its terminated mark and reads its error text.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "net/IdStack.h"

class TIdSocketHandle;

// The thread owns everything it touches: its own descriptor of the handle's socket and a copy
// of the peer address, taken on the calling thread before it starts. An event run by the pump
// may close the handle meanwhile, and another socket may get the freed number; the thread
// never acts on either. The descriptor is closed only once the thread has ended.
class TIdConnectThread {
public:
    // Starts connecting the handle's socket at once (the handle must hold one).
    explicit TIdConnectThread(const TIdSocketHandle& binding);
    // Waits for the thread to end, then closes its descriptor.
    ~TIdConnectThread();
    TIdConnectThread(const TIdConnectThread&) = delete;
    TIdConnectThread& operator=(const TIdConnectThread&) = delete;

    bool Terminated() const { return m_terminated.load(); }
    void Terminate() { m_terminated.store(true); }
    // Makes a connect in progress return, by shutting the thread's own socket down; answers
    // whether the connect has returned within the given time.
    bool Interrupt(std::chrono::milliseconds limit);
    // true once the connect call has returned (whatever its outcome).
    bool Finished() const { return m_finished.load(); }
    // Waits up to the given time for the connect to return; true when it has.
    bool WaitFinished(std::chrono::milliseconds limit);
    void WaitFor();
    // Empty unless the connect failed; read only after Finished().
    const std::string& ErrorText() const { return m_errorText; }

private:
    void Execute();

    TIdStack& m_stack;
    TIdStackSocketHandle m_socket;
    std::string m_peerIP;
    int m_peerPort;
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_finished{false};
    std::string m_errorText;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::thread m_thread;
};
