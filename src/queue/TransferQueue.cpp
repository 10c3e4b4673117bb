// The controller's items: adding, removing, retrying, the question, the totals, the change
// signals (gathered, so thousands of changes cost the window a few calls) and the store.
#include "queue/TransferQueue.h"

#include "queue/QueueLocalFiles.h"
#include "queue/QueueRules.h"
#include "queue/QueueStoreThread.h"
#include "queue/TransferQueueSiteRun.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <filesystem>

namespace {

// Changes reach the window at most this often.
constexpr int kNotifyInterval = 100;
// What changed is handed to the store's thread this often, a slice at a time (sooner while
// more waits), so copying it never holds the thread up; an item that finishes before its
// turn is never written at all.
constexpr int kStoreInterval = 250;
constexpr int kStoreBacklogInterval = 50;
constexpr std::size_t kStoreSlice = 500;
constexpr int kProgressInterval = 250;

bool isFinished(QueueItemState state)
{
    return state == QueueItemState::Done || state == QueueItemState::Skipped;
}

} // namespace

TransferQueue::TransferQueue(const Options& options, QObject* parent)
    : QObject(parent), m_options(options), m_inbox(std::make_unique<ReportInbox>())
{
    m_inboxNotifier = new QSocketNotifier(m_inbox->descriptor(), QSocketNotifier::Read, this);
    connect(m_inboxNotifier, &QSocketNotifier::activated, this, &TransferQueue::handleReports);
    const auto makeTimer = [this](int interval, bool singleShot, std::function<void()> slot) {
        auto* timer = new QTimer(this);
        timer->setInterval(interval);
        timer->setSingleShot(singleShot);
        connect(timer, &QTimer::timeout, this, std::move(slot));
        return timer;
    };
    m_progressTimer = makeTimer(kProgressInterval, false, [this] { sampleProgress(); });
    m_retryTimer = makeTimer(0, true, [this] { releaseDueRetries(); });
    m_notifyTimer = makeTimer(kNotifyInterval, true, [this] { notifyChanges(); });
    m_storeTimer = makeTimer(kStoreInterval, true, [this] { flushStore(false); });
    if (!m_options.storePath.isEmpty()) {
        m_store = std::make_unique<QueueStoreThread>(m_options.storePath.toStdString());
        restore();
    }
}

TransferQueue::~TransferQueue()
{
    quitWorkers();
    delete m_inboxNotifier;
    flushStore(true);
}

void TransferQueue::restore()
{
    QueueStore::Contents contents = m_store->takeContents();
    for (auto& [id, login] : contents.sites) {
        auto run = std::make_unique<SiteRun>();
        run->login = std::move(login);
        run->passwordKnown = false;
        m_sites[id] = std::move(run);
        m_nextSite = std::max(m_nextSite, id + 1);
    }
    for (QueueItem& item : contents.items) {
        if (!m_sites.count(item.site))
            continue;
        m_nextItem = std::max(m_nextItem, item.id + 1);
        item.inStore = true;
        m_items[item.id] = std::move(item);
    }
}

std::int64_t TransferQueue::siteId(const SiteLogin& login)
{
    for (auto& [id, run] : m_sites) {
        if (sameSite(run->login, login)) {
            run->login = login;
            run->passwordKnown = true;
            m_sitesToStore.insert(id);
            return id;
        }
    }
    const std::int64_t id = m_nextSite++;
    auto run = std::make_unique<SiteRun>();
    run->login = login;
    run->limit = std::clamp(login.connections, 1, SiteLogin::kMaxConnections);
    m_sites[id] = std::move(run);
    m_sitesToStore.insert(id);
    return id;
}

std::int64_t TransferQueue::addItem(QueueItem item)
{
    item.id = m_nextItem++;
    const std::int64_t id = item.id;
    const QueueItem& added = m_items[id] = std::move(item);
    m_added.insert(id);
    changed(added);
    stored(added);
    return id;
}

