// The window's side of the transfer queue: the queue itself with its pane beside the trace,
// "Add to queue" in both panes' menus, and drops from pane to pane and from the desktop.
#include "app/window/FTPUnit.h"

#include "app/panes/PaneView.h"
#include "app/window/QueuePane.h"
#include "app/window/QueueSites.h"
#include "app/window/UseHTMLHelp.h"
#include "model/PathText.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "queue/TransferQueue.h"

#include <QAction>
#include <QFile>
#include <QMimeData>
#include <QTabWidget>
#include <QUrl>

#include <functional>

namespace {

// Local files and folders a file manager's drag names (a folder's without a trailing '/', so
// that its name is the last part of its path).
std::vector<std::string> droppedLocalPaths(const QMimeData& data)
{
    std::vector<std::string> paths;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        std::string path = QFile::encodeName(url.toLocalFile()).toStdString();
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        paths.push_back(path);
    }
    return paths;
}

std::vector<std::string> localPathsOf(const std::string& directory, const std::vector<PaneRow>& rows)
{
    std::vector<std::string> paths;
    for (const PaneRow& row : rows)
        paths.push_back(withDelimiter(directory) + row.name);
    return paths;
}

// The rows a drag carries, as their pane lists them now.
std::vector<PaneRow> rowsNamed(const PaneView& pane, const std::vector<std::string>& names)
{
    std::vector<PaneRow> rows;
    for (const std::string& name : names)
        if (const int index = pane.findRow(name); index >= 0)
            rows.push_back(pane.row(index));
    return rows;
}

void relistKeepingSelection(PaneView& pane, const std::function<void()>& relist)
{
    std::vector<std::string> selected;
    for (const PaneRow& row : pane.selectedRows())
        selected.push_back(row.name);
    relist();
    for (const std::string& name : selected)
        if (const int index = pane.findRow(name); index >= 0)
            pane.selectRow(index);
}

} // namespace

// The queue lives as long as the window; its items come back from the last run, waiting for
// Start. A headless run has none: it neither reads nor writes the stored queue.
void TFTPForm::createQueue()
{
    if (m_startMode == StartMode::Headless)
        return;
    TransferQueue::Options options;
    options.storePath = queueStorePath();
    m_queue = std::make_unique<TransferQueue>(options);
    m_queue->setPasswordLookup(storedSitePasswords());
    m_queuePane = new QueuePane(*m_queue, LogTabs);
    LogTabs->addTab(m_queuePane, QStringLiteral("Queue"));
    m_queuePane->setProperty(kHelpContextProperty, 180);
    connect(acLocalQueue, &QAction::triggered, this, reportingErrors([this] { acLocalQueueExecute(); }));
    connect(acRemoteQueue, &QAction::triggered, this, reportingErrors([this] { acRemoteQueueExecute(); }));
    // Queued: the listing pumps events, which must not run inside the queue's own signal.
    connect(m_queue.get(), &TransferQueue::runFinished, this,
            reportingErrors([this] { showQueueResults(); }), Qt::QueuedConnection);
    LVL->setDropHandler([this](const QMimeData& data, bool perform) { return dropOnLocalPane(data, perform); });
    LVR->setDropHandler([this](const QMimeData& data, bool perform) { return dropOnRemotePane(data, perform); });
}

// Before the window's other parts go: the workers stop within a second and what is left is
// stored for the next start.
void TFTPForm::endQueue()
{
    delete m_queuePane;
    m_queuePane = nullptr;
    m_queue.reset();
}

// The panes show what the queue brought, unless the window's session is busy; the rows the
// user had selected stay selected.
void TFTPForm::showQueueResults()
{
    if (m_operation.running())
        return;
    relistKeepingSelection(*LVL, [this] { ListLocalDirectory(); });
    if (OpsEnabled && sessionConnected())
        relistKeepingSelection(*LVR, [this] { ListRemoteDirectory(); });
    // The commands follow the selection again, as after a click.
    if (LVL->selectedCount() > 0)
        followSelection(SelectionView::LocalClick);
    else if (LVR->selectedCount() > 0 && OpsEnabled)
        followSelection(SelectionView::RemoteClick);
}

// The connected site's login; nothing (after telling why) when its password cannot be read.
std::optional<SiteLogin> TFTPForm::queueLogin()
{
    if (!m_queue || !sessionConnected() || !isSiteIndex(CurrentSite))
        return std::nullopt;
    const TSiteRecord site = SiteList[static_cast<std::size_t>(CurrentSite)];
    QString failure;
    std::optional<SiteLogin> login;
    {
        // The keyring is awaited with events handled: no second command meanwhile.
        RunningOperation::Scope operation(m_operation);
        login = queueLoginOf(site, failure);
    }
    if (!login)
        dialogs().messageBox(failure, MsgIcon::Error, {MsgButton::Ok});
    return login;
}

// Items the user adds start moving at once, and the queue's tab comes to the front.
void TFTPForm::startQueue()
{
    m_queue->start();
    LogTabs->setCurrentWidget(m_queuePane);
}

void TFTPForm::queueUploads(const std::vector<std::string>& localPaths)
{
    const std::optional<SiteLogin> login = localPaths.empty() ? std::nullopt : queueLogin();
    if (!login)
        return;
    const std::string directory = remoteDirectory();
    for (const std::string& path : localPaths)
        m_queue->addUpload(*login, path, joinPath(directory, lastPathComponent(path)));
    startQueue();
}

void TFTPForm::queueDownloads(const std::vector<PaneRow>& rows)
{
    const std::optional<SiteLogin> login = rows.empty() ? std::nullopt : queueLogin();
    if (!login)
        return;
    const std::string remote = remoteDirectory();
    const std::string local = withDelimiter(localDirectory());
    for (const PaneRow& row : rows) {
        const bool folder = row.isDirectory();
        FileFacts facts;
        facts.exists = true;
        facts.size = folder ? -1 : row.size;
        m_queue->addDownload(*login, joinPath(remote, row.name), local + row.name,
                             folder ? QueueItemKind::Folder : QueueItemKind::File, facts);
    }
    startQueue();
}

void TFTPForm::acLocalQueueExecute()
{
    queueUploads(localPathsOf(localDirectory(), LVL->selectedRows()));
}

void TFTPForm::acRemoteQueueExecute()
{
    queueDownloads(LVR->selectedRows());
}

bool TFTPForm::dropOnLocalPane(const QMimeData& data, bool perform)
{
    const std::optional<PaneView::DraggedRows> dragged = PaneView::draggedRows(data);
    if (!dragged || dragged->tag != LVR->tag() || !OpsEnabled)
        return false;
    if (perform)
        queueDownloads(rowsNamed(*LVR, dragged->names));
    return true;
}

bool TFTPForm::dropOnRemotePane(const QMimeData& data, bool perform)
{
    if (!OpsEnabled)
        return false;
    std::vector<std::string> paths;
    if (const auto dragged = PaneView::draggedRows(data)) {
        if (dragged->tag != LVL->tag())
            return false;
        paths = localPathsOf(localDirectory(), rowsNamed(*LVL, dragged->names));
    } else {
        paths = droppedLocalPaths(data);
    }
    if (paths.empty())
        return false;
    if (perform)
        queueUploads(paths);
    return true;
}
