// The controller's runs: starting and stopping, handing jobs to each site's workers, the
// workers' reports (retries, refusals, folder walks), progress, and the end of a run.
#include "queue/TransferQueue.h"

#include "model/PathText.h"
#include "queue/QueueRules.h"
#include "queue/TransferQueueSiteRun.h"

#include <QTimer>

#include <algorithm>
#include <map>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

TransferJob makeJob(const QueueItem& item, const SiteLogin& site, ExistsRule runRule)
{
    TransferJob job;
    job.item = item.id;
    job.site = site;
    job.direction = item.direction;
    job.kind = item.kind;
    job.localPath = item.localPath;
    job.remotePath = item.remotePath;
    job.source = item.source;
    job.target = item.target;
    job.rule = item.rule.value_or(runRule);
    job.continueTarget = item.continueTarget;
    return job;
}

} // namespace

void TransferQueue::start()
{
    if (m_running)
        return;
    m_running = true;
    m_downloadsHeld->store(false);
    m_diskFullFailed = false;
    m_runRule = m_existsRule;
    // Folders first: their walks find the files.
    for (auto& [id, run] : m_sites) {
        run->waiting.clear();
        run->limit = std::clamp(run->login.connections, 1, SiteLogin::kMaxConnections);
    }
    for (QueueItemKind kind : {QueueItemKind::Folder, QueueItemKind::File}) {
        for (auto& [id, item] : m_items) {
            if (item.kind != kind || item.state != QueueItemState::Waiting || item.dispatched)
                continue;
            item.notBefore = {};
            requeue(item, false);
        }
    }
    m_lastSample = Clock::now();
    m_speedSamples.clear();
    m_progressTimer->start();
    emit runningChanged(true);
    dispatch();
    checkRunEnd();
}

void TransferQueue::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_progressTimer->stop();
    for (auto& [id, run] : m_sites) {
        if (!run->channel)
            continue;
        // Jobs no worker took yet go back; running ones report themselves stopped.
        for (std::int64_t item : run->channel->stop()) {
            run->inFlight.erase(item);
            if (auto it = m_items.find(item); it != m_items.end())
                it->second.dispatched = false;
        }
        for (const auto& worker : run->workers)
            worker->interrupt();
    }
    emit runningChanged(false);
}

bool TransferQueue::dispatchable(const QueueItem& item) const
{
    return item.state == QueueItemState::Waiting && !item.dispatched && !item.awaitingAnswer
        && item.notBefore <= Clock::now()
        && !(m_downloadsHeld->load() && item.direction == QueueDirection::Download);
}

void TransferQueue::dispatch()
{
    if (!m_running)
        return;
    for (auto& [id, run] : m_sites)
        dispatchSite(id, *run);
}

void TransferQueue::dispatchSite(std::int64_t id, SiteRun& run)
{
    if (!run.waiting.empty() && !lookUpPassword(id, run))
        return;
    if (!run.channel)
        run.channel = std::make_shared<JobChannel>();
    // One job waits behind each worker, so none idles between two files.
    const std::size_t depth = static_cast<std::size_t>(run.limit);
    while (run.channel->queued() < depth && !run.waiting.empty()) {
        const auto it = m_items.find(run.waiting.front());
        run.waiting.pop_front();
        if (it == m_items.end() || !dispatchable(it->second))
            continue;
        QueueItem& item = it->second;
        item.dispatched = true;
        run.inFlight.insert(item.id);
        run.channel->push(makeJob(item, run.login, m_runRule));
    }
    spawnWorkers(id, run);
}

// Workers of an earlier run's channel are ending; they do not count.
std::size_t TransferQueue::currentWorkers(const SiteRun& run)
{
    return static_cast<std::size_t>(std::count_if(run.workers.begin(), run.workers.end(), [&](const auto& worker) {
        return worker->channel() == run.channel.get();
    }));
}

void TransferQueue::spawnWorkers(std::int64_t id, SiteRun& run)
{
    const std::size_t wanted = std::min<std::size_t>(static_cast<std::size_t>(run.limit), run.inFlight.size());
    for (std::size_t working = currentWorkers(run); working < wanted; ++working) {
        const int worker = m_nextWorker++;
        m_workerSites[worker] = id;
        run.workers.push_back(std::make_unique<QueueWorker>(worker, run.channel, *m_inbox, m_downloadsHeld));
    }
}

bool TransferQueue::lookUpPassword(std::int64_t id, SiteRun& run)
{
    if (run.passwordKnown)
        return true;
    if (m_passwordLookup) {
        if (std::optional<std::string> password = m_passwordLookup(run.login)) {
            run.login.password = std::move(*password);
            run.passwordKnown = true;
            return true;
        }
    }
    failSite(id, "No password is known for the site \"" + run.login.name + "\".");
    run.waiting.clear();
    return false;
}

void TransferQueue::failSite(std::int64_t site, const std::string& reason)
{
    for (auto& [id, item] : m_items) {
        if (item.site != site || item.state != QueueItemState::Waiting || item.dispatched)
            continue;
        item.state = QueueItemState::Failed;
        item.reason = reason;
        changed(item);
        stored(item);
    }
}

