// The main window TFTPForm. It builds the window (FTPFormLayout.cpp), holds the session IdFTP1
// with its trace and pump, connects every command to its handler (one FTPForm*.cpp per
// concern), decides which commands are on (SetOpsEnabled, SetFileEnabled and the selection
// table), and keeps the window settings. The running operation's state, the transfer frame and
// the upload run are objects of their own that it owns and drives. Its widgets and actions are
// private: tests and tools find them by their objectName, which is the system's name.
#pragma once

#include "app/window/RunningOperation.h"
#include "app/window/TransferFrame.h"
#include "app/window/UploadRun.h"
#include "model/PaneRow.h"
#include "model/SelectionClass.h"
#include "net/IdComponent.h"

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QMimeData;
class QSplitter;
class QTabWidget;
class QStatusBar;
class QToolBar;
class PaneView;
class QueuePane;
class TransferQueue;
class Registry;
class TSiteForm;
class TAboutForm;
class TUseHTMLHelp;
class TIdAntiFreeze;
class TIdFTP;
class TIdLogEvent;
class EIdException;
struct SitePassword;
struct TarnSettingsRecord;
struct TSiteRecord;
struct SiteLogin;

class TFTPForm : public QMainWindow, private TransferFrame::Window, private UploadRun::Window {
    Q_OBJECT
    // Switches the site commands and Connect off while the keyring is awaited.
    friend class SiteCommandsPaused;

public:
    // A headless window is never shown and leaves a damaged settings store as it found it.
    enum class StartMode { Window, Headless };
    // `arguments` is the command line with the program path first; FormCreate runs here.
    explicit TFTPForm(const QStringList& arguments, QWidget* parent = nullptr,
                      StartMode mode = StartMode::Window);
    ~TFTPForm() override;

    // Ends the program at once with the given exit code (std::exit by default). Tests replace
    // it; when it returns, the window stops what it was doing instead.
    static std::function<void(int)>& exitProgramHook();
    // True once the program was asked to end: by CommandLineError, or by SIGTERM.
    [[nodiscard]] bool programEnded() const { return m_programEnded; }
    // SIGTERM (a logout, `kill`): Quit, and the program ends whatever box is open.
    void quitOnTerminationSignal();
    // The first activation: the first-site question, or the run of the upload list.
    void FormActivate();
    // Aborts a running transfer, then ends the session; with `swallowErrors` a failure only
    // drops the connection, otherwise it reaches the caller.
    void endSession(bool swallowErrors);

    // The session, its trace intercept and the pump that keeps the window answering.
    [[nodiscard]] TIdFTP& session() const { return *IdFTP1; }
    [[nodiscard]] TIdLogEvent& traceLog() const { return *IdLogEvent1; }
    [[nodiscard]] TIdAntiFreeze& pump() const { return *IdAntiFreeze1; }
    [[nodiscard]] RunningOperation& operation() { return m_operation; }
    [[nodiscard]] TransferFrame& transfers() { return *m_transfers; }
    [[nodiscard]] UploadRun& uploadRun() { return *m_uploadRun; }

    // The site editor, created hidden at start-up (or on first use) and shown modally.
    TSiteForm* siteEditor();
    // Shows the editor in mode 'N' or 'E'; answers whether a site was saved. Tests may
    // replace it to answer the modal dialog.
    std::function<bool(char editMode)> runSiteEditor;
    // The upload a double click on a local file starts (a listing follows a success); tests
    // may replace it. Answers success.
    std::function<bool(const std::string& localPath)> uploadFromLocalPane;
    // Told every trace line's text, without the time stamps the trace shows (the headless run
    // prints them with a stamp of its own).
    std::function<void(const QString& text)> traceLineEcho;
    // Lines of the trace pane, oldest first.
    [[nodiscard]] QStringList traceLines() const;

    // Status bar panels 0 to 3 (panel 0 carries the progress bar and no text).
    void setStatusPanel(int index, const QString& text) override;
    [[nodiscard]] QString statusPanel(int index) const;
    // The current local directory (LocDir) as bytes, and setting it: LocDir shows the text,
    // and a directory whose name is not valid UTF-8 keeps its bytes while LocDir shows it.
    [[nodiscard]] std::string localDirectory() const override;
    void setLocalDirectory(const std::string& directory);

