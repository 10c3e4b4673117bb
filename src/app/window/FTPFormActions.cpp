// The main window's action list: every command with its category, caption, hint, picture and
// start state, and the rules that switch the commands on and off.
#include "app/window/FTPUnit.h"

#include "app/panes/PaneView.h"
#include "app/window/ActionImages.h"
#include "model/PaneRow.h"
#include "model/SelectionClass.h"
#include "platform/ErrorReport.h"

#include <QAction>
#include <QComboBox>

namespace {

constexpr const char* kCategory = "category";

void setAll(const std::vector<QAction*>& actions, bool on)
{
    for (QAction* action : actions)
        action->setEnabled(on);
}

} // namespace

void TFTPForm::createActions()
{
    struct ActionInfo {
        QAction* TFTPForm::*member;
        const char* name;
        const char* category;
        const char* caption;  // nullptr: none
        const char* hint;     // nullptr: none
        int image;
        bool enabled;
    };

    // The order is the order of the action list.
    static const ActionInfo kActions[] = {
        {&TFTPForm::acCreateSite, "acCreateSite", "File", "Create new site", "Create a new site", kCreateSiteImage, true},
        {&TFTPForm::acEditSite, "acEditSite", "File", "Edit current site", "Edit current site", kEditSiteImage, true},
        {&TFTPForm::acDeleteSite, "acDeleteSite", "File", "Delete site", "Delete current site", kDeleteSiteImage, true},
        {&TFTPForm::acExportSite, "acExportSite", "File", "Export current site", "Export current site to file", kNoImage, true},
        {&TFTPForm::acExportAllSites, "acExportAllSites", "File", "Export all site(s)", "Export all sites to a file", kNoImage, true},
        {&TFTPForm::acImportSite, "acImportSite", "File", "Import site(s)", nullptr, kNoImage, true},
        {&TFTPForm::acConnect, "acConnect", "Connect", "Connect to site", "Connect to site", kConnectImage, true},
        {&TFTPForm::acUpload, "acUpload", "Ops", "Upload file(s)", "Upload file(s)", kUploadImage, false},
        {&TFTPForm::acDownload, "acDownload", "Ops", "Download", "Download file(s)", kDownloadImage, false},
        {&TFTPForm::acDownloadSaveAs, "acDownloadSaveAs", "Ops", "Download and save as", "Download file and save as", kSaveAsImage, false},
        {&TFTPForm::acRemoteMakeDir, "acRemoteMakeDir", "Ops", nullptr, "Make new remote directory", kMakeDirectoryImage, false},
        {&TFTPForm::acRemoteDelete, "acRemoteDelete", "Ops", "Delete file/directory", "Delete selected file(s) or directory(ies)", kDeleteImage, false},
        {&TFTPForm::acRemoteUp, "acRemoteUp", "Ops", "Directory - up one level", "Remote Directory - up one level", kUpImage, false},
        {&TFTPForm::acRemoteRefresh, "acRemoteRefresh", "Ops", nullptr, "Refresh remote directory view", kRefreshImage, false},
        {&TFTPForm::acRemoteChgDir, "acRemoteChgDir", "Ops", "Change to selected directory", nullptr, kNoImage, false},
        {&TFTPForm::acRemoteRename, "acRemoteRename", "Ops", "Rename File", nullptr, kNoImage, false},
        {&TFTPForm::acLVRdblclick, "acLVRdblclick", "Ops", "acLVRdblclick", nullptr, kNoImage, false},
        {&TFTPForm::acLocalChgDir, "acLocalChgDir", "Local", "Change local directory", nullptr, kNoImage, true},
        {&TFTPForm::acLocalUp, "acLocalUp", "Local", "Directory - up one level", "Local Directory - up one level", kUpImage, true},
        {&TFTPForm::acLocalMakeDir, "acLocalMakeDir", "Local", "Create new local directory", "Make new local directory", kMakeDirectoryImage, true},
        {&TFTPForm::acLocalDelete, "acLocalDelete", "Local", "Delete selected file or directory", "Delete selected file(s) or directory(ies)", kDeleteImage, false},
        {&TFTPForm::acLocalRefresh, "acLocalRefresh", "Local", "Refresh view - local", "Refresh view of local directory", kRefreshImage, true},
        {&TFTPForm::acLocalRename, "acLocalRename", "Local", "Rename File", nullptr, kNoImage, true},
        {&TFTPForm::acLocalBrowse, "acLocalBrowse", "Local", "Browse for folder", "Browse for new local directory", kBrowseImage, true},
        {&TFTPForm::acReset, "acReset", "Local", "Reset all", "Reset all (disconnect if necessary)", kResetImage, true},
        {&TFTPForm::acAbortTransfer, "acAbortTransfer", "Abort", "Abort transfer", "Abort current transfer", kAbortImage, false},
        {&TFTPForm::acQuit, "acQuit", "Abort", "Quit / Close", nullptr, kNoImage, true},
        {&TFTPForm::acTraceToggle, "acTraceToggle", "Control", "Connection trace", "Trace the FTP activity if on.", kNoImage, true},
        {&TFTPForm::acHelpContents, "acHelpContents", "Help", "&Contents", nullptr, kNoImage, true},
        {&TFTPForm::acHelpIndex, "acHelpIndex", "Help", "Help &Index", nullptr, kNoImage, true},
        {&TFTPForm::acHelpTopicSearch, "acHelpTopicSearch", "Help", "&Topic Search", nullptr, kTopicSearchImage, true},
        {&TFTPForm::acHelpOnHelp, "acHelpOnHelp", "Help", "&Help on Help", nullptr, kHelpOnHelpImage, true},
        {&TFTPForm::acLocalQueue, "acLocalQueue", "Queue", "Add to queue", "Upload the selected files and folders through the queue", kNoImage, false},
        {&TFTPForm::acRemoteQueue, "acRemoteQueue", "Queue", "Add to queue", "Download the selected files and folders through the queue", kNoImage, false},
    };
    for (const ActionInfo& info : kActions) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(info.name));
        action->setProperty(kCategory, QString::fromLatin1(info.category));
        if (info.caption)
            action->setText(QString::fromLatin1(info.caption));
        if (info.hint)
            action->setToolTip(QString::fromLatin1(info.hint));
        action->setIcon(actionImage(info.image, style()));
        action->setEnabled(info.enabled);
        this->*info.member = action;
        ActionList1.push_back(action);
    }
    acQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void TFTPForm::connectActions()
{
    connect(acQuit, &QAction::triggered, this, reportingErrors([this] { acQuitExecute(); }));
    connect(acReset, &QAction::triggered, this, reportingErrors([this] { acResetExecute(); }));
    connect(acCreateSite, &QAction::triggered, this, reportingErrors([this] { acCreateSiteExecute(); }));
    connect(acEditSite, &QAction::triggered, this, reportingErrors([this] { acEditSiteExecute(); }));
    connect(acDeleteSite, &QAction::triggered, this, reportingErrors([this] { acDeleteSiteExecute(); }));
    connect(acExportAllSites, &QAction::triggered, this, reportingErrors([this] { acExportAllSitesExecute(); }));
    connect(acExportSite, &QAction::triggered, this, reportingErrors([this] { acExportSiteExecute(); }));
    connect(acImportSite, &QAction::triggered, this, reportingErrors([this] { acImportSiteExecute(); }));
    connect(tbSite, &QComboBox::activated, this, reportingErrors([this](int index) { tbSiteChange(index); }));
    connect(LVL, &PaneView::paneClicked, this, reportingErrors([this] { LVLClick(); }));
    connect(LVR, &PaneView::paneClicked, this, reportingErrors([this] { LVRClick(); }));
    connectHelp();
    connectPaneKeys();
}

