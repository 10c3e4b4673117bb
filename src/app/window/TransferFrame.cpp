// The transfer frame: uploads and downloads on the window's session, the resume question, Abort,
// and the progress bar, speed and time remaining fed by work events.
#include "app/window/TransferFrame.h"

#include "app/window/QueueSites.h"
#include "ftp/IdFTP.h"
#include "ftp/IdGlobal.h"
#include "model/PathText.h"
#include "model/RemoteRows.h"
#include "platform/Dialogs.h"
#include "platform/NameText.h"

#include <QAction>
#include <QLocale>
#include <QProgressBar>

#include <algorithm>
#include <filesystem>

namespace {

// The display follows the work events at most this often; an abort is acted on at once.
constexpr std::chrono::milliseconds kDisplayInterval{50};
constexpr int kMessagePanel = 1;

bool localFileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

} // namespace

TransferFrame::TransferFrame(Window& window, TIdFTP& session, RunningOperation& operation,
                             QProgressBar* bar, QAction* abort)
    : m_window(window), m_session(session), m_operation(operation), m_bar(bar), m_abort(abort)
{
}

std::optional<std::string> TransferFrame::localPathFor(const std::string& remoteName)
{
    if (isSafeLocalName(remoteName))
        return withDelimiter(m_window.localDirectory()) + remoteName;
    dialogs().messageBox(QStringLiteral("Cannot download \"") + nameText(remoteName)
                             + QStringLiteral("\": the server's name is not usable as a local file name."),
                         MsgIcon::Error, {MsgButton::Abort});
    return std::nullopt;
}

bool TransferFrame::mayDownloadAll(const std::vector<PaneRow>& rows)
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

void TransferFrame::abortRunningTransfer()
{
    m_operation.aborted = true;
    m_session.SendAbort();
}

void TransferFrame::reportTransferFailure(const EIdException& error, const QString& placeCode)
{
    const bool aborted = m_operation.aborted;
    m_window.ReportFailure(error, placeCode);
    m_window.setStatusPanel(kMessagePanel, aborted ? QStringLiteral("Transfer aborted.")
                                                   : QStringLiteral("Transfer failed: ")
                                                         + QString::fromLocal8Bit(error.Message()));
}

// A local failure (a full disk, an unreadable file) is no network error: the session stays in
// step and connected, so the commands come back before the default error report shows it.
void TransferFrame::endFailedTransfer()
{
    m_window.SetOpsEnabled(m_session.IsConnected());
    m_window.setStatusPanel(kMessagePanel, QStringLiteral("Transfer failed."));
}

bool TransferFrame::UploadFile(const std::string& name)
{
    if (!m_session.IsConnected())
        return false;
    const std::string path = name.find(kPathDelimiter) != std::string::npos
                                 ? name
                                 : withDelimiter(m_window.localDirectory()) + name;
    return runTransferCommand(QStringLiteral("R-Up"), [&] {
        m_session.SetTransferType(TIdFTPTransferType::ftBinary);
        m_session.Upload(path, lastPathComponent(path), false);
    });
}

FolderUploadOutcome TransferFrame::UploadFolder(const std::string& folder, const TSiteRecord& site)
{
    FolderUploadOutcome outcome;
    if (!m_session.IsConnected())
        return outcome;
    const bool ran = runTransferCommand(QStringLiteral("R-Up"), [&] {
        const std::string remote = joinPath(m_session.QueryCurrentDirectory(), lastPathComponent(folder));
        m_operation.AbortRequested = false;
        m_abort->setEnabled(true);
        outcome = uploadFolder(queueLoginOfSession(site, m_session), folder, remote,
                               [this] { return m_operation.AbortRequested || m_operation.endedByUser; });
        m_abort->setEnabled(false);
        m_operation.AbortRequested = false;
    });
    if (ran)
        m_window.setStatusPanel(kMessagePanel, outcome.succeeded ? QStringLiteral("Transfer complete.")
                                                                 : QStringLiteral("Transfer failed."));
    return outcome;
}

bool TransferFrame::DownloadFile(const std::string& remoteName, const std::string& localPath, int mode)
{
    if (!m_session.IsConnected())
        return false;
    return runTransferCommand(QStringLiteral("DLoad"), [&] {
        m_session.SetTransferType(TIdFTPTransferType::ftBinary);
        m_operation.ExpectedSize = m_session.QueryFileSize(remoteName);
        downloadAsChosen(remoteName, localPath, mode);
    });
}

