// The main window TFTPForm: layout, menus and actions, settings, site box and command
// availability. Its methods are spread over FTPForm*.cpp files by concern, all declared here.
#pragma once

#include "app/PaneRow.h"
#include "app/TransferProgress.h"
#include "net/IdComponent.h"

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QPlainTextEdit;
class QToolBar;
class QToolButton;
class PaneView;
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

class TFTPForm : public QMainWindow {
    Q_OBJECT

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
    bool programEnded() const { return m_programEnded; }

    // --- Unit-level state -------------------------------------------------------------
    std::string TempFolderPath;                       // ends with '/'
    std::string UploadListName;                       // the one command-line argument
    std::optional<std::vector<std::string>> UploadList;
    bool AutoUploadActive = false;
    bool OpsEnabled = false;
    // The sort state of both panes (SortColumn, SortAscending) lives with the pane sort.
    bool TransferActive = false;
    bool AbortRequested = false;
    QString HelpFile = QStringLiteral("TarnHelp.qhc");   // a full path after FormCreate

    // --- Session objects: the trace intercept outlives the session it is attached to ----
    std::unique_ptr<TIdLogEvent> IdLogEvent1;
    std::unique_ptr<TIdFTP> IdFTP1;
    std::unique_ptr<TIdAntiFreeze> IdAntiFreeze1;

    // --- Start-up, settings and shutdown ----------------------------------------------
    void FormCreate(const QStringList& arguments);
    void FormActivate();
    bool FormCloseQuery();
    void FormClose();
    void CommandLineError(const QString& detail);
    void acQuitExecute();
    // SIGTERM (a logout, `kill`): Quit, and the program ends whatever box is open.
    void quitOnTerminationSignal();
    void acResetExecute();

    // --- Unattended upload (FTPFormUpload.cpp) ------------------------------------------
    // How a run of UploadList ended: every file uploaded (or nothing to do), a bad line, a
    // site that could not be connected, or a failed upload.
    enum class UploadRunResult { Completed, BadList, NotConnected, UploadFailed };
    // The unattended run of UploadList, started by FormActivate; it discards the list.
    UploadRunResult AutoUploadRun();
    // Splits and checks one list line; a bad line is reported with UploadLineError.
    bool ParseUploadLine(const std::string& line, std::string& fileName, int& siteIndex);
    void UploadLineError(const std::string& line, const QString& reason);
    // Aborts a running transfer, then ends the session; with `swallowErrors` a failure only
    // drops the connection, otherwise it reaches the caller.
    void endSession(bool swallowErrors);
    // Told every line AddTraceLine adds (the headless run prints them).
    std::function<void(const QString& text)> traceLineEcho;

    // --- Site box ---------------------------------------------------------------------
    void FillSiteBox();
    void tbSiteChange(int index);
    void acCreateSiteExecute();
    void acEditSiteExecute();
    void acDeleteSiteExecute();
    void acExportAllSitesExecute();
    void acExportSiteExecute();
    void acImportSiteExecute();
    // The site editor, created hidden at start-up (or on first use) and shown modally.
    TSiteForm* siteEditor();
    // Shows the editor in mode 'N' or 'E'; answers whether a site was saved. Tests may
    // replace it to answer the modal dialog.
    std::function<bool(char editMode)> runSiteEditor;

    // --- Connection (FTPFormConnect.cpp) ------------------------------------------------
    void acConnectExecute();
    // Every change of UsePassive, by the user or by the program: the session's Passive flag.
    void UsePassiveClick();
    // Logs, reports and disconnects after a failed network operation named by `placeCode`;
    // "CD" only shows its box. A failure log that cannot be written changes none of this; its
    // trouble is told in one more line.
    void ReportFailure(const EIdException& error, const QString& placeCode);
    void IdFTP1Status(TIdStatus status, const std::string& statusText);
    void IdFTP1Disconnected();
    // Where ReportFailure appends its lines: TempFolderPath + "FTP-log.txt".
    std::string failureLogPath() const;