std::int64_t TransferQueue::addUpload(const SiteLogin& site, const std::string& localPath,
                                      const std::string& remotePath)
{
    QueueItem item;
    item.direction = QueueDirection::Upload;
    std::error_code error;
    item.kind = std::filesystem::is_directory(localPath, error) ? QueueItemKind::Folder : QueueItemKind::File;
    item.localPath = localPath;
    item.remotePath = remotePath;
    if (item.kind == QueueItemKind::File)
        item.source = localFileFacts(localPath);
    return addFromUser(std::move(item), site);
}

std::int64_t TransferQueue::addDownload(const SiteLogin& site, const std::string& remotePath,
                                        const std::string& localPath, QueueItemKind kind, const FileFacts& source)
{
    QueueItem item;
    item.direction = QueueDirection::Download;
    item.kind = kind;
    item.localPath = localPath;
    item.remotePath = remotePath;
    item.source = source;
    return addFromUser(std::move(item), site);
}

std::int64_t TransferQueue::addFromUser(QueueItem item, const SiteLogin& site)
{
    item.site = siteId(site);
    const std::int64_t id = addItem(std::move(item));
    requeue(m_items[id], false);
    dispatch();
    return id;
}

void TransferQueue::requeue(QueueItem& item, bool front)
{
    std::deque<std::int64_t>& waiting = m_sites.at(item.site)->waiting;
    if (front)
        waiting.push_front(item.id);
    else
        waiting.push_back(item.id);
}

void TransferQueue::remove(const QList<std::int64_t>& ids)
{
    const std::set<std::int64_t> gone(ids.begin(), ids.end());
    QList<std::int64_t> removed;
    for (std::int64_t id : gone) {
        auto it = m_items.find(id);
        if (it == m_items.end())
            continue;
        SiteRun& run = *m_sites.at(it->second.site);
        // A job no worker took is gone at once; a running one reports itself stopped.
        if (it->second.dispatched && run.channel) {
            for (std::int64_t withdrawn : run.channel->withdraw({id}))
                run.inFlight.erase(withdrawn);
            for (const auto& worker : run.workers)
                worker->cancel(id);
        }
        forget(it->second);
        m_items.erase(it);
        removed.append(id);
        if (m_question == id)
            m_question.reset();
    }
    if (removed.isEmpty())
        return;
    emit itemsRemoved(removed);
    emit totalsChanged();
    askNextQuestion();
    checkRunEnd();
}

void TransferQueue::retryFailed()
{
    for (auto& [id, item] : m_items) {
        if (item.state != QueueItemState::Failed)
            continue;
        item.state = QueueItemState::Waiting;
        item.retries = 0;
        item.reason.clear();
        requeue(item, false);
        changed(item);
        stored(item);
    }
    dispatch();
}

void TransferQueue::clearFinished()
{
    QList<std::int64_t> finished;
    for (const auto& [id, item] : m_items) {
        if (isFinished(item.state) && !item.dispatched)
            finished.append(id);
    }
    remove(finished);
}

void TransferQueue::answerExistsQuestion(ExistsRule rule, bool applyToAll)
{
    if (!m_question)
        return;
    if (applyToAll)
        m_runRule = rule;
    for (auto& [id, item] : m_items) {
        if (!item.awaitingAnswer || (!applyToAll && id != *m_question))
            continue;
        if (!applyToAll)
            item.rule = rule;
        item.awaitingAnswer = false;
        requeue(item, true);
    }
    m_question.reset();
    askNextQuestion();
    dispatch();
}

void TransferQueue::askNextQuestion()
{
    if (m_question)
        return;
    for (const auto& [id, item] : m_items) {
        if (!item.awaitingAnswer)
            continue;
        m_question = id;
        // Raised from the event loop, never from inside a report: the window may open a box
        // (and its event loop) right there.
        QMetaObject::invokeMethod(
            this, [this, id = id] {
                if (m_question == id)
                    emit existsQuestion(id);
            },
            Qt::QueuedConnection);
        return;
    }
}