// The frame of both transfer commands: the commands off while it runs, a network failure
// reported under `placeCode`, and the commands back on while the session lasts.
bool TransferFrame::runTransferCommand(const QString& placeCode, const std::function<void()>& transfer)
{
    m_window.SetOpsEnabled(false);
    RunningOperation::Scope operation(m_operation);
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
    m_window.SetOpsEnabled(m_session.IsConnected());
    return true;
}

void TransferFrame::downloadAsChosen(const std::string& remoteName, const std::string& localPath, int mode)
{
    if (!localFileExists(localPath)) {
        m_session.Download(remoteName, localPath, false, false);
        return;
    }
    if (mode == 1) {
        m_session.Download(remoteName, localPath, true, false);
        return;
    }
    const MsgButton answer = dialogs().messageBox(
        QStringLiteral("Local File exists. Resume download? (No downloads entire file)"),
        MsgIcon::Confirmation, {MsgButton::Yes, MsgButton::No, MsgButton::Cancel});
    if (answer == MsgButton::Yes) {
        if (m_operation.ExpectedSize >= 0)
            m_operation.ExpectedSize -= FileSizeOf(localPath);
        m_session.Download(remoteName, localPath, false, true);
    } else if (answer == MsgButton::No) {
        m_session.Download(remoteName, localPath, true, false);
    }
}

// The flag is acted on by the next work event; a transfer that has stalled sends none, so a
// running transfer is aborted at once as well (the session takes an abort from the pump).
void TransferFrame::acAbortTransferExecute()
{
    m_operation.AbortRequested = true;
    if (m_operation.TransferActive) {
        m_operation.AbortRequested = false;
        abortRunningTransfer();
    }
}

void TransferFrame::IdFTP1WorkBegin(TWorkMode, std::int64_t maximum)
{
    m_operation.TransferActive = true;
    m_abort->setEnabled(true);
    m_operation.AbortRequested = false;
    m_transferStart = std::chrono::steady_clock::now();
    m_lastDisplay.reset();
    m_progressTotal = maximum > 0 ? maximum : m_operation.ExpectedSize;
    m_progressScale = progressScaleFor(m_progressTotal);
    // A range of 0 to 0 would make the bar a busy indicator; no total shows no progress.
    m_bar->setRange(0, std::max(m_progressScale.maximum, 1));
    m_bar->setValue(0);
    m_operation.TransferSpeed = 0;
}

void TransferFrame::IdFTP1Work(TWorkMode mode, std::int64_t count)
{
    const auto now = std::chrono::steady_clock::now();
    const double elapsed = std::chrono::duration<double>(now - m_transferStart).count();
    if (const std::optional<double> speed = kilobytesPerSecond(count, elapsed))
        m_operation.TransferSpeed = *speed;
    if (!m_lastDisplay || now - *m_lastDisplay >= kDisplayInterval) {
        m_lastDisplay = now;
        const double speed = m_operation.TransferSpeed;
        const QString text = QString::fromStdString(
            speedText(speed, remainingSeconds(m_progressTotal, count, speed),
                      QLocale::system().decimalPoint().toStdString()));
        m_window.setStatusPanel(kMessagePanel, (mode == TWorkMode::wkRead ? QStringLiteral("Download speed ")
                                                                          : QStringLiteral("Upload speed "))
                                                   + text);
        m_bar->setValue(m_progressScale.position(count));
    }
    if (m_operation.AbortRequested) {
        m_operation.AbortRequested = false;
        abortRunningTransfer();
    }
}

void TransferFrame::IdFTP1WorkEnd(TWorkMode)
{
    m_abort->setEnabled(false);
    // The data stopped moving; whether the transfer completed is told by the session's status
    // once the server confirmed it, or by the failure report.
    if (m_operation.aborted)
        m_window.setStatusPanel(kMessagePanel, QStringLiteral("Transfer aborted."));
    m_operation.ExpectedSize = 0;
    m_operation.TransferActive = false;
    m_bar->setValue(0);
    m_operation.TransferSpeed = 0;
}