// --- reports ---

void TransferQueue::handleReports()
{
    // A slice at a time: the thread's other events (the window's) get their turn between.
    constexpr std::size_t kReportSlice = 32;
    std::vector<WorkerReport> reports = m_inbox->take(kReportSlice);
    for (WorkerReport& report : reports)
        handleReport(report);
    dispatch();
    checkRunEnd();
}

void TransferQueue::handleReport(WorkerReport& report)
{
    const auto site = m_workerSites.find(report.worker);
    if (site == m_workerSites.end())
        return;
    SiteRun& run = *m_sites.at(site->second);
    if (report.kind == WorkerReport::Kind::Exited) {
        retireWorker(run, report.worker);
        m_workerSites.erase(site);
        return;
    }
    run.inFlight.erase(report.item);
    const auto it = m_items.find(report.item);
    if (it == m_items.end())
        return;
    QueueItem& item = it->second;
    applyOutcome(item, run, report);
    changed(item);
    stored(item);
}

void TransferQueue::applyOutcome(QueueItem& item, SiteRun& run, WorkerReport& report)
{
    JobOutcome& outcome = report.outcome;
    item.dispatched = false;
    item.bytesPerSecond = 0;
    item.continueTarget = item.continueTarget || outcome.targetTouched;
    if (!outcome.renamedTo.empty())
        (item.direction == QueueDirection::Download ? item.localPath : item.remotePath) = outcome.renamedTo;
    item.state = QueueItemState::Waiting;
    switch (outcome.status) {
    case JobStatus::Done:
        m_movedSinceSample += std::max<std::int64_t>(0, outcome.bytes - item.transferred);
        item.state = QueueItemState::Done;
        item.transferred = outcome.bytes;
        item.reason.clear();
        if (item.kind == QueueItemKind::Folder)
            addChildren(item, outcome);
        break;
    case JobStatus::Skipped:
        item.state = QueueItemState::Skipped;
        item.reason = outcome.reason;
        break;
    case JobStatus::Stopped:
        requeue(item, true);
        break;
    case JobStatus::NeedsAnswer:
        // Asked before its answer held for every item: it goes again under that answer.
        if (item.rule.value_or(m_runRule) != ExistsRule::Ask) {
            requeue(item, true);
            break;
        }
        item.awaitingAnswer = true;
        // The question shows the existing target.
        if (outcome.target.exists)
            item.target = outcome.target;
        askNextQuestion();
        break;
    case JobStatus::Refused:
        refuseConnection(item, run, outcome);
        break;
    case JobStatus::Failed:
        applyFailure(item, outcome);
        if (report.loginFailed)
            failSite(item.site, outcome.reason);
        break;
    }
}

// The server takes one connection fewer: the run goes on with the workers it has, and the
// job goes back. Only when no worker of the site got in does it count as a failed attempt.
void TransferQueue::refuseConnection(QueueItem& item, SiteRun& run, JobOutcome& outcome)
{
    run.limit = std::max(1, std::min(run.limit, static_cast<int>(currentWorkers(run))) - 1);
    if (run.channel && run.channel->loggedIn.load() > 0) {
        requeue(item, true);
        return;
    }
    outcome.failure = FailureKind::Transient;
    applyFailure(item, outcome);
}

void TransferQueue::applyFailure(QueueItem& item, const JobOutcome& outcome)
{
    item.reason = outcome.reason;
    if (outcome.failure == FailureKind::Transient && item.retries < kMaxRetries) {
        ++item.retries;
        item.notBefore = Clock::now() + retryPause(item.retries, m_options.retryPause);
        scheduleRetry();
        return;
    }
    if (outcome.failure == FailureKind::DiskFull && item.direction == QueueDirection::Download) {
        // The first download to find the disk full fails; the others wait for space.
        m_downloadsHeld->store(true);
        if (std::exchange(m_diskFullFailed, true))
            return;
    }
    item.state = QueueItemState::Failed;
}

void TransferQueue::addChildren(const QueueItem& folder, const JobOutcome& outcome)
{
    std::map<std::string, FileFacts> targets;
    for (const FolderEntry& entry : outcome.existingTargets)
        targets[entry.name] = entry.facts;
    const bool upload = folder.direction == QueueDirection::Upload;
    std::vector<std::int64_t> folders;
    for (const FolderEntry& entry : outcome.entries) {
        QueueItem child;
        child.parent = folder.id;
        child.site = folder.site;
        child.direction = folder.direction;
        child.kind = entry.kind;
        child.source = entry.facts;
        child.remotePath = joinPath(folder.remotePath, entry.name);
        // An unsafe name never becomes part of a local path.
        child.localPath = entry.problem.empty() ? joinPath(folder.localPath, entry.name) : folder.localPath;
        if (!entry.problem.empty()) {
            child.state = entry.problemFails ? QueueItemState::Failed : QueueItemState::Skipped;
            child.reason = entry.problem;
        }
        // The folder was made or listed just now: what is not in it does not exist.
        if (upload)
            child.target = targets.count(entry.name) ? targets[entry.name] : FileFacts{};
        const std::int64_t id = addItem(std::move(child));
        if (entry.kind == QueueItemKind::Folder)
            folders.push_back(id);
        else
            requeue(m_items[id], false);
    }
    // Subfolders go first, so the walk of the whole tree is done early.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        requeue(m_items[*it], true);
}