// Backspace, Delete and F5 in a pane run that pane's command, as its button does, and only
// when the button could be pressed. Enter is the pane's double click.
void TFTPForm::connectPaneKeys()
{
    auto runner = [this](QAction* up, QAction* remove, QAction* refresh) {
        return reportingErrors([up, remove, refresh](PaneView::PaneKey key) {
            QAction* command = key == PaneView::PaneKey::Up       ? up
                               : key == PaneView::PaneKey::Delete ? remove
                                                                  : refresh;
            if (command->isEnabled())
                command->trigger();
        });
    };
    connect(LVL, &PaneView::paneKeyCommand, this, runner(acLocalUp, acLocalDelete, acLocalRefresh));
    connect(LVR, &PaneView::paneKeyCommand, this, runner(acRemoteUp, acRemoteDelete, acRemoteRefresh));
}

std::vector<QAction*> TFTPForm::actionsOfCategory(const QString& category) const
{
    std::vector<QAction*> result;
    for (QAction* action : ActionList1)
        if (action->property(kCategory).toString() == category)
            result.push_back(action);
    return result;
}

void TFTPForm::SetOpsEnabled(bool on)
{
    setAll(actionsOfCategory(QStringLiteral("Ops")), on);
    acLocalQueue->setEnabled(on && LVL->selectedCount() > 0);
    acRemoteQueue->setEnabled(on && LVR->selectedCount() > 0);
    if (on) {
        if (LVR->selectedCount() == 0)
            setAll({acDownload, acDownloadSaveAs, acRemoteDelete, acRemoteRename}, false);
        if (LVL->selectedCount() == 0)
            acUpload->setEnabled(false);
    }
    OpsEnabled = on;
}