    // --- Trace (FTPFormTrace.cpp) -------------------------------------------------------
    void AddTraceLine(int size, bool bold, const QColor& colour, const QString& text);
    void TraceData(const QColor& colour, const QString& prefix, const std::string& data);
    void IdLogEvent1Received(const std::string& data);
    void IdLogEvent1Sent(const std::string& data);
    void acTraceToggleExecute();
    // Lines of the trace pane, oldest first (for tests and the window's own checks).
    QStringList traceLines() const;

    // --- Remote pane (FTPFormRemote.cpp) ------------------------------------------------
    void ListRemoteDirectory();
    void ChangeRemoteDir(const std::string& directory);
    void acRemoteRefreshExecute();
    void acRemoteChgDirExecute();
    void acRemoteUpExecute();
    void acLVRdblclickExecute();
    void acRemoteMakeDirExecute();
    void acRemoteDeleteExecute();
    void acRemoteRenameExecute();
    void LVREdited(int row, const QString& text);
    // The server's current directory as bytes (RemDir shows it as text).
    std::string remoteDirectory() const;

    // --- Transfers (FTPFormTransfers.cpp) -----------------------------------------------
    // Uploads a local file (a bare name is taken from the local directory); answers success.
    bool UploadFile(const std::string& name);
    // Mode 1 overwrites an existing local file; any other mode asks whether to resume.
    bool DownloadFile(const std::string& remoteName, const std::string& localPath, int mode);
    void acUploadExecute();
    void acDownloadExecute();
    void acDownloadSaveAsExecute();
    void acAbortTransferExecute();
    void IdFTP1WorkBegin(TWorkMode mode, std::int64_t maximum);
    void IdFTP1Work(TWorkMode mode, std::int64_t count);
    void IdFTP1WorkEnd(TWorkMode mode);
    std::int64_t ExpectedSize = 0;
    double TransferSpeed = 0;

    // --- Command availability ---------------------------------------------------------
    void SetOpsEnabled(bool on);
    void SetFileEnabled(bool on);
    unsigned ClassifySelection(const PaneView* pane) const;
    void LVLClick();
    void LVRClick();
    void PopupMenuLocalPopup();
    void PopupMenuRemotePopup();
    // Every action whose category is exactly `category`.
    std::vector<QAction*> actionsOfCategory(const QString& category) const;

    // Status bar panels 0 to 3 (panel 0 carries the progress bar and no text).
    void setStatusPanel(int index, const QString& text);
    QString statusPanel(int index) const;

    // --- Help and About (FTPFormHelp.cpp) -----------------------------------------------
    void acHelpContentsExecute();
    void acHelpIndexExecute();
    void acHelpTopicSearchExecute();
    void acHelpOnHelpExecute();
    void mHelpAboutClick();
    // The application's help hook, and the About box once it has been asked for.
    TUseHTMLHelp* UseHTMLHelp1 = nullptr;
    TAboutForm* AboutForm = nullptr;

    // --- Widgets ------------------------------------------------------------------------
    QToolBar* ToolBar1 = nullptr;
    QToolButton* tbCreateSite = nullptr;
    QToolButton* tbDeleteSite = nullptr;
    QToolButton* btEditSite = nullptr;
    QComboBox* tbSite = nullptr;
    QToolButton* tbConnect = nullptr;
    QToolButton* tbUpload = nullptr;
    QToolButton* tbDownload = nullptr;
    QToolButton* tbSaveAs = nullptr;
    QToolButton* tbAbort = nullptr;
    QCheckBox* UsePassive = nullptr;
    QCheckBox* TraceCheckBox = nullptr;
    QToolButton* tbReset = nullptr;
    QPushButton* tbQuitClose = nullptr;