    // The command availability: the session commands ("Ops") and the site commands ("File").
    void SetOpsEnabled(bool on) override;
    void SetFileEnabled(bool on);
    [[nodiscard]] bool opsEnabled() const { return OpsEnabled; }
    // Every action whose category is exactly `category`, and every action in list order.
    [[nodiscard]] std::vector<QAction*> actionsOfCategory(const QString& category) const;
    [[nodiscard]] const std::vector<QAction*>& actionList() const { return ActionList1; }
    // The transfer commands of the selection, also when the selection left them off.
    void acUploadExecute();
    void acDownloadExecute();

    std::string TempFolderPath;                          // ends with '/'
    QString HelpFile = QStringLiteral("TarnHelp.qhc");   // a full path after FormCreate

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Start-up, settings and shutdown (FTPUnit.cpp).
    void createSession();
    void FormCreate(const QStringList& arguments);
    bool checkProgramArguments(const QStringList& arguments);
    void CommandLineError(const QString& detail);
    void placeProgressBar();
    void readSettings();
    void writeSettings();
    TarnSettingsRecord currentSettings() const;
    void applyPaneSizes();
    void fitRestoredGeometryToScreen();
    void activateOnce();
    bool FormCloseQuery();
    void FormClose();
    void acQuitExecute();
    void acResetExecute();
    bool sessionConnected() override;
    void dropConnection();
    void UsePassiveClick();

    // Layout (FTPFormLayout.cpp).
    void createToolBar();
    void createDirectoryBar();
    void createPanes();
    void createStatusBar();
    void createMenus();
    void createPopupMenus();
    void orderTabStops();
    void bindButton(QAbstractButton* button, QAction* action, bool takeCaption);
    // Column widths of both panes, kept as values at the root of the settings store; written
    // with the settings record, through its open key, and only when they changed.
    void readLayoutSettings();
    void writeLayoutSettings(Registry& registry);

    // Actions and command availability (FTPFormActions.cpp).
    void createActions();
    void connectActions();
    void connectPaneKeys();
    unsigned ClassifySelection(const PaneView* pane) const;
    void LVLClick();
    void LVRClick();
    void PopupMenuLocalPopup();
    void PopupMenuRemotePopup();
    // The commands that follow a pane's selection, and the captions its menu gives them.
    void followSelection(SelectionView view);
    void showSelectionCaptions(bool remote);
    std::vector<std::pair<unsigned, QAction*>> paneCommandActions() const;

    // Site box and site commands (FTPFormSites.cpp).
    void FillSiteBox();
    void tbSiteChange(int index);
    void acCreateSiteExecute();
    void acEditSiteExecute();
    void acDeleteSiteExecute();
    void acExportAllSitesExecute();
    void acExportSiteExecute();
    void acImportSiteExecute();
    // Shows the site editor and, when a site was saved, refills the site box and local pane.
    void editSite(char editMode);
    // The session leaves the previous site; the site box shows the new one without running its
    // change handler, and the directories and passive flag follow the site.
    void selectUploadSite(int siteIndex) override;

    // Connection and failure reports (FTPFormConnect.cpp).
    void connectSessionEvents();
    void acConnectExecute() override;
    void showConnectCommand(bool connected);
    // The remote pane emptied and the commands of the disconnected state.
    void showDisconnectedState();
    void showSecurityState();
    void connectSession();
    // The site's password, the window responsive while the keyring is asked.
    SitePassword sitePasswordForConnect(const TSiteRecord& site);
    void openSiteSession(const std::string& remoteDirectory);
    void finishConnect();
    void disconnectSession();
    void finishDisconnect();
    // Logs, reports and disconnects after a failed network operation named by `placeCode`;
    // "CD" only shows its box. A failure log that cannot be written changes none of this; its
    // trouble is told in one more line.
    void ReportFailure(const EIdException& error, const QString& placeCode) override;
    void closeAfterFailure();
    // Where ReportFailure appends its lines: TempFolderPath + "FTP-log.txt".
    std::string failureLogPath() const;
    // Appends the failure's line to the log; answers what kept it from being written.
    std::optional<QString> writeFailureLog(const EIdException& error, const QString& placeCode);
    void tellLogTrouble(const QString& trouble);
    void IdFTP1Status(TIdStatus status, const std::string& statusText);
    void IdFTP1Disconnected();

