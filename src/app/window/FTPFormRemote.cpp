// The remote pane: listing the server's current directory into LVR, and the remote commands
// (change directory, up, double click, make directory, delete, rename by command and in place).
#include "app/window/FTPUnit.h"

#include "app/panes/LocalFiles.h"
#include "app/panes/PaneQuestions.h"
#include "app/panes/PaneView.h"
#include "ftp/IdFTP.h"
#include "model/RemoteRows.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/NameText.h"

#include <QAction>
#include <QLineEdit>

namespace {

const QColor kTraceBlue(0, 0, 255);

} // namespace

void TFTPForm::connectRemotePane()
{
    connect(acRemoteRefresh, &QAction::triggered, this, reportingErrors([this] { acRemoteRefreshExecute(); }));
    connect(acRemoteChgDir, &QAction::triggered, this, reportingErrors([this] { acRemoteChgDirExecute(); }));
    connect(acRemoteUp, &QAction::triggered, this, reportingErrors([this] { acRemoteUpExecute(); }));
    connect(acLVRdblclick, &QAction::triggered, this, reportingErrors([this] { acLVRdblclickExecute(); }));
    connect(acRemoteMakeDir, &QAction::triggered, this, reportingErrors([this] { acRemoteMakeDirExecute(); }));
    connect(acRemoteDelete, &QAction::triggered, this, reportingErrors([this] { acRemoteDeleteExecute(); }));
    connect(acRemoteRename, &QAction::triggered, this, reportingErrors([this] { acRemoteRenameExecute(); }));
    connect(LVR, &PaneView::paneDoubleClicked, this, reportingErrors([this] { acLVRdblclickExecute(); }));
    connect(LVR, &PaneView::nameEdited, this, reportingErrors([this](int row, const QString& text) { LVREdited(row, text); }));
}

std::string TFTPForm::remoteDirectory() const
{
    return boxPath(RemDir);
}

bool TFTPForm::refusedWhileSessionBusy()
{
    if (!m_operation.running())
        return false;
    dialogs().beep();
    return true;
}

void TFTPForm::ListRemoteDirectory()
{
    SetOpsEnabled(false);
    RunningOperation::Scope operation(m_operation);
    LVR->clearRows();
    try {
        IdFTP1->SetTransferType(TIdFTPTransferType::ftASCII);
        setBoxPath(RemDir, IdFTP1->QueryCurrentDirectory());
        IdFTP1->ListDirectory();
        const TIdFTPListItems& listing = IdFTP1->ParsedListing();
        LVR->setRows(remoteRowsOf(listing, sizeGroupSeparator()));
        if (listing.SkippedLines() > 0)
            AddTraceLine(8, false, kTraceBlue,
                         QStringLiteral("Listing: %1 line(s) could not be read and were skipped")
                             .arg(listing.SkippedLines()));
        SetOpsEnabled(true);
        LVR->sortIfSorted();
    } catch (const EIdException& error) {
        ReportFailure(error, QStringLiteral("FR"));
    }
    setStatusPanel(3, QStringLiteral("Remote entries=") + QString::number(LVR->rowCount()));
}

void TFTPForm::ChangeRemoteDir(const std::string& directory)
{
    SetOpsEnabled(false);
    RunningOperation::Scope operation(m_operation);
    try {
        IdFTP1->ChangeDirectory(directory);
    } catch (const EIdException& error) {
        reportRefusedChangeOfDirectory(error);
        return;
    }
    ListRemoteDirectory();
}

void TFTPForm::reportRefusedChangeOfDirectory(const EIdException& error)
{
    ReportFailure(error, QStringLiteral("CD"));
    // The server stayed where it was: the pane still shows it, so the commands come back.
    if (sessionConnected())
        SetOpsEnabled(true);
}

// A link leads to a directory or to a file, and only the server knows which: a link it lets
// CWD into is entered. Answers false when the server refused, so the link is a file.
bool TFTPForm::enteredRemoteLink(const std::string& name)
{
    {
        RunningOperation::Scope operation(m_operation);
        try {
            IdFTP1->ChangeDirectory(name);
        } catch (const EIdProtocolReplyError&) {
            return false;
        } catch (const EIdException& error) {
            reportRefusedChangeOfDirectory(error);
            return true;
        }
    }
    ListRemoteDirectory();
    return true;
}

void TFTPForm::acRemoteRefreshExecute()
{
    ListRemoteDirectory();
}

void TFTPForm::acRemoteChgDirExecute()
{
    const int first = LVR->firstSelected();
    if (sessionConnected() && first >= 0)
        ChangeRemoteDir(LVR->row(first).name);
}

void TFTPForm::acRemoteUpExecute()
{
    if (sessionConnected())
        ChangeRemoteDir("..");
}