    QFrame* Panel1 = nullptr;
    QLabel* LocDirLabel = nullptr;
    QLineEdit* LocDir = nullptr;
    QToolBar* tbLocal = nullptr;
    QToolButton* tblUp = nullptr;
    QToolButton* tblNew = nullptr;
    QToolButton* tblRefresh = nullptr;
    QToolButton* tblDelete = nullptr;
    QToolButton* tblBrowse = nullptr;
    QLabel* RemDirLabel = nullptr;
    QLineEdit* RemDir = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QToolButton* tbrUp = nullptr;
    QToolButton* tbrMakeDir = nullptr;
    QToolButton* tbrRefreshDir = nullptr;
    QToolButton* tbrDelete = nullptr;

    QSplitter* Splitter1 = nullptr;      // panes above, trace below
    QSplitter* VertSplitter = nullptr;   // local pane left, remote pane right
    PaneView* LVL = nullptr;
    PaneView* LVR = nullptr;
    QPlainTextEdit* RTFLog = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanels[4] = {};
    // Whether the open session is encrypted; empty while disconnected.
    QLabel* SecurityPanel = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    QMenuBar* MainMenu1 = nullptr;
    QMenu* mFile = nullptr;
    QMenu* mEdit = nullptr;
    QMenu* mAction = nullptr;
    QMenu* mHelp = nullptr;
    QMenu* PopupMenuLocal = nullptr;
    QMenu* PopupMenuRemote = nullptr;

    // Menu items: each is its own item bound to an action (see BoundMenuItem).
    QAction* mExportSites = nullptr;
    QAction* mExCurSite = nullptr;
    QAction* mImportSites = nullptr;
    QAction* Exit1 = nullptr;
    QAction* mCreateSite = nullptr;
    QAction* mEditSite = nullptr;
    QAction* mDeleteSite = nullptr;
    QAction* mConnect = nullptr;
    QAction* Upload1 = nullptr;
    QAction* mDownload = nullptr;
    QAction* mDownloadSaveAs = nullptr;
    QAction* mResetAll = nullptr;
    QAction* mHelpContents = nullptr;
    QAction* mHelpIndex = nullptr;
    QAction* mTopicSearch = nullptr;
    QAction* HelponHelp1 = nullptr;
    QAction* mHelpAbout = nullptr;
    QAction* pulUpload = nullptr;
    QAction* pulRefresh = nullptr;
    QAction* pulChangeDir = nullptr;
    QAction* pulUp = nullptr;
    QAction* pulMakeDir = nullptr;
    QAction* pulLocalRename = nullptr;
    QAction* pulDelete = nullptr;
    QAction* purDownload = nullptr;
    QAction* purSaveAs = nullptr;
    QAction* purRefreshDir = nullptr;
    QAction* purChangeDir = nullptr;
    QAction* purUp = nullptr;
    QAction* purCreateDirectory = nullptr;
    QAction* purRename = nullptr;
    QAction* purDelete = nullptr;

    // --- Actions (ActionList1) ----------------------------------------------------------
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
    std::vector<QAction*> ActionList1;

    // --- Local pane ---------------------------------------------------------------------
    // (declarations of the local pane's methods and slots, implemented in FTPFormLocal.cpp)
    // Connects the local actions (acLocalRefresh, acLocalChgDir, acLocalUp, acLocalBrowse,
    // acLocalMakeDir, acLocalDelete, acLocalRename) and LVL's double click and in-place edit
    // to the handlers below. Call once, after the panes and actions exist; connecting twice
    // does nothing more.
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
    // The current local directory (LocDir) as bytes, and setting it: LocDir shows the text,
    // and a directory whose name is not valid UTF-8 keeps its bytes while LocDir shows it.
    std::string localDirectory() const;
    void setLocalDirectory(const std::string& directory);
    // Uploads a local file on a double click; empty until uploading exists. Answers success.
    std::function<bool(const std::string& localPath)> uploadFromLocalPane;

