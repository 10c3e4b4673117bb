// Job channels and the report inbox.
#include "queue/WorkerChannels.h"

#include <stdexcept>
#include <sys/eventfd.h>
#include <utility>
#include <unistd.h>

void JobChannel::push(TransferJob job)
{
    {
        std::lock_guard guard(m_mutex);
        job.generation = m_generation.load();
        m_jobs.push_back(std::move(job));
    }
    m_ready.notify_one();
}

std::vector<std::int64_t> JobChannel::stop()
{
    std::lock_guard guard(m_mutex);
    ++m_generation;
    std::vector<std::int64_t> items;
    for (const TransferJob& job : m_jobs)
        items.push_back(job.item);
    m_jobs.clear();
    return items;
}

std::vector<std::int64_t> JobChannel::withdraw(const std::set<std::int64_t>& items)
{
    std::lock_guard guard(m_mutex);
    std::vector<std::int64_t> withdrawn;
    std::erase_if(m_jobs, [&](const TransferJob& job) {
        const bool wanted = items.count(job.item) == 0;
        if (!wanted)
            withdrawn.push_back(job.item);
        return !wanted;
    });
    return withdrawn;
}

void JobChannel::close()
{
    {
        std::lock_guard guard(m_mutex);
        m_closed = true;
    }
    m_ready.notify_all();
}

std::size_t JobChannel::queued() const
{
    std::lock_guard guard(m_mutex);
    return m_jobs.size();
}

std::optional<TransferJob> JobChannel::take()
{
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [this] { return m_closed || !m_jobs.empty(); });
    if (m_jobs.empty())
        return std::nullopt;
    TransferJob job = std::move(m_jobs.front());
    m_jobs.pop_front();
    return job;
}

ReportInbox::ReportInbox() : m_event(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_event < 0)
        throw std::runtime_error("The transfer queue could not make its report descriptor.");
}

ReportInbox::~ReportInbox()
{
    ::close(m_event);
}

void ReportInbox::post(WorkerReport report)
{
    bool wake = false;
    {
        std::lock_guard guard(m_mutex);
        wake = m_reports.empty();
        m_reports.push_back(std::move(report));
    }
    // One wake-up per batch: the controller takes everything that waits at once.
    if (wake) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_event, &one, sizeof one);
    }
}

std::vector<WorkerReport> ReportInbox::take(std::size_t most)
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_event, &count, sizeof count);
    std::lock_guard guard(m_mutex);
    if (m_reports.size() <= most)
        return std::exchange(m_reports, {});
    std::vector<WorkerReport> taken(std::make_move_iterator(m_reports.begin()),
                                    std::make_move_iterator(m_reports.begin() + static_cast<std::ptrdiff_t>(most)));
    m_reports.erase(m_reports.begin(), m_reports.begin() + static_cast<std::ptrdiff_t>(most));
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_event, &one, sizeof one);
    return taken;
}
