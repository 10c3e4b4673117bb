// One worker: a thread with its own session to one site, taking jobs from the site's channel
// and reporting to the controller's inbox. Network calls simply block here; nothing on this
// thread touches the window, a dialog or the site list.
#pragma once

#include "queue/JobRunner.h"
#include "queue/QueueSession.h"
#include "queue/WorkerChannels.h"

#include <atomic>
#include <exception>
#include <chrono>
#include <memory>
#include <thread>

class TIdFTP;

class QueueWorker {
public:
    // Starts the thread at once. While downloadsHeld is set (a full disk), a download job
    // comes back stopped without being run.
    QueueWorker(int id, std::shared_ptr<JobChannel> channel, ReportInbox& inbox,
                std::shared_ptr<std::atomic<bool>> downloadsHeld);
    // Joins the thread: call quit() first, or close the channel.
    ~QueueWorker();
    QueueWorker(const QueueWorker&) = delete;
    QueueWorker& operator=(const QueueWorker&) = delete;

    int id() const { return m_id; }
    const JobChannel* channel() const { return m_channel.get(); }
    const JobProgress& progress() const { return m_progress; }

    // Any thread: the channel began a new run (a stop), so a running transfer is cut short.
    void interrupt() { m_sockets.interruptData(); }
    // Any thread: the item's job is no longer wanted (it was removed).
    void cancel(std::int64_t item);
    // Any thread: ends the worker as soon as it can, without a word to the server.
    void quit();

private:
    void run();
    // False when the worker ends (the server refused one more connection).
    bool work(const TransferJob& job);
    // Logs in when there is no usable session; raises what the login raised.
    void connect(const SiteLogin& site);
    bool isRefusal(std::exception_ptr failure) const;
    bool refuseLogin(const TransferJob& job, std::exception_ptr failure);
    void finish(const TransferJob& job, JobOutcome outcome, bool loginFailed = false);
    void closeSession(bool politely);
    void report(WorkerReport::Kind kind, std::int64_t item, JobOutcome outcome = {}, bool loginFailed = false);

    const int m_id;
    std::shared_ptr<JobChannel> m_channel;
    ReportInbox& m_inbox;
    std::shared_ptr<std::atomic<bool>> m_downloadsHeld;
    SessionSockets m_sockets;
    JobProgress m_progress;
    std::atomic<std::int64_t> m_cancelled{0};
    std::atomic<bool> m_quitting{false};
    std::unique_ptr<TIdFTP> m_session;
    std::unique_ptr<JobRunner> m_runner;
    std::chrono::steady_clock::time_point m_lastUse{};
    std::thread m_thread;
};
