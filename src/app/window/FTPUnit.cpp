// The main window's life: building it, start-up in order, the window settings record,
// activation, closing, Quit and Reset.
#include "app/window/FTPUnit.h"

#include "app/panes/PaneView.h"
#include "app/window/ActionImages.h"
#include "app/window/SettingsRescue.h"
#include "ftp/IdFTP.h"
#include "model/PaneSort.h"
#include "model/SettingsRecord.h"
#include "model/UploadList.h"
#include "net/IdAntiFreeze.h"
#include "net/IdLogEvent.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/Registry.h"
#include "queue/TransferQueue.h"
#include "platform/TempFolder.h"
#include "sites/SiteUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <utility>

namespace {

constexpr int kDefaultLeft = 213;
constexpr int kDefaultTop = 134;
constexpr int kDefaultWidth = 840;
constexpr int kDefaultHeight = 582;
constexpr int kReceiveBufferSize = 8192;
constexpr int kSendBufferSize = 4096;
constexpr int kPumpIdleTimeOut = 50;
// A server that stops answering, or a data connection that stops moving, ends in a time-out
// error after this long instead of hanging the window.
constexpr int kReadTimeout = 60000;

const char* const kUsageLines[] = {
    "==>FTP <UploadList>",
    "Where:",
    " Uploadlist = path/name of a text file containing list of files to upload to",
    "  specified sites.",
    " If this file is specified, then each line specifies a site and file thus:",
    "   SITE=sitename  FILE=file path+name",
    " The specified files are uploaded to the FTP site, the program stays connected",
};

// Closes the open registry key on every path, an error path included.
class KeyCloser {
public:
    explicit KeyCloser(Registry& registry) : m_registry(registry) {}
    ~KeyCloser() { m_registry.closeKey(); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    Registry& m_registry;
};

// True when the store holds exactly `bytes` as the value `name`.
bool storedAlready(const Registry& registry, const char* name, const TarnSettingsBytes& bytes)
{
    try {
        TarnSettingsBytes stored{};
        return registry.valueExists(name)
               && registry.readBinaryData(name, stored.data(), static_cast<int>(stored.size()))
                      == static_cast<int>(bytes.size())
               && stored == bytes;
    } catch (const std::exception&) {
        return false;
    }
}

// `frame` shrunk and moved so that all of it lies inside `available`.
QRect fittedGeometry(QRect frame, const QRect& available)
{
    frame.setWidth(std::min(frame.width(), available.width()));
    frame.setHeight(std::min(frame.height(), available.height()));
    frame.moveLeft(std::clamp(frame.left(), available.left(), available.right() - frame.width() + 1));
    frame.moveTop(std::clamp(frame.top(), available.top(), available.bottom() - frame.height() + 1));
    return frame;
}

// The screen the window's corner lies on, or the main screen when it lies on none.
QRect availableGeometryAt(const QPoint& corner)
{
    const QScreen* screen = QGuiApplication::screenAt(corner);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

std::function<void(int)>& TFTPForm::exitProgramHook()
{
    static std::function<void(int)> hook = [](int code) { std::exit(code); };
    return hook;
}

TFTPForm::TFTPForm(const QStringList& arguments, QWidget* parent, StartMode mode)
    : QMainWindow(parent), m_startMode(mode)
{
    setObjectName(QStringLiteral("FTPForm"));
    setWindowTitle(QStringLiteral("FTP client: by Kal Mor Software."));
    move(kDefaultLeft, kDefaultTop);
    resize(kDefaultWidth, kDefaultHeight);
    createActions();
    createToolBar();
    createDirectoryBar();
    createPanes();
    createStatusBar();
    createSession();
    createMenus();
    createPopupMenus();
    orderTabStops();
    connectActions();
    connectLocalPane();
    connectSessionEvents();
    connectTrace();
    connectRemotePane();
    connectTransfers();
    FormCreate(arguments);
}

TFTPForm::~TFTPForm()
{
    // Destroying the window hides it, and the focus leaving an open rename editor ends the
    // edit: nothing a child signals from here on may reach the handlers of a window that is gone.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    endQueue();
    IdFTP1->SetIntercept(nullptr);
}

void TFTPForm::createSession()
{
    IdLogEvent1 = std::make_unique<TIdLogEvent>();
    IdLogEvent1->LogTime = false;
    IdLogEvent1->ReplaceCRLF = false;
    IdLogEvent1->SetActive(true);

    IdFTP1 = std::make_unique<TIdFTP>();
    IdFTP1->MaxLineAction = TIdMaxLineAction::maException;
    IdFTP1->RecvBufferSize = kReceiveBufferSize;
    IdFTP1->SendBufferSize = kSendBufferSize;
    IdFTP1->ReadTimeout = kReadTimeout;
    IdFTP1->ProxySettings.ProxyType = TIdFtpProxyType::fpcmNone;
    IdFTP1->ProxySettings.Port = 0;
    IdFTP1->Passive = UsePassive->isChecked();
    connect(UsePassive, &QCheckBox::toggled, this, reportingErrors([this] { UsePassiveClick(); }));
    TransferFrame::Window& frameWindow = *this;
    m_transfers = std::make_unique<TransferFrame>(frameWindow, *IdFTP1, m_operation, ProgressBar1, acAbortTransfer);
    UploadRun::Window& runWindow = *this;
    m_uploadRun = std::make_unique<UploadRun>(runWindow, *m_transfers);

    // Blocking network calls keep the window answering through this pump, also while busy.
    IdAntiFreeze1 = std::make_unique<TIdAntiFreeze>();
    IdAntiFreeze1->IdleTimeOut = kPumpIdleTimeOut;
    IdAntiFreeze1->OnlyWhenIdle = false;
    IdAntiFreeze1->OnPumpMessages = [](bool) { QCoreApplication::processEvents(); };
}

void TFTPForm::UsePassiveClick()
{
    IdFTP1->Passive = UsePassive->isChecked();
}

void TFTPForm::FormCreate(const QStringList& arguments)
{
    HelpFile = QCoreApplication::applicationDirPath() + QLatin1Char('/') + QFileInfo(HelpFile).fileName();
    acQuit->setToolTip(QStringLiteral("Disconnect (if necessary) and Close Tarn.\n"
                                      "WARNING - no confirmation requested."));
    TempFolderPath = tempFolderPath();
    SortColumn[0] = SortColumn[1] = kModifiedColumn;
    SortAscending[0] = SortAscending[1] = 0;
    if (m_startMode == StartMode::Window)
        rescueDamagedSettings();
    LoadSiteList();
    CurrentSite = 0;
    SetFileEnabled(true);
    SetOpsEnabled(false);
    IdFTP1->SetIntercept(IdLogEvent1.get());
    placeProgressBar();
    // A settings value that cannot be read is reported and the default geometry stays; the
    // start goes on, so the site box still shows the sites the site commands act on.
    runReportingErrors([this] { readSettings(); });
    readLayoutSettings();
    if (SiteCount > 0) {
        if (!checkProgramArguments(arguments))
            return;
        FillSiteBox();
    }
    ListLocalDirectory();
    acAbortTransfer->setEnabled(false);
    createQueue();
}

// The progress bar takes the place of status panel 0, which never shows a text.
void TFTPForm::placeProgressBar()
{
    auto* fill = new QHBoxLayout(StatusPanels[0]);
    fill->setContentsMargins(1, 2, 1, 1);
    fill->addWidget(ProgressBar1);
    ProgressBar1->show();
}

bool TFTPForm::checkProgramArguments(const QStringList& arguments)
{
    if (arguments.size() > 2) {
        CommandLineError(QStringLiteral("Too many parameters."));
        return false;
    }
    if (arguments.size() == 2) {
        m_uploadRun->UploadListName = QFile::encodeName(arguments[1]).toStdString();
        if (!QFileInfo(arguments[1]).isFile()) {
            CommandLineError(QStringLiteral("File ") + arguments[1] + QStringLiteral(" does not exist"));
            return false;
        }
        QFile file(arguments[1]);
        if (!file.open(QIODevice::ReadOnly)) {
            CommandLineError(QStringLiteral("File ") + arguments[1] + QStringLiteral(" cannot be read"));
            return false;
        }
        m_uploadRun->UploadList = uploadListLines(file.readAll().toStdString());
    }
    return true;
}

void TFTPForm::CommandLineError(const QString& detail)
{
    QStringList lines{QStringLiteral("Invalid Command Line."), detail};
    for (const char* line : kUsageLines)
        lines << QString::fromLatin1(line);
    dialogs().messageBox(lines.join(QLatin1Char('\n')), MsgIcon::Error, {MsgButton::Abort});
    m_programEnded = true;
    exitProgramHook()(0);
}

void TFTPForm::readSettings()
{
    Registry registry;
    if (!registry.openKey(Registry::kProgramKey, false))
        return;
    KeyCloser closer(registry);
    if (!registry.valueExists(kTarnSettingsValue))
        return;
    TarnSettingsBytes bytes{};
    const int length = registry.readBinaryData(kTarnSettingsValue, bytes.data(),
                                               static_cast<int>(bytes.size()));
    const TarnSettingsRecord record = unpackSettings(bytes.data(), static_cast<std::size_t>(length));
    // A site removed outside the program must not leave the index pointing past the list.
    CurrentSite = isSiteIndex(record.CurrentSite) ? record.CurrentSite : 0;
    move(record.Left, record.Top);
    resize(record.Width, record.Height);
    m_fitToScreen = true;
    m_localPaneWidth = record.LocalPaneWidth;
    m_tracePaneHeight = record.TracePaneHeight;
    applyPaneSizes();
    SortColumn[0] = record.SortColumn[0];
    SortColumn[1] = record.SortColumn[1];
    SortAscending[0] = record.SortAscending[0];
    SortAscending[1] = record.SortAscending[1];
}

TarnSettingsRecord TFTPForm::currentSettings() const
{
    TarnSettingsRecord record;
    record.CurrentSite = lowWord(CurrentSite);
    record.Top = lowWord(y());
    record.Left = lowWord(x());
    record.Height = lowWord(height());
    record.Width = lowWord(width());
    record.LocalPaneWidth = lowWord(VertSplitter->sizes().value(0));
    record.TracePaneHeight = lowWord(Splitter1->sizes().value(1));
    record.SortColumn[0] = SortColumn[0];
    record.SortColumn[1] = SortColumn[1];
    record.SortAscending[0] = SortAscending[0];
    record.SortAscending[1] = SortAscending[1];
    return record;
}

void TFTPForm::writeSettings()
{
    const TarnSettingsBytes bytes = packSettings(currentSettings());
    Registry registry;
    if (!registry.openKey(Registry::kProgramKey, true))
        return;
    KeyCloser closer(registry);
    // A write syncs the store to disk, a flushed lock file and a flushed new file, which on a
    // busy disk holds the closing window for a second: values that did not change stay.
    if (!storedAlready(registry, kTarnSettingsValue, bytes))
        registry.writeBinaryData(kTarnSettingsValue, bytes.data(), static_cast<int>(bytes.size()));
    writeLayoutSettings(registry);
}

// Splitter positions only take effect once the window has its size; until it is shown they
// wait in m_localPaneWidth and m_tracePaneHeight.
void TFTPForm::applyPaneSizes()
{
    if (!isVisible())
        return;
    const int across = VertSplitter->width() - VertSplitter->handleWidth();
    VertSplitter->setSizes({m_localPaneWidth, std::max(0, across - m_localPaneWidth)});
    const int down = Splitter1->height() - Splitter1->handleWidth();
    Splitter1->setSizes({std::max(0, down - m_tracePaneHeight), m_tracePaneHeight});
}

// A geometry saved on a larger screen, or at a smaller scale (100 % then 200 %), would put part
// of the window out of sight: it is fitted to the screen it opens on, frame included where the
// frame is known by now.
void TFTPForm::fitRestoredGeometryToScreen()
{
    const QRect frame = frameGeometry();
    const QRect available = availableGeometryAt(frame.topLeft());
    if (!available.isValid())
        return;
    const QRect fitted = fittedGeometry(frame, available);
    if (fitted == frame)
        return;
    move(fitted.topLeft());
    resize(size() - (frame.size() - fitted.size()));
}

void TFTPForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    runReportingErrors([this] {
        if (std::exchange(m_fitToScreen, false))
            fitRestoredGeometryToScreen();
        if (!m_paneSizesApplied) {
            m_paneSizesApplied = true;
            applyPaneSizes();
        }
        // Without a window manager the window may never be activated; being shown counts too.
        activateOnce();
    });
}

void TFTPForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    runReportingErrors([&] {
        if (event->type() == QEvent::ActivationChange && isActiveWindow())
            activateOnce();
    });
}

// Activation is acted on once per run: the first-site question would otherwise come back every
// time the editor closes and hands the activation back, and the upload list runs only once.
void TFTPForm::activateOnce()
{
    if (m_activatedOnce)
        return;
    m_activatedOnce = true;
    QTimer::singleShot(0, this, reportingErrors([this] { FormActivate(); }));
}

void TFTPForm::FormActivate()
{
    if (m_inFormActivate || m_programEnded)
        return;
    m_inFormActivate = true;
    if (SiteCount == 0) {
        dialogs().showMessage(QStringLiteral("No sites defined. You must now create a site"));
        acCreateSite->trigger();
    } else if (m_uploadRun->UploadList) {
        m_uploadRun->AutoUploadRun();
    }
    m_inFormActivate = false;
}

bool TFTPForm::FormCloseQuery()
{
    if (!sessionConnected())
        return true;
    const MsgButton answer = dialogs().messageBox(
        QStringLiteral("You are closing the application while connected.\nDisconnect and close?"),
        MsgIcon::Confirmation, {MsgButton::Yes, MsgButton::Cancel});
    if (answer != MsgButton::Yes)
        return false;
    endSession(false);
    return true;
}

void TFTPForm::FormClose()
{
    writeSettings();
}

void TFTPForm::closeEvent(QCloseEvent* event)
{
    bool mayClose = false;
    runReportingErrors([&] { mayClose = FormCloseQuery(); });
    if (!mayClose) {
        event->ignore();
        return;
    }
    // Settings that cannot be written are reported, but never keep the window open.
    runReportingErrors([this] { FormClose(); });
    event->accept();
}

void TFTPForm::acQuitExecute()
{
    if (sessionConnected())
        endSession(true);
    close();
}

void TFTPForm::quitOnTerminationSignal()
{
    m_programEnded = true;
    // A modal box runs an event loop of its own above the main one. Every loop is told to end
    // first, so the box closes as if dismissed and a box opened after this (an error of the
    // Quit itself, say) returns at once: the program ends as soon as the calls return.
    QCoreApplication::exit(0);
    runReportingErrors([this] { acQuitExecute(); });
}

void TFTPForm::acResetExecute()
{
    showDisconnectedState();
    if (sessionConnected())
        endSession(true);
    dialogs().beep();
    dialogs().showMessage(
        QStringLiteral("Program has been reset to beginning - reconnect if necessary"));
}

bool TFTPForm::sessionConnected()
{
    return IdFTP1->IsConnected();
}

void TFTPForm::endSession(bool swallowErrors)
{
    m_operation.endedByUser = true;
    if (swallowErrors) {
        try {
            if (m_operation.TransferActive)
                m_transfers->abortRunningTransfer();
            IdFTP1->CloseSession();
        } catch (...) {
            dropConnection();
        }
        return;
    }
    // Closing the window: the session is closed even when the abort failed, and the first
    // failure keeps the window open.
    std::exception_ptr abortFailure;
    if (m_operation.TransferActive) {
        try {
            m_transfers->abortRunningTransfer();
        } catch (...) {
            abortFailure = std::current_exception();
        }
    }
    IdFTP1->CloseSession();
    if (abortFailure)
        std::rethrow_exception(abortFailure);
}

// The last resort after a failed disconnect: close without QUIT; nothing more to report.
void TFTPForm::dropConnection()
{
    try {
        if (IdFTP1->IsConnected())
            IdFTP1->CloseConnection();
    } catch (...) {
    }
}
