// The short-lived thread that performs a blocking connect while the window thread waits in
// slices and pumps; the waiting side polls its terminated mark and reads its error text.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class TIdSocketHandle;

class TIdConnectThread {
public:
    // Starts connecting the handle at once.
    explicit TIdConnectThread(TIdSocketHandle& binding);
    // Waits for the thread to end.
    ~TIdConnectThread();
    TIdConnectThread(const TIdConnectThread&) = delete;
    TIdConnectThread& operator=(const TIdConnectThread&) = delete;

    bool Terminated() const { return m_terminated.load(); }
    void Terminate() { m_terminated.store(true); }
    // true once the connect call has returned (whatever its outcome).
    bool Finished() const { return m_finished.load(); }
    // Waits up to the given time for the connect to return; true when it has.
    bool WaitFinished(std::chrono::milliseconds limit);
    void WaitFor();
    // Empty unless the connect failed; read only after Finished().
    const std::string& ErrorText() const { return m_errorText; }

private:
    void Execute();

    TIdSocketHandle& m_binding;
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_finished{false};
    std::string m_errorText;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::thread m_thread;
};
