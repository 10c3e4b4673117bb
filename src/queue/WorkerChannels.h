// The two ways between the controller's thread and its workers: a channel of jobs per site,
// which workers take from, and one inbox of reports, which wakes the controller's thread
// through a descriptor its event loop watches. Neither touches Qt, so a worker never does.
#pragma once

#include "queue/QueueTypes.h"

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

class JobChannel {
public:
    // Controller: queue a job, stamped with the current run.
    void push(TransferJob job);
    // Controller: a stop begins a new run; answers the items of the jobs no worker took.
    std::vector<std::int64_t> stop();
    // Controller: the jobs of these items are no longer wanted; answers those no worker took.
    std::vector<std::int64_t> withdraw(const std::set<std::int64_t>& items);
    // Controller: workers end once the channel is empty; for good.
    void close();
    std::size_t queued() const;

    // Worker: the next job, waiting for one; empty once the channel is closed and empty.
    std::optional<TransferJob> take();
    // Worker: whether a job of that run is still wanted.
    bool current(unsigned generation) const { return m_generation.load() == generation; }
    // Workers of the site logged in now: a 530 while others are in means "too many".
    std::atomic<int> loggedIn{0};

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<TransferJob> m_jobs;
    std::atomic<unsigned> m_generation{0};
    bool m_closed = false;
};

struct WorkerReport {
    enum class Kind { Finished, Exited };
    Kind kind = Kind::Finished;
    int worker = 0;
    std::int64_t item = 0;
    JobOutcome outcome;
    // A login refused for good (a wrong password): every item of the site would fail alike.
    bool loginFailed = false;
};

class ReportInbox {
public:
    ReportInbox();
    ~ReportInbox();
    ReportInbox(const ReportInbox&) = delete;
    ReportInbox& operator=(const ReportInbox&) = delete;

    // Readable while reports wait.
    int descriptor() const { return m_event; }
    // Any thread.
    void post(WorkerReport report);
    // Controller: the oldest waiting reports, at most `most`; the descriptor stays readable
    // while more wait, so a long backlog is taken in slices between other events.
    std::vector<WorkerReport> take(std::size_t most = SIZE_MAX);

private:
    std::mutex m_mutex;
    std::vector<WorkerReport> m_reports;
    int m_event = -1;
};