    // --- End of local pane --------------------------------------------------------------

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createPopupMenus();
    void createToolBar();
    void createDirectoryBar();
    void createPanes();
    void createStatusBar();
    void showPaneKeysInMenus();
    void orderTabStops();
    void connectPaneKeys();
    // Column widths of both panes, kept as values at the root of the settings store; written
    // with the settings record, through its open key, and only when they changed.
    void readLayoutSettings();
    void writeLayoutSettings(Registry& registry);
    void createSession();
    void connectActions();
    // The Help menu, the About item and the help contexts of the window's parts.
    void connectHelp();
    void bindButton(QAbstractButton* button, QAction* action, bool takeCaption);
    void placeProgressBar();
    bool checkCommandLine(const QStringList& arguments);
    void readSettings();
    void writeSettings();
    TarnSettingsRecord currentSettings() const;
    void applyPaneSizes();
    void fitRestoredGeometryToScreen();
    void activateOnce();
    bool sessionConnected();
    void dropConnection();
    // Shows the site editor and, when a site was saved, refills the site box and local pane.
    void editSite(char editMode);

    // Connection.
    void connectSessionEvents();
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
    void closeAfterFailure();
    // Appends the failure's line to the log; answers what kept it from being written.
    std::optional<QString> writeFailureLog(const EIdException& error, const QString& placeCode);
    void tellLogTrouble(const QString& trouble);
    // Trace.
    void connectTrace();
    // Remote pane.
    void connectRemotePane();
    void reportRefusedChangeOfDirectory(const EIdException& error);
    bool enteredRemoteLink(const std::string& name);
    bool deleteRemoteRow(const PaneRow& row);
    bool renameWouldReplace(const std::string& oldName, const std::string& newName) const;
    // A command of the session is running (possibly paused in the pump under this call).
    bool sessionOperationRunning() const;
    // A command that would open a modal box, run from the pump under a running session
    // command, would hold that command until the box closes: it beeps and answers true.
    bool refusedWhileSessionBusy();
    // Unattended upload.
    UploadRunResult uploadListLine(const std::string& line, int n);
    void selectUploadSite(int siteIndex);
    // Transfers.
    void connectTransfers();
    // The local directory + the remote name, or none after an error box when the server's
    // name cannot be a local file name.
    std::optional<std::string> localPathFor(const std::string& remoteName);
    bool mayDownloadAll(const std::vector<PaneRow>& rows);
    void downloadAsChosen(const std::string& remoteName, const std::string& localPath, int mode);
    void abortRunningTransfer();
    void reportTransferFailure(const EIdException& error, const QString& placeCode);
    void endFailedTransfer();
    bool runTransferCommand(const QString& placeCode, const std::function<void()>& transfer);

    // Marks a session command as running for as long as it is on the stack, also while it
    // waits in the pump; the outermost one starts with no abort recorded.
    class OperationScope {
    public:
        explicit OperationScope(TFTPForm& form) : m_form(form)
        {
            if (m_form.m_operationDepth++ == 0)
                m_form.m_transferAborted = false;
        }
        ~OperationScope() { --m_form.m_operationDepth; }
        OperationScope(const OperationScope&) = delete;
        OperationScope& operator=(const OperationScope&) = delete;

    private:
        TFTPForm& m_form;
    };

    bool m_programEnded = false;
    StartMode m_startMode = StartMode::Window;
    bool m_activatedOnce = false;
    bool m_inFormActivate = false;
    bool m_paneSizesApplied = false;
    // The geometry came from the settings store and is fitted to the screen when first shown.
    bool m_fitToScreen = false;
    bool m_localPaneConnected = false;
    int m_localPaneWidth = 373;
    int m_tracePaneHeight = 174;
    TSiteForm* m_siteEditor = nullptr;

    int m_operationDepth = 0;
    // The user disconnected, reset or quit: a command that fails under it is not reported.
    bool m_sessionEndedByUser = false;
    // An abort went out during the running command.
    bool m_transferAborted = false;
    std::chrono::steady_clock::time_point m_transferStart;
    std::optional<std::chrono::steady_clock::time_point> m_lastDisplay;
    std::int64_t m_progressTotal = 0;
    ProgressScale m_progressScale;
};