void TFTPForm::acLVRdblclickExecute()
{
    const int first = LVR->firstSelected();
    if (!sessionConnected() || first < 0)
        return;
    if (m_operation.running()) {
        dialogs().beep();
        return;
    }
    const PaneRow row = LVR->row(first);
    SetOpsEnabled(false);
    if (row.isDirectory()) {
        ChangeRemoteDir(row.name);
        return;
    }
    if (row.isLink() && enteredRemoteLink(row.name))
        return;
    const std::optional<std::string> localPath = m_transfers->localPathFor(row.name);
    if (!localPath) {
        SetOpsEnabled(true);
        return;
    }
    if (m_transfers->DownloadFile(row.name, *localPath, 0))
        ListLocalDirectory();
}

void TFTPForm::acRemoteMakeDirExecute()
{
    const QString answer = dialogs().inputBox(QStringLiteral("Specify name of new remote directory"),
                                              QStringLiteral("Name"), QString());
    if (answer.isEmpty())
        return;
    SetOpsEnabled(false);
    RunningOperation::Scope operation(m_operation);
    // A refused MKD reaches the default error report; the connection stays. The commands come
    // back on every path, but only while there is a session to use them on.
    struct EnableOnExit {
        TFTPForm& form;
        ~EnableOnExit() { form.SetOpsEnabled(form.sessionConnected()); }
    } enableOnExit{*this};
    IdFTP1->MakeDirectory(nameBytes(answer));
    ChangeRemoteDir(remoteDirectory());
    LVR->sortIfSorted();
}

void TFTPForm::acRemoteDeleteExecute()
{
    const std::vector<PaneRow> rows = LVR->selectedRows();
    if (!sessionConnected() || rows.empty() || !confirmed(deleteQuestion(rows)))
        return;
    RunningOperation::Scope operation(m_operation);
    for (const PaneRow& row : rows) {
        SetOpsEnabled(false);
        if (!deleteRemoteRow(row))
            return;
    }
    ListRemoteDirectory();
}

// Answers whether the run goes on: a failure that disconnected ends it.
bool TFTPForm::deleteRemoteRow(const PaneRow& row)
{
    if (!row.isDirectory()) {
        try {
            IdFTP1->DeleteRemoteFile(row.name);
        } catch (const EIdException& error) {
            ReportFailure(error, QStringLiteral("DelRFile"));
            return false;
        }
        return true;
    }
    try {
        IdFTP1->DeleteDirectory(row.name);
    } catch (const EIdProtocolReplyError& error) {
        // "550 old: Directory not empty" names the directory: only its contents are in the way.
        if (!error.Message().starts_with(row.name)) {
            ReportFailure(error, QStringLiteral("DelRD1"));
            return false;
        }
        dialogs().beep();
        showErrorBox(QStringLiteral("Cannot delete ") + nameText(row.name)
                  + QStringLiteral("  Delete contents first."));
        SetOpsEnabled(true);
    } catch (const EIdException& error) {
        ReportFailure(error, QStringLiteral("DelRDir"));
        return false;
    }
    return true;
}

void TFTPForm::acRemoteRenameExecute()
{
    const std::vector<PaneRow> rows = LVR->selectedRows();
    if (!sessionConnected() || rows.size() != 1 || rows.front().isDirectory())
        return;
    const std::string oldName = rows.front().name;
    QString answer = nameText(oldName);
    if (!dialogs().inputQuery(QStringLiteral("Rename Remote File"),
                              QStringLiteral("Enter new file name:"), answer))
        return;
    const std::string newName = editedNameBytes(oldName, answer);
    if (renameWouldReplace(oldName, newName)) {
        showRenameRefusal(answer);
        return;
    }
    SetOpsEnabled(false);
    RunningOperation::Scope operation(m_operation);
    try {
        IdFTP1->RenameRemote(oldName, newName);
    } catch (const EIdException& error) {
        ReportFailure(error, QStringLiteral("RenRFile"));
        return;
    }
    ListRemoteDirectory();
}

// Most servers let RNTO replace an existing file without a word: a name the listing already
// shows is refused before anything is sent.
bool TFTPForm::renameWouldReplace(const std::string& oldName, const std::string& newName) const
{
    return newName != oldName && LVR->findRow(newName) >= 0;
}

void TFTPForm::LVREdited(int row, const QString& text)
{
    if (row < 0 || row >= LVR->rowCount())
        return;
    const PaneRow edited = LVR->row(row);
    if (text == nameText(edited.name))
        return;
    if (!extensionChangeAccepted(nameText(edited.name), text))
        return;
    if (!sessionConnected() || edited.isDirectory() || m_operation.running()) {
        dialogs().beep();
        return;
    }
    const std::string newName = editedNameBytes(edited.name, text);
    if (renameWouldReplace(edited.name, newName)) {
        showRenameRefusal(text);
        return;
    }
    RunningOperation::Scope operation(m_operation);
    try {
        IdFTP1->RenameRemote(edited.name, newName);
    } catch (const EIdException& error) {
        ReportFailure(error, QStringLiteral("RenRFile"));
        return;
    }
    // The rename let events through: the row is found again by its old name.
    LVR->paneModel()->setName(LVR->findRow(edited.name), newName);
}
