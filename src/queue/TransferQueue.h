// The transfer queue's controller. It lives on the window's thread (or a headless run's) and
// owns the items, the workers of each site and the stored queue; workers report back through
// an inbox that this thread's event loop watches, so every item changes on this thread only.
#pragma once

#include "queue/QueueItem.h"

#include <QList>
#include <QObject>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QSocketNotifier;
class QTimer;
class QueueStoreThread;
class QueueWorker;
class JobChannel;
class ReportInbox;
struct WorkerReport;

class TransferQueue : public QObject {
    Q_OBJECT

public:
    struct Options {
        // The stored queue; empty keeps it in memory only.
        QString storePath;
        // The pause before the first retry; each further one waits twice as long.
        std::chrono::milliseconds retryPause{2000};
    };
    // Restores the stored queue; it waits until start().
    explicit TransferQueue(const Options& options, QObject* parent = nullptr);
    // Quits: every worker stops within a second (a partial download keeps its partial name),
    // and what is left is stored.
    ~TransferQueue() override;

    // A file or a whole folder (as the local side shows it) to upload to the remote path.
    std::int64_t addUpload(const SiteLogin& site, const std::string& localPath, const std::string& remotePath);
    // A remote file or folder to download to the local path; the source's size and time as
    // the remote pane listed them, where known.
    std::int64_t addDownload(const SiteLogin& site, const std::string& remotePath, const std::string& localPath,
                             QueueItemKind kind, const FileFacts& source = FileFacts{});

    void start();
    // Running transfers stop (partial files are kept and continued later); the items wait.
    void stop();
    bool isRunning() const { return m_running; }
    void remove(const QList<std::int64_t>& ids);
    void retryFailed();
    void clearFinished();

    // The rule for existing targets, chosen before a run. With Ask, the first conflict raises
    // existsQuestion; the answer with applyToAll holds for the rest of the run.
    ExistsRule existsRule() const { return m_existsRule; }
    void setExistsRule(ExistsRule rule) { m_existsRule = rule; }
    void answerExistsQuestion(ExistsRule rule, bool applyToAll);

    // Asked at start() for the password of a site restored from the store; none fails the
    // site's items with a reason.
    using PasswordLookup = std::function<std::optional<std::string>(const SiteLogin& site)>;
    void setPasswordLookup(PasswordLookup lookup) { m_passwordLookup = std::move(lookup); }

    // Items in queue order (ids grow with every item added).
    std::vector<std::int64_t> itemIds() const;
    const QueueItem* item(std::int64_t id) const;
    const SiteLogin* site(std::int64_t id) const;
    QueueTotals totals() const;

signals:
    void itemsAdded(const QList<std::int64_t>& ids);
    void itemsChanged(const QList<std::int64_t>& ids);
    void itemsRemoved(const QList<std::int64_t>& ids);
    void totalsChanged();
    void runningChanged(bool running);
    // A run ended: nothing more can move until the user acts (items may have failed, or be
    // downloads stopped by a full disk).
    void runFinished();
    // An existing target needs the user's choice; answer with answerExistsQuestion(). The run
    // waits for the answer (a headless run chooses a rule other than Ask).
    void existsQuestion(std::int64_t item);

private:
    struct SiteRun;

    std::int64_t addItem(QueueItem item);
    std::int64_t addFromUser(QueueItem item, const SiteLogin& site);
    std::int64_t siteId(const SiteLogin& login);
    void restore();
    void handleReports();
    void handleReport(WorkerReport& report);
    void applyOutcome(QueueItem& item, SiteRun& run, WorkerReport& report);
    void applyFailure(QueueItem& item, const JobOutcome& outcome);
    void refuseConnection(QueueItem& item, SiteRun& run, JobOutcome& outcome);
    void addChildren(const QueueItem& folder, const JobOutcome& outcome);
    void failSite(std::int64_t site, const std::string& reason);
    void requeue(QueueItem& item, bool front);
    void dispatch();
    void dispatchSite(std::int64_t id, SiteRun& run);
    bool dispatchable(const QueueItem& item) const;
    void spawnWorkers(std::int64_t id, SiteRun& run);
    static std::size_t currentWorkers(const SiteRun& run);
    void retireWorker(SiteRun& run, int worker);
    bool lookUpPassword(std::int64_t id, SiteRun& run);
    void scheduleRetry();
    void releaseDueRetries();
    void checkRunEnd();
    void endSiteWorkers(SiteRun& run);
    void askNextQuestion();
    void sampleProgress();
    void changed(const QueueItem& item);
    void stored(const QueueItem& item);
    void forget(const QueueItem& item);
    void notifyChanges();
    void flushStore(bool everything);
    void quitWorkers();

    Options m_options;
    std::unique_ptr<QueueStoreThread> m_store;
    std::unique_ptr<ReportInbox> m_inbox;
    QSocketNotifier* m_inboxNotifier = nullptr;
    QTimer* m_progressTimer = nullptr;
    QTimer* m_retryTimer = nullptr;
    QTimer* m_notifyTimer = nullptr;
    QTimer* m_storeTimer = nullptr;

    std::map<std::int64_t, QueueItem> m_items;
    std::map<std::int64_t, std::unique_ptr<SiteRun>> m_sites;
    // The site each worker works for.
    std::map<int, std::int64_t> m_workerSites;
    std::int64_t m_nextItem = 1;
    std::int64_t m_nextSite = 1;
    int m_nextWorker = 1;
    bool m_running = false;
    // A full disk stopped the downloads until the next start. Workers read it too: one that
    // finds the disk full sets it at once, so no worker starts another download meanwhile.
    std::shared_ptr<std::atomic<bool>> m_downloadsHeld = std::make_shared<std::atomic<bool>>(false);
    // A download failed on the full disk in this run (later ones just wait).
    bool m_diskFullFailed = false;
    ExistsRule m_existsRule = ExistsRule::Ask;
    ExistsRule m_runRule = ExistsRule::Ask;
    std::optional<std::int64_t> m_question;
    PasswordLookup m_passwordLookup;

    std::set<std::int64_t> m_added;
    std::set<std::int64_t> m_changed;
    std::set<std::int64_t> m_toStore;
    std::set<std::int64_t> m_filesToForget;
    std::set<std::int64_t> m_foldersToForget;
    std::set<std::int64_t> m_sitesToStore;
    double m_speed = 0;
    // Bytes of the files finished since the last progress sample.
    std::int64_t m_movedSinceSample = 0;
    // The last samples: seconds and bytes moved.
    std::deque<std::pair<double, std::int64_t>> m_speedSamples;
    std::chrono::steady_clock::time_point m_lastSample{};
};