void TFTPForm::SetFileEnabled(bool on)
{
    setAll(actionsOfCategory(QStringLiteral("File")), on);
    tbSite->setEnabled(on);
}

unsigned TFTPForm::ClassifySelection(const PaneView* pane) const
{
    std::vector<bool> isFile;
    for (const int index : pane->selectedRowIndexes())
        isFile.push_back(!pane->row(index).isDirectory());
    return selectionClassOf(isFile);
}

// Every click and pane menu decides its commands from one table (see selectionCommands).
void TFTPForm::followSelection(SelectionView view)
{
    const bool remote = view == SelectionView::RemoteClick || view == SelectionView::RemoteMenu;
    const SelectionCommands commands = commandsForSelection(view, ClassifySelection(remote ? LVR : LVL));
    for (const auto& [command, action] : paneCommandActions()) {
        if (commands.off & command)
            action->setEnabled(false);
        if (commands.on & command)
            action->setEnabled((kSessionCommands & command) == 0 || OpsEnabled);
    }
}

void TFTPForm::showSelectionCaptions(bool remote)
{
    QAction* transfer = remote ? acDownload : acUpload;
    QAction* remove = remote ? acRemoteDelete : acLocalDelete;
    remove->setText(QStringLiteral("Delete directory"));
    const SelectionCaptions captions = captionsForSelection(remote, ClassifySelection(remote ? LVR : LVL));
    if (captions.transfer)
        transfer->setText(QString::fromLatin1(captions.transfer));
    remove->setText(QString::fromLatin1(captions.remove));
}

std::vector<std::pair<unsigned, QAction*>> TFTPForm::paneCommandActions() const
{
    return {{pcUpload, acUpload},
            {pcDownload, acDownload},
            {pcDownloadSaveAs, acDownloadSaveAs},
            {pcLocalChgDir, acLocalChgDir},
            {pcLocalDelete, acLocalDelete},
            {pcLocalRename, acLocalRename},
            {pcRemoteChgDir, acRemoteChgDir},
            {pcRemoteDelete, acRemoteDelete},
            {pcRemoteRename, acRemoteRename},
            {pcLocalQueue, acLocalQueue},
            {pcRemoteQueue, acRemoteQueue}};
}

void TFTPForm::LVLClick()
{
    if (LVR->selectedCount() > 0)
        LVR->clearSelection();
    followSelection(SelectionView::LocalClick);
}

void TFTPForm::LVRClick()
{
    if (LVL->selectedCount() > 0)
        LVL->clearSelection();
    if (OpsEnabled)
        followSelection(SelectionView::RemoteClick);
}

void TFTPForm::PopupMenuLocalPopup()
{
    followSelection(SelectionView::LocalMenu);
    showSelectionCaptions(false);
}

void TFTPForm::PopupMenuRemotePopup()
{
    if (!OpsEnabled)
        return;
    followSelection(SelectionView::RemoteMenu);
    showSelectionCaptions(true);
}