void TransferQueue::retireWorker(SiteRun& run, int worker)
{
    std::erase_if(run.workers, [worker](const std::unique_ptr<QueueWorker>& entry) { return entry->id() == worker; });
}

void TransferQueue::scheduleRetry()
{
    std::optional<Clock::time_point> next;
    for (const auto& [id, item] : m_items) {
        if (item.state == QueueItemState::Waiting && !item.dispatched && item.notBefore > Clock::now())
            next = next ? std::min(*next, item.notBefore) : item.notBefore;
    }
    if (!next)
        return;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
    m_retryTimer->start(static_cast<int>(std::max<std::int64_t>(0, wait.count())));
}

void TransferQueue::releaseDueRetries()
{
    const auto now = Clock::now();
    for (auto& [id, item] : m_items) {
        if (item.state == QueueItemState::Waiting && !item.dispatched && item.notBefore != Clock::time_point{}
            && item.notBefore <= now) {
            item.notBefore = {};
            requeue(item, true);
        }
    }
    scheduleRetry();
    dispatch();
}

// --- the end of a run ---

void TransferQueue::checkRunEnd()
{
    if (!m_running)
        return;
    for (const auto& [id, run] : m_sites) {
        if (!run->inFlight.empty() || !run->waiting.empty())
            return;
    }
    // Nothing in hand: a run goes on only while a retry is due or a question awaits its answer.
    for (const auto& [id, item] : m_items) {
        if (item.state == QueueItemState::Waiting
            && !(m_downloadsHeld->load() && item.direction == QueueDirection::Download))
            return;
    }
    m_running = false;
    m_progressTimer->stop();
    for (auto& [id, run] : m_sites)
        endSiteWorkers(*run);
    notifyChanges();
    emit runningChanged(false);
    emit runFinished();
}

void TransferQueue::endSiteWorkers(SiteRun& run)
{
    // The workers log out and end; the next run makes new ones.
    if (run.channel)
        run.channel->close();
    run.channel.reset();
}

void TransferQueue::quitWorkers()
{
    m_running = false;
    for (auto& [id, run] : m_sites) {
        if (run->channel) {
            run->channel->stop();
            run->channel->close();
        }
        for (const auto& worker : run->workers)
            worker->quit();
    }
    // Joining: a quitting worker's sockets are shut down, so none blocks for long.
    for (auto& [id, run] : m_sites)
        run->workers.clear();
    for (WorkerReport& report : m_inbox->take())
        handleReport(report);
    for (auto& [id, item] : m_items) {
        if (item.state == QueueItemState::Running) {
            item.state = QueueItemState::Waiting;
            stored(item);
        }
    }
}

// --- progress ---

void TransferQueue::sampleProgress()
{
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - m_lastSample).count();
    m_lastSample = now;
    std::int64_t moved = std::exchange(m_movedSinceSample, 0);
    for (const auto& [id, run] : m_sites) {
        for (const auto& worker : run->workers) {
            const auto it = m_items.find(worker->progress().item.load());
            if (it == m_items.end() || !it->second.dispatched)
                continue;
            QueueItem& item = it->second;
            if (item.state != QueueItemState::Running) {
                item.runningSince = now - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
                item.bytesAtStart = item.transferred;
            }
            item.state = QueueItemState::Running;
            const std::int64_t bytes = worker->progress().bytes.load(std::memory_order_relaxed);
            const std::int64_t delta = std::max<std::int64_t>(0, bytes - item.transferred);
            moved += delta;
            // Averaged over the file's whole run: a server that sends in bursts would make the
            // figure of each quarter second jump between nothing and twice the real speed.
            const double running = std::chrono::duration<double>(now - item.runningSince).count();
            item.bytesPerSecond = running > 0 ? std::max<std::int64_t>(0, bytes - item.bytesAtStart) / running : 0;
            item.transferred = bytes;
            changed(item);
        }
    }
    // Over the last ten seconds or so, for the same reason, and because a worker tells its
    // bytes in steps of its buffer.
    constexpr std::size_t kSpeedSamples = 40;
    m_speedSamples.emplace_back(seconds, moved);
    if (m_speedSamples.size() > kSpeedSamples)
        m_speedSamples.pop_front();
    double window = 0;
    std::int64_t bytes = 0;
    for (const auto& [sampleSeconds, sampleBytes] : m_speedSamples) {
        window += sampleSeconds;
        bytes += sampleBytes;
    }
    m_speed = window > 0 ? bytes / window : 0;
}