    // Trace (FTPFormTrace.cpp).
    void connectTrace();
    void AddTraceLine(int size, bool bold, const QColor& colour, const QString& text);
    // A blue status line of the trace with its time stamp: the time first ("12:00:01 - text"),
    // or the time and date last ("text 12:00:01 07/12/26"). Answers the line as shown.
    enum class TraceStamp { TimeFirst, TimeAndDateLast };
    QString addStampedTraceLine(const QString& text, TraceStamp stamp);
    void traceRunLine(const QString& text) override;
    void TraceData(const QColor& colour, const QString& prefix, const std::string& data);
    void IdLogEvent1Received(const std::string& data);
    void IdLogEvent1Sent(const std::string& data);
    void acTraceToggleExecute();

    // Remote pane (FTPFormRemote.cpp).
    void connectRemotePane();
    std::string remoteDirectory() const;
    void ListRemoteDirectory() override;
    void ChangeRemoteDir(const std::string& directory);
    void reportRefusedChangeOfDirectory(const EIdException& error);
    bool enteredRemoteLink(const std::string& name);
    void acRemoteRefreshExecute();
    void acRemoteChgDirExecute();
    void acRemoteUpExecute();
    void acLVRdblclickExecute();
    void acRemoteMakeDirExecute();
    void acRemoteDeleteExecute();
    bool deleteRemoteRow(const PaneRow& row);
    void acRemoteRenameExecute();
    void LVREdited(int row, const QString& text);
    bool renameWouldReplace(const std::string& oldName, const std::string& newName) const;
    // A command that would open a modal box, run from the pump under a running session
    // command, would hold that command until the box closes: it beeps and answers true.
    bool refusedWhileSessionBusy();

    // Local pane (FTPFormLocal.cpp).
    void connectLocalPane();
    // Refills LVL from LocDir; "Local entries=" in status panel 2.
    void ListLocalDirectory();
    void acLocalRefreshExecute();
    void acLocalChgDirExecute();
    void LVLDblClick();
    void acLocalUpExecute();
    void acLocalBrowseExecute();
    void acLocalMakeDirExecute();
    void acLocalDeleteExecute();
    void acLocalRenameExecute();
    // End of in-place editing of row `row`'s Name with `text`.
    void LVLEdited(int row, const QString& text);

    // Transfers (FTPFormTransfers.cpp; the frame itself is TransferFrame).
    void connectTransfers();
    void acDownloadSaveAsExecute();

    // The transfer queue (FTPFormQueue.cpp; its pane is QueuePane).
    void createQueue();
    void endQueue();
    void showQueueResults();
    void startQueue();
    std::optional<SiteLogin> queueLogin();
    void queueUploads(const std::vector<std::string>& localPaths);
    void queueDownloads(const std::vector<PaneRow>& rows);
    void acLocalQueueExecute();
    void acRemoteQueueExecute();
    bool dropOnLocalPane(const QMimeData& data, bool perform);
    bool dropOnRemotePane(const QMimeData& data, bool perform);

    // Help and About (FTPFormHelp.cpp).
    void connectHelp();
    void acHelpContentsExecute();
    void acHelpIndexExecute();
    void acHelpTopicSearchExecute();
    void acHelpOnHelpExecute();
    void mHelpAboutClick();

    // The session; the trace intercept outlives the session it is attached to.
    std::unique_ptr<TIdLogEvent> IdLogEvent1;
    std::unique_ptr<TIdFTP> IdFTP1;
    std::unique_ptr<TIdAntiFreeze> IdAntiFreeze1;
    RunningOperation m_operation;
    std::unique_ptr<TransferFrame> m_transfers;
    std::unique_ptr<UploadRun> m_uploadRun;
    bool OpsEnabled = false;