std::vector<std::int64_t> TransferQueue::itemIds() const
{
    std::vector<std::int64_t> ids;
    ids.reserve(m_items.size());
    for (const auto& entry : m_items)
        ids.push_back(entry.first);
    return ids;
}

const QueueItem* TransferQueue::item(std::int64_t id) const
{
    const auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : &it->second;
}

const SiteLogin* TransferQueue::site(std::int64_t id) const
{
    const auto it = m_sites.find(id);
    return it == m_sites.end() ? nullptr : &it->second->login;
}

QueueTotals TransferQueue::totals() const
{
    QueueTotals totals;
    totals.bytesPerSecond = m_speed;
    for (const auto& [id, item] : m_items) {
        switch (item.state) {
        case QueueItemState::Done: ++totals.done; break;
        case QueueItemState::Failed: ++totals.failed; break;
        case QueueItemState::Skipped: ++totals.skipped; break;
        case QueueItemState::Waiting:
        case QueueItemState::Running:
            if (item.kind == QueueItemKind::File) {
                ++totals.filesLeft;
                totals.bytesLeft += std::max<std::int64_t>(0, item.source.size - item.transferred);
            }
            break;
        }
    }
    return totals;
}

void TransferQueue::changed(const QueueItem& item)
{
    m_changed.insert(item.id);
    if (!m_notifyTimer->isActive())
        m_notifyTimer->start();
}

void TransferQueue::stored(const QueueItem& item)
{
    // What is finished leaves the store; everything else is kept up to date there.
    if (isFinished(item.state)) {
        forget(item);
        return;
    }
    m_toStore.insert(item.id);
    if (!m_storeTimer->isActive())
        m_storeTimer->start(kStoreInterval);
}

void TransferQueue::forget(const QueueItem& item)
{
    m_toStore.erase(item.id);
    if (!item.inStore)
        return;
    (item.kind == QueueItemKind::Folder ? m_foldersToForget : m_filesToForget).insert(item.id);
    if (!m_storeTimer->isActive())
        m_storeTimer->start(kStoreInterval);
}

void TransferQueue::notifyChanges()
{
    if (!m_added.empty()) {
        for (std::int64_t id : m_added)
            m_changed.erase(id);
        const QList<std::int64_t> added(m_added.begin(), m_added.end());
        m_added.clear();
        emit itemsAdded(added);
    }
    if (!m_changed.empty()) {
        const QList<std::int64_t> changedIds(m_changed.begin(), m_changed.end());
        m_changed.clear();
        emit itemsChanged(changedIds);
    }
    emit totalsChanged();
}

void TransferQueue::flushStore(bool everything)
{
    StoreBatch batch;
    for (std::int64_t id : m_sitesToStore)
        batch.sites[id] = m_sites.at(id)->login;
    auto it = m_toStore.begin();
    for (; it != m_toStore.end() && (everything || batch.items.size() < kStoreSlice); ++it) {
        if (auto entry = m_items.find(*it); entry != m_items.end()) {
            entry->second.inStore = true;
            batch.items.push_back(entry->second);
        }
    }
    m_toStore.erase(m_toStore.begin(), it);
    batch.removed.assign(m_filesToForget.begin(), m_filesToForget.end());
    m_filesToForget.clear();
    // A finished folder leaves the store only once the entries its walk found are in.
    if (m_toStore.empty()) {
        batch.removed.insert(batch.removed.end(), m_foldersToForget.begin(), m_foldersToForget.end());
        m_foldersToForget.clear();
    }
    m_sitesToStore.clear();
    if (m_store)
        m_store->write(std::move(batch));
    if (!m_toStore.empty())
        m_storeTimer->start(kStoreBacklogInterval);
    else if (!m_foldersToForget.empty())
        m_storeTimer->start(kStoreInterval);
}
