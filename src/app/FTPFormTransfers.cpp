// Transfers: uploads and downloads of the selected files, download under another name, the
// resume question, Abort, and the progress bar, speed and time remaining fed by work events.
#include "app/FTPUnit.h"

#include "app/ErrorReport.h"
#include "app/LocalFiles.h"
#include "app/NameText.h"
#include "app/PaneView.h"
#include "app/RemoteRows.h"
#include "app/TransferProgress.h"
#include "ftp/IdFTP.h"
#include "ftp/IdGlobal.h"
#include "platform/Dialogs.h"

#include <QAction>
#include <QLocale>
#include <QProgressBar>

#include <filesystem>

namespace {

// The display follows the work events at most this often; an abort is acted on at once.
constexpr std::chrono::milliseconds kDisplayInterval{50};

bool localFileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

std::string lastPathComponent(const std::string& path)
{
    const std::size_t slash = path.rfind(kPathDelimiter);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

void TFTPForm::connectTransfers()
{
    connect(acUpload, &QAction::triggered, this, reportingErrors([this] { acUploadExecute(); }));
    connect(acDownload, &QAction::triggered, this, reportingErrors([this] { acDownloadExecute(); }));
    connect(acDownloadSaveAs, &QAction::triggered, this, reportingErrors([this] { acDownloadSaveAsExecute(); }));
    connect(acAbortTransfer, &QAction::triggered, this, reportingErrors([this] { acAbortTransferExecute(); }));
    uploadFromLocalPane = [this](const std::string& path) {
        const bool uploaded = UploadFile(path);
        if (uploaded)
            ListRemoteDirectory();
        return uploaded;
    };
}

std::optional<std::string> TFTPForm::localPathFor(const std::string& remoteName)
{
    if (isSafeLocalName(remoteName))
        return withDelimiter(localDirectory()) + remoteName;
    dialogs().messageBox(QStringLiteral("Cannot download \"") + nameText(remoteName)
                             + QStringLiteral("\": the server's name is not usable as a local file name."),
                         MsgIcon::Error, {MsgButton::Abort});
    return std::nullopt;
}

// Every abort of a running transfer goes through here, so that its end is told as an abort.
void TFTPForm::abortRunningTransfer()
{
    m_transferAborted = true;
    IdFTP1->SendAbort();
}

void TFTPForm::reportTransferFailure(const EIdException& error, const QString& placeCode)
{
    const bool aborted = m_transferAborted;
    ReportFailure(error, placeCode);
    setStatusPanel(1, aborted ? QStringLiteral("Transfer aborted.")
                              : QStringLiteral("Transfer failed: ") + QString::fromLocal8Bit(error.Message()));
}

// A local failure (a full disk, an unreadable file) is no network error: the session stays in
// step and connected, so the commands come back before the default error report shows it.
void TFTPForm::endFailedTransfer()
{
    SetOpsEnabled(sessionConnected());
    setStatusPanel(1, QStringLiteral("Transfer failed."));
}

bool TFTPForm::UploadFile(const std::string& name)
{
    if (!sessionConnected())
        return false;
    const std::string path = name.find(kPathDelimiter) != std::string::npos
                                 ? name
                                 : withDelimiter(localDirectory()) + name;
    return runTransferCommand(QStringLiteral("R-Up"), [&] {
        IdFTP1->SetTransferType(TIdFTPTransferType::ftBinary);
        IdFTP1->Upload(path, lastPathComponent(path), false);
    });
}

bool TFTPForm::DownloadFile(const std::string& remoteName, const std::string& localPath, int mode)
{
    if (!sessionConnected())
        return false;
    return runTransferCommand(QStringLiteral("DLoad"), [&] {
        IdFTP1->SetTransferType(TIdFTPTransferType::ftBinary);
        ExpectedSize = IdFTP1->QueryFileSize(remoteName);
        downloadAsChosen(remoteName, localPath, mode);
    });
}

// The frame of both transfer commands: the commands off while it runs, a network failure
// reported under `placeCode`, and the commands back on while the session lasts.
bool TFTPForm::runTransferCommand(const QString& placeCode, const std::function<void()>& transfer)
{
    SetOpsEnabled(false);
    OperationScope operation(*this);
    try {
        transfer();
    } catch (const EIdFTPTransferAborted&) {
        // The user's abort of an upload, confirmed by the server: the session is in step, and
        // a run of uploads goes on with the next file as it does after an aborted download.
    } catch (const EIdException& error) {
        reportTransferFailure(error, placeCode);
        return false;
    } catch (...) {
        endFailedTransfer();
        throw;
    }
    // An abort confirmed by the server returns normally, also after a disconnect from the pump.
    SetOpsEnabled(sessionConnected());
    return true;
}

void TFTPForm::downloadAsChosen(const std::string& remoteName, const std::string& localPath, int mode)
{
    if (!localFileExists(localPath)) {
        IdFTP1->Download(remoteName, localPath, false, false);
        return;
    }
    if (mode == 1) {
        IdFTP1->Download(remoteName, localPath, true, false);
        return;
    }
    const MsgButton answer = dialogs().messageBox(
        QStringLiteral("Local File exists. Resume download? (No downloads entire file)"),
        MsgIcon::Confirmation, {MsgButton::Yes, MsgButton::No, MsgButton::Cancel});
    if (answer == MsgButton::Yes) {
        if (ExpectedSize >= 0)
            ExpectedSize -= FileSizeOf(localPath);
        IdFTP1->Download(remoteName, localPath, false, true);
    } else if (answer == MsgButton::No) {
        IdFTP1->Download(remoteName, localPath, true, false);
    }
}

void TFTPForm::acUploadExecute()
{
    const std::vector<PaneRow> rows = LVL->selectedRows();
    if (!sessionConnected() || rows.empty())
        return;
    const std::string directory = withDelimiter(localDirectory());
    for (const PaneRow& row : rows) {
        if (!row.isDirectory() && !UploadFile(directory + row.name))
            return;
    }
    ListRemoteDirectory();
}

void TFTPForm::acDownloadExecute()
{
    const std::vector<PaneRow> rows = LVR->selectedRows();
    if (!sessionConnected() || rows.empty() || !mayDownloadAll(rows))
        return;
    const std::string directory = withDelimiter(localDirectory());
    for (const PaneRow& row : rows) {
        if (!DownloadFile(row.name, directory + row.name, 1))
            return;
    }
    ListLocalDirectory();
}

// The check before anything moves: no directory, no name unusable on this side, and one
// question when a local file would be overwritten.
bool TFTPForm::mayDownloadAll(const std::vector<PaneRow>& rows)
{
    bool asked = false;
    for (const PaneRow& row : rows) {
        if (row.isDirectory()) {
            dialogs().beep();
            dialogs().messageBox(QStringLiteral("You cannot download a Directory"), MsgIcon::Error,
                                 {MsgButton::Cancel});
            return false;
        }
        const std::optional<std::string> path = localPathFor(row.name);
        if (!path)
            return false;
        if (asked || !localFileExists(*path))
            continue;
        dialogs().beep();
        const QString question = rows.size() == 1
            ? QStringLiteral("File ") + nameText(*path) + QStringLiteral(" already exists. Continue?")
            : QStringLiteral("At least one selected file already exists. Continue?");
        if (dialogs().messageBox(question, MsgIcon::Confirmation, {MsgButton::Yes, MsgButton::Cancel})
            != MsgButton::Yes)
            return false;
        asked = true;
    }
    return true;
}

void TFTPForm::acDownloadSaveAsExecute()
{
    const int first = LVR->firstSelected();
    if (first < 0)
        return;
    const std::string name = LVR->row(first).name;
    QString chosen = nameText(withDelimiter(localDirectory()) + (isSafeLocalName(name) ? name : std::string()));
    if (!dialogs().saveFileName(QStringLiteral("Download and save as"), QString(), chosen))
        return;
    DownloadFile(name, nameBytes(chosen), 1);
}

// The flag is acted on by the next work event; a transfer that has stalled sends none, so a
// running transfer is aborted at once as well (the session takes an abort from the pump).
void TFTPForm::acAbortTransferExecute()
{
    AbortRequested = true;
    if (TransferActive) {
        AbortRequested = false;
        abortRunningTransfer();
    }
}

void TFTPForm::IdFTP1WorkBegin(TWorkMode, std::int64_t maximum)
{
    TransferActive = true;
    acAbortTransfer->setEnabled(true);
    AbortRequested = false;
    m_transferStart = std::chrono::steady_clock::now();
    m_lastDisplay.reset();
    m_progressTotal = maximum > 0 ? maximum : ExpectedSize;
    m_progressScale = progressScale(m_progressTotal);
    // A range of 0 to 0 would make the bar a busy indicator; no total shows no progress.
    ProgressBar1->setRange(0, std::max(m_progressScale.maximum, 1));
    ProgressBar1->setValue(0);
    TransferSpeed = 0;
}

void TFTPForm::IdFTP1Work(TWorkMode mode, std::int64_t count)
{
    const auto now = std::chrono::steady_clock::now();
    const double elapsed = std::chrono::duration<double>(now - m_transferStart).count();
    if (const std::optional<double> speed = transferSpeed(count, elapsed))
        TransferSpeed = *speed;
    if (!m_lastDisplay || now - *m_lastDisplay >= kDisplayInterval) {
        m_lastDisplay = now;
        const QString text = speedText(TransferSpeed, remainingSeconds(m_progressTotal, count, TransferSpeed),
                                       QLocale::system().decimalPoint().front());
        setStatusPanel(1, (mode == TWorkMode::wkRead ? QStringLiteral("Download speed ")
                                                     : QStringLiteral("Upload speed ")) + text);
        ProgressBar1->setValue(m_progressScale.position(count));
    }
    if (AbortRequested) {
        AbortRequested = false;
        abortRunningTransfer();
    }
}

void TFTPForm::IdFTP1WorkEnd(TWorkMode)
{
    acAbortTransfer->setEnabled(false);
    // The data stopped moving; whether the transfer completed is told by the session's status
    // once the server confirmed it, or by the failure report.
    if (m_transferAborted)
        setStatusPanel(1, QStringLiteral("Transfer aborted."));
    ExpectedSize = 0;
    TransferActive = false;
    ProgressBar1->setValue(0);
    TransferSpeed = 0;
}