    // Widgets the window's code works with; every one (and every button and menu item) carries
    // its name as objectName.
    QToolBar* ToolBar1 = nullptr;
    QComboBox* tbSite = nullptr;
    QCheckBox* UsePassive = nullptr;
    QCheckBox* TraceCheckBox = nullptr;
    QFrame* Panel1 = nullptr;
    QLineEdit* LocDir = nullptr;
    QLineEdit* RemDir = nullptr;
    QSplitter* Splitter1 = nullptr;      // panes above, trace below
    QSplitter* VertSplitter = nullptr;   // local pane left, remote pane right
    PaneView* LVL = nullptr;
    PaneView* LVR = nullptr;
    // The trace and the queue, as tabs under the panes.
    QTabWidget* LogTabs = nullptr;
    QPlainTextEdit* RTFLog = nullptr;
    QueuePane* m_queuePane = nullptr;
    std::unique_ptr<TransferQueue> m_queue;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanels[4] = {};
    // Whether the open session is encrypted; empty while disconnected.
    QLabel* SecurityPanel = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QMenu* PopupMenuLocal = nullptr;
    QMenu* PopupMenuRemote = nullptr;
    QAction* mHelpAbout = nullptr;
    // The application's help hook, and the About box once it has been asked for.
    TUseHTMLHelp* UseHTMLHelp1 = nullptr;
    TAboutForm* AboutForm = nullptr;
    TSiteForm* m_siteEditor = nullptr;

    // The actions (ActionList1), in list order.
    QAction* acCreateSite = nullptr;
    QAction* acEditSite = nullptr;
    QAction* acDeleteSite = nullptr;
    QAction* acExportSite = nullptr;
    QAction* acExportAllSites = nullptr;
    QAction* acImportSite = nullptr;
    QAction* acConnect = nullptr;
    QAction* acUpload = nullptr;
    QAction* acDownload = nullptr;
    QAction* acDownloadSaveAs = nullptr;
    QAction* acRemoteMakeDir = nullptr;
    QAction* acRemoteDelete = nullptr;
    QAction* acRemoteUp = nullptr;
    QAction* acRemoteRefresh = nullptr;
    QAction* acRemoteChgDir = nullptr;
    QAction* acRemoteRename = nullptr;
    QAction* acLVRdblclick = nullptr;
    QAction* acLocalChgDir = nullptr;
    QAction* acLocalUp = nullptr;
    QAction* acLocalMakeDir = nullptr;
    QAction* acLocalDelete = nullptr;
    QAction* acLocalRefresh = nullptr;
    QAction* acLocalRename = nullptr;
    QAction* acLocalBrowse = nullptr;
    QAction* acReset = nullptr;
    QAction* acAbortTransfer = nullptr;
    QAction* acQuit = nullptr;
    QAction* acTraceToggle = nullptr;
    QAction* acHelpContents = nullptr;
    QAction* acHelpIndex = nullptr;
    QAction* acHelpTopicSearch = nullptr;
    QAction* acHelpOnHelp = nullptr;
    QAction* acLocalQueue = nullptr;
    QAction* acRemoteQueue = nullptr;
    std::vector<QAction*> ActionList1;

    bool m_programEnded = false;
    StartMode m_startMode = StartMode::Window;
    bool m_activatedOnce = false;
    bool m_inFormActivate = false;
    bool m_paneSizesApplied = false;
    // The geometry came from the settings store and is fitted to the screen when first shown.
    bool m_fitToScreen = false;
    bool m_localPaneConnected = false;
    // The default split of the window: the local pane's width and the trace's height.
    static constexpr int kDefaultLocalPaneWidth = 373;
    static constexpr int kDefaultTracePaneHeight = 174;
    int m_localPaneWidth = kDefaultLocalPaneWidth;
    int m_tracePaneHeight = kDefaultTracePaneHeight;
};
