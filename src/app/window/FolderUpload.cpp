// A folder of an upload list, moved by a transfer queue of its own that lives for this one
// upload and stores nothing.
#include "app/window/FolderUpload.h"

#include "queue/TransferQueue.h"

#include <QEventLoop>
#include <QTimer>

namespace {

// How often the wait looks at whether it was asked to stop.
constexpr int kStopCheckInterval = 100;

FolderUploadOutcome outcomeOf(const TransferQueue& queue, bool stopped)
{
    FolderUploadOutcome outcome;
    for (std::int64_t id : queue.itemIds()) {
        const QueueItem& item = *queue.item(id);
        if (item.kind == QueueItemKind::File && item.state == QueueItemState::Done)
            ++outcome.files;
        if (outcome.failure.empty() && item.state == QueueItemState::Failed)
            outcome.failure = item.remotePath + ": " + item.reason;
    }
    if (outcome.failure.empty() && stopped)
        outcome.failure = "Transfer aborted";
    outcome.succeeded = outcome.failure.empty();
    return outcome;
}

} // namespace

FolderUploadOutcome uploadFolder(const SiteLogin& login, const std::string& localFolder,
                                 const std::string& remoteFolder, const std::function<bool()>& stopRequested)
{
    TransferQueue queue(TransferQueue::Options{});
    // A line of an upload list replaces what the server holds under its name, as a file's does.
    queue.setExistsRule(ExistsRule::Overwrite);
    queue.addUpload(login, localFolder, remoteFolder);
    QEventLoop wait;
    QObject::connect(&queue, &TransferQueue::runFinished, &wait, &QEventLoop::quit);
    bool stopped = false;
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, &wait, [&] {
        if (!stopRequested())
            return;
        stopped = true;
        queue.stop();
        wait.quit();
    });
    stopCheck.start(kStopCheckInterval);
    queue.start();
    if (queue.isRunning())
        wait.exec();
    return outcomeOf(queue, stopped);
}
