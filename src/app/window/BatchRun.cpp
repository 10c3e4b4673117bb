// The headless run: the window is built but never shown, so nothing writes its settings at
// the end, and the run's outcome becomes the exit status.
#include "app/window/BatchRun.h"

#include "app/window/FTPUnit.h"
#include "ftp/IdFTP.h"
#include "model/ProgramOptions.h"
#include "platform/ErrorReport.h"
#include "platform/PasswordStore.h"
#include "platform/StandardErrorDialogs.h"
#include "sites/SiteUnit.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

namespace {

// No one can answer the desktop's unlock prompt for a cron job: a keyring that has not answered
// by then will not, and the run falls back to the settings file or ends.
constexpr std::chrono::seconds kBatchPasswordWait{5};

// Restores the program's exit hook when the run ends.
class ExitHookScope {
public:
    ExitHookScope() : m_saved(TFTPForm::exitProgramHook())
    {
        // A list that cannot be read ends the window's start; the run then answers 1.
        TFTPForm::exitProgramHook() = [](int) {};
    }
    ~ExitHookScope() { TFTPForm::exitProgramHook() = m_saved; }
    ExitHookScope(const ExitHookScope&) = delete;
    ExitHookScope& operator=(const ExitHookScope&) = delete;

private:
    std::function<void(int)> m_saved;
};

// Standard error carries the run's messages, one line each, for whoever reads a cron mail:
// the toolkit's own notes (no runtime folder, an offscreen window's size hints) stay out.
void keepToolkitNotesOut(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

} // namespace

void prepareHeadlessPlatform()
{
    // Nothing is ever shown, so no display is needed: a platform named for the desktop
    // (wayland, xcb) would only fail under cron.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(keepToolkitNotesOut);
}

int runBatch(const QString& listPath, std::ostream& progress, std::ostream& messages)
{
    installDialogs(std::make_unique<StandardErrorDialogs>(messages));
    passwordWaitLimit() = kBatchPasswordWait;
    ExitHookScope exitHook;
    TFTPForm window({QCoreApplication::applicationFilePath(), listPath}, nullptr,
                    TFTPForm::StartMode::Headless);
    if (window.programEnded())
        return kBatchBadList;
    if (SiteCount == 0) {
        dialogs().messageBox(QStringLiteral("No sites defined. Create a site in the window first."),
                             MsgIcon::Error, {MsgButton::Abort});
        return kBatchBadList;
    }
    // Every printed line starts with its date and time; the echo hands over the trace's text
    // without the window's own stamps.
    window.traceLineEcho = [&progress](const QString& line) {
        progress << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "))
                        .toStdString()
                 << line.toLocal8Bit().toStdString() << std::endl;
    };
    int status = kBatchUploadFailed;
    runReportingErrors([&] { status = batchExitStatus(window.uploadRun().AutoUploadRun()); });
    // QUIT to the last site; the window's close path, which stores the settings, never runs.
    if (window.session().IsConnected())
        window.endSession(true);
    window.traceLineEcho = nullptr;
    return status;
}
