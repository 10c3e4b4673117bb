// The remote pane: listing the server's current directory into LVR, and the remote commands
// (change directory, up, double click, make directory, delete, rename by command and in place).
#include "app/FTPUnit.h"

#include "app/ErrorReport.h"
#include "app/LocalFiles.h"
#include "app/NameText.h"
#include "app/PaneQuestions.h"
#include "app/PaneView.h"
#include "app/RemoteRows.h"
#include "ftp/IdFTP.h"
#include "platform/Dialogs.h"

#include <QAction>
#include <QLineEdit>

namespace {

const QColor kTraceBlue(0, 0, 255);

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

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

bool TFTPForm::sessionOperationRunning() const
{
    return m_operationDepth > 0 || TransferActive;
}

bool TFTPForm::refusedWhileSessionBusy()
{
    if (!sessionOperationRunning())
        return false;
    dialogs().beep();
    return true;
}

void TFTPForm::ListRemoteDirectory()
{
    SetOpsEnabled(false);
    OperationScope operation(*this);
    LVR->clearRows();
    try {
        IdFTP1->SetTransferType(TIdFTPTransferType::ftASCII);
        setBoxPath(RemDir, IdFTP1->QueryCurrentDirectory());
        IdFTP1->ListDirectory();
        const TIdFTPListItems& listing = IdFTP1->ParsedListing();
        LVR->setRows(remoteRowsOf(listing));
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
    OperationScope operation(*this);
    try {
        IdFTP1->ChangeDirectory(directory);
    } catch (const EIdException& error) {
        ReportFailure(error, QStringLiteral("CD"));
        // The server stayed where it was: the pane still shows it, so the commands come back.
        if (sessionConnected())
            SetOpsEnabled(true);
        return;
    }
    ListRemoteDirectory();
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
    if (sessionOperationRunning()) {
        dialogs().beep();
        return;
    }
    const PaneRow row = LVR->row(first);
    SetOpsEnabled(false);
    if (row.isDirectory()) {
        ChangeRemoteDir(row.name);
        return;
    }
    const std::optional<std::string> localPath = localPathFor(row.name);
    if (!localPath) {
        SetOpsEnabled(true);
        return;
    }
    if (DownloadFile(row.name, *localPath, 0))
        ListLocalDirectory();
}

void TFTPForm::acRemoteMakeDirExecute()
{
    const QString answer = dialogs().inputBox(QStringLiteral("Specify name of new remote directory"),
                                              QStringLiteral("Name"), QString());
    if (answer.isEmpty())
        return;
    SetOpsEnabled(false);
    OperationScope operation(*this);
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
    OperationScope operation(*this);
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
        if (!startsWith(error.Message(), row.name)) {
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
    SetOpsEnabled(false);
    OperationScope operation(*this);
    try {
        IdFTP1->RenameRemote(oldName, editedNameBytes(oldName, answer));
    } catch (const EIdException& error) {
        ReportFailure(error, QStringLiteral("RenRFile"));
        return;
    }
    ListRemoteDirectory();
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
    if (!sessionConnected() || edited.isDirectory() || sessionOperationRunning()) {
        dialogs().beep();
        return;
    }
    const std::string newName = editedNameBytes(edited.name, text);
    OperationScope operation(*this);
    try {
        IdFTP1->RenameRemote(edited.name, newName);
    } catch (const EIdException& error) {
        ReportFailure(error, QStringLiteral("RenRFile"));
        return;
    }
    // The rename let events through: the row is found again by its old name.
    LVR->paneModel()->setName(LVR->findRow(edited.name), newName);
}
