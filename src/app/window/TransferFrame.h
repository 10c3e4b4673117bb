// The frame of every upload and download on the window's session: the commands off while it
// runs, a network failure reported under its place code, the resume question, Abort, and the
// progress bar, speed and time remaining fed by the session's work events.
#pragma once

#include "app/window/FolderUpload.h"
#include "app/window/RunningOperation.h"
#include "model/PaneRow.h"
#include "model/TransferProgress.h"
#include "net/IdComponent.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class EIdException;
class QAction;
class QProgressBar;
class TIdFTP;
struct TSiteRecord;

class TransferFrame {
public:
    // What the frame asks of the window it works in.
    class Window {
    public:
        virtual void SetOpsEnabled(bool on) = 0;
        virtual void ReportFailure(const EIdException& error, const QString& placeCode) = 0;
        virtual void setStatusPanel(int index, const QString& text) = 0;
        [[nodiscard]] virtual std::string localDirectory() const = 0;

    protected:
        ~Window() = default;
    };

    // The bar shows the progress; `abort` is on while data moves.
    TransferFrame(Window& window, TIdFTP& session, RunningOperation& operation, QProgressBar* bar,
                  QAction* abort);
    TransferFrame(const TransferFrame&) = delete;
    TransferFrame& operator=(const TransferFrame&) = delete;

    // Uploads a local file (a bare name is taken from the local directory); answers success.
    bool UploadFile(const std::string& name);
    // Uploads a whole local folder into the session's current remote directory, on connections
    // of its own to the same site; Abort stops it.
    FolderUploadOutcome UploadFolder(const std::string& folder, const TSiteRecord& site);
    // Mode 1 overwrites an existing local file; any other mode asks whether to resume.
    bool DownloadFile(const std::string& remoteName, const std::string& localPath, int mode);
    // The local directory + the remote name, or none after an error box when the server's name
    // cannot be a local file name.
    [[nodiscard]] std::optional<std::string> localPathFor(const std::string& remoteName);
    // The check before anything moves: no directory, no name unusable on this side, and one
    // question when a local file would be overwritten.
    [[nodiscard]] bool mayDownloadAll(const std::vector<PaneRow>& rows);

    void acAbortTransferExecute();
    // Every abort of a running transfer goes through here, so that its end is told as an abort.
    void abortRunningTransfer();

    void IdFTP1WorkBegin(TWorkMode mode, std::int64_t maximum);
    void IdFTP1Work(TWorkMode mode, std::int64_t count);
    void IdFTP1WorkEnd(TWorkMode mode);

private:
    bool runTransferCommand(const QString& placeCode, const std::function<void()>& transfer);
    void downloadAsChosen(const std::string& remoteName, const std::string& localPath, int mode);
    void reportTransferFailure(const EIdException& error, const QString& placeCode);
    void endFailedTransfer();

    Window& m_window;
    TIdFTP& m_session;
    RunningOperation& m_operation;
    QProgressBar* m_bar;
    QAction* m_abort;
    std::chrono::steady_clock::time_point m_transferStart;
    std::optional<std::chrono::steady_clock::time_point> m_lastDisplay;
    std::int64_t m_progressTotal = 0;
    ProgressScale m_progressScale;
};
