// The worker thread.
#include "queue/QueueWorker.h"

#include "ftp/IdFTP.h"
#include "queue/QueueFailures.h"

#include <pthread.h>

namespace {

// A session idle for longer may have been dropped by the server: it is checked before use.
constexpr std::chrono::seconds kIdleCheck{20};

} // namespace

QueueWorker::QueueWorker(int id, std::shared_ptr<JobChannel> channel, ReportInbox& inbox,
                         std::shared_ptr<std::atomic<bool>> downloadsHeld)
    : m_id(id), m_channel(std::move(channel)), m_inbox(inbox), m_downloadsHeld(std::move(downloadsHeld))
{
    m_thread = std::thread([this] { run(); });
}

QueueWorker::~QueueWorker()
{
    if (m_thread.joinable())
        m_thread.join();
}

void QueueWorker::cancel(std::int64_t item)
{
    m_cancelled.store(item);
    if (m_progress.item.load() == item)
        m_sockets.interruptData();
}

void QueueWorker::quit()
{
    m_quitting.store(true);
    m_sockets.interruptAll();
}

void QueueWorker::run()
{
    pthread_setname_np(pthread_self(), "tarn-worker");
    while (!m_quitting.load()) {
        std::optional<TransferJob> job = m_channel->take();
        if (!job || !work(*job))
            break;
    }
    closeSession(!m_quitting.load());
    report(WorkerReport::Kind::Exited, 0);
}

void QueueWorker::report(WorkerReport::Kind kind, std::int64_t item, JobOutcome outcome, bool loginFailed)
{
    WorkerReport entry;
    entry.kind = kind;
    entry.worker = m_id;
    entry.item = item;
    entry.outcome = std::move(outcome);
    entry.loginFailed = loginFailed;
    m_inbox.post(std::move(entry));
}

bool QueueWorker::work(const TransferJob& job)
{
    // The controller sees the item running in the progress it samples: no report of its own.
    m_progress.item.store(job.item);
    const bool download = job.direction == QueueDirection::Download;
    JobOutcome outcome;
    if (download && m_downloadsHeld->load()) {
        outcome.status = JobStatus::Stopped;
        finish(job, std::move(outcome));
        return true;
    }
    try {
        connect(job.site);
    } catch (...) {
        return refuseLogin(job, std::current_exception());
    }
    const auto stopRequested = [this, &job] {
        return m_quitting.load() || m_cancelled.load() == job.item || !m_channel->current(job.generation);
    };
    outcome = m_runner->run(job, stopRequested);
    if (download && outcome.failure == FailureKind::DiskFull)
        m_downloadsHeld->store(true);
    m_lastUse = std::chrono::steady_clock::now();
    if (!m_session->IsConnected())
        closeSession(false);
    finish(job, std::move(outcome));
    return true;
}

void QueueWorker::finish(const TransferJob& job, JobOutcome outcome, bool loginFailed)
{
    m_progress.item.store(0);
    report(WorkerReport::Kind::Finished, job.item, std::move(outcome), loginFailed);
}

// A server with no room for one more connection ends this worker (false); any other failure
// to log in is the job's failure.
bool QueueWorker::refuseLogin(const TransferJob& job, std::exception_ptr failure)
{
    const bool refused = isRefusal(failure);
    const FailureInfo info = classifyFailure(failure);
    JobOutcome outcome;
    outcome.status = refused ? JobStatus::Refused : JobStatus::Failed;
    outcome.failure = info.kind;
    outcome.reason = info.reason;
    finish(job, std::move(outcome), !refused && info.kind == FailureKind::Permanent);
    return !refused;
}

void QueueWorker::connect(const SiteLogin& site)
{
    if (m_session && std::chrono::steady_clock::now() - m_lastUse > kIdleCheck) {
        try {
            m_session->RawCommand("NOOP");
        } catch (...) {
            closeSession(false);
        }
    }
    if (m_session && m_session->IsConnected())
        return;
    closeSession(false);
    m_session = openQueueSession(site, m_sockets);
    m_runner = std::make_unique<JobRunner>(*m_session, m_sockets, m_progress);
    m_lastUse = std::chrono::steady_clock::now();
    ++m_channel->loggedIn;
}

bool QueueWorker::isRefusal(std::exception_ptr failure) const
{
    try {
        std::rethrow_exception(failure);
    } catch (const EIdProtocolReplyError& error) {
        // A 530 while other workers of the site are logged in cannot be a wrong password.
        return refusedForTooMany(error.ReplyErrorCode(), error.what())
            || (error.ReplyErrorCode() == 530 && m_channel->loggedIn.load() > 0);
    } catch (...) {
        return false;
    }
}

void QueueWorker::closeSession(bool politely)
{
    if (!m_session)
        return;
    m_runner.reset();
    try {
        if (politely)
            m_session->CloseSession();
    } catch (...) {
        // the session ends either way
    }
    m_session.reset();
    --m_channel->loggedIn;
}
