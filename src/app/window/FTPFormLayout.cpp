// The main window's layout: toolbar, directory bar, panes, splitters, trace pane, status bar,
// main menu and the two pane menus.
#include "app/window/FTPUnit.h"

#include "app/panes/PaneView.h"
#include "app/window/BoundMenuItem.h"
#include "model/PaneSort.h"
#include "model/SettingsRecord.h"
#include "platform/ErrorReport.h"
#include "platform/Registry.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kSplitterHandle = 3;
// The panes' share of the height until the window is shown and applyPaneSizes sets the real one.
constexpr int kFirstPanesHeight = 300;
constexpr int kDirectoryBoxMinimumWidth = 100;
constexpr int kSiteBoxWidth = 145;
constexpr int kSiteNameLength = 20;
const int kStatusPanelWidths[4] = {200, 300, 120, 150};
// The widest texts the panels show: a download at loopback speed with the longest remaining
// time (16 bits of seconds), and entry counts of up to six digits.
const char* const kStatusPanelSamples[4] = {"", "Download speed 9999999.99 KB/s; Time remaining 18:12:15",
                                            "Local entries=000000", "Remote entries=000000"};
constexpr int kStatusPanelPadding = 12;
constexpr int kMessagePanel = 1;
// In a window too narrow for every panel (a small screen at a large scale) the progress and
// message panels shrink down to this, so the entry counts stay in sight.
constexpr int kShrinkingPanelFloor = 60;

// A status panel of a set width that the status bar may narrow down to a floor.
class StatusPanelLabel : public QLabel {
public:
    StatusPanelLabel(int width, int floor, QWidget* parent) : QLabel(parent), m_width(width)
    {
        setMinimumWidth(floor);
        setMaximumWidth(width);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override { return {m_width, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {minimumWidth(), QLabel::minimumSizeHint().height()}; }

private:
    int m_width;
};

// The panes above, the trace below. When the window grows the panes take the new height; when
// it shrinks the trace gives up its height first, down to its smallest, and only then the panes.
class TraceSplitter : public QSplitter {
public:
    using QSplitter::QSplitter;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        const QList<int> before = sizes();
        QSplitter::resizeEvent(event);
        const int shrink = event->oldSize().height() - event->size().height();
        if (!event->oldSize().isValid() || shrink <= 0 || before.size() != 2 || count() != 2)
            return;
        const int traceFloor = widget(1)->minimumSizeHint().height();
        const int traceGives = std::min(shrink, std::max(0, before[1] - traceFloor));
        setSizes({std::max(0, before[0] - (shrink - traceGives)), before[1] - traceGives});
    }
};

QToolBar* newToolBar(QWidget* parent, const char* name)
{
    auto* bar = new QToolBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return bar;
}

QToolButton* addButton(QToolBar* bar, QAction* action, const char* name)
{
    bar->addAction(action);
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    return button;
}

// A blank gap between toolbar groups.
void addGap(QToolBar* bar, int width)
{
    auto* gap = new QWidget(bar);
    gap->setFixedWidth(width);
    bar->addWidget(gap);
}

// A check box whose text stands left of the box.
QCheckBox* newTextLeftCheckBox(QWidget* parent, const char* name, const QString& caption,
                               int width)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setLayoutDirection(Qt::RightToLeft);
    box->setMinimumWidth(width);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

// The directory boxes share the width of the bar, so a long path shows whole on a wide
// window; on a narrow one they give way first, so that both toolbars show all their buttons.
// Read-only, but a tab stop: the path can be selected and copied from the keyboard.
QLineEdit* newDirectoryBox(QWidget* parent, const char* name)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setMinimumWidth(kDirectoryBoxMinimumWidth);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    box->setFocusPolicy(Qt::StrongFocus);
    return box;
}

void keepWholeWidth(QWidget* widget)
{
    widget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

// The pane columns are laid out for a small 8-point font; where the system font is wider, a
// column grows just enough for its heading and its usual content, so dates and types are not
// cut off, and the Name column gives up what the pane then lacks (down to a floor).
void fitColumnsToFont(PaneView* pane, int paneWidth)
{
    constexpr int kNameFloor = 100;
    static const char* const kSamples[] = {"", "  1,024k", "0000/00/00 00:00", "Directory",
                                           "rwxrwxrwx"};
    constexpr int kPadding = 14;
    const QFontMetrics items(pane->font());
    const QFontMetrics heading(pane->header()->font());
    const int columns = pane->model()->columnCount();
    for (int column = 0; column < columns && column < 5; ++column) {
        const QString title = pane->model()->headerData(column, Qt::Horizontal).toString();
        const int needed = std::max(items.horizontalAdvance(QString::fromLatin1(kSamples[column])),
                                    heading.horizontalAdvance(title)) + kPadding;
        pane->setColumnWidth(column, std::max(pane->columnWidth(column), needed));
    }
    int total = 0;
    for (int column = 0; column < columns; ++column)
        total += pane->columnWidth(column);
    const int room = paneWidth - 2 * pane->frameWidth();
    if (total > room)
        pane->setColumnWidth(0, std::max(kNameFloor, pane->columnWidth(0) - (total - room)));
}

// A menu item bound to `action`; a pane menu shows beside it the key its pane answers.
QAction* addItem(QMenu* menu, QAction* action, const char* name, const char* ownCaption = "",
                 const QKeySequence& paneKey = {})
{
    auto* item = new BoundMenuItem(action, QString::fromLatin1(ownCaption), menu);
    item->setObjectName(QString::fromLatin1(name));
    if (!paneKey.isEmpty())
        item->showKey(paneKey);
    menu->addAction(item);
    return item;
}

} // namespace

void TFTPForm::bindButton(QAbstractButton* button, QAction* action, bool takeCaption)
{
    auto follow = [button, action, takeCaption] {
        button->setEnabled(action->isEnabled());
        button->setToolTip(action->toolTip());
        if (takeCaption)
            button->setText(action->text());
    };
    follow();
    connect(action, &QAction::changed, button, follow);
    connect(button, &QAbstractButton::clicked, action, reportingErrors([action] { action->trigger(); }));
}

void TFTPForm::createToolBar()
{
    ToolBar1 = newToolBar(this, "ToolBar1");
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    addButton(ToolBar1, acCreateSite, "tbCreateSite");
    addButton(ToolBar1, acDeleteSite, "tbDeleteSite");
    addButton(ToolBar1, acEditSite, "btEditSite");
    addGap(ToolBar1, 8);
    tbSite = new QComboBox(ToolBar1);
    tbSite->setObjectName(QStringLiteral("tbSite"));
    tbSite->setToolTip(QStringLiteral("Select site"));
    tbSite->addItem(QStringLiteral("- no sites. Create one - "));
    // 145 wide, or what a 20-character site name or the start-up item needs in the font.
    tbSite->setMinimumContentsLength(kSiteNameLength);
    tbSite->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    tbSite->setFixedWidth(std::max(kSiteBoxWidth, tbSite->sizeHint().width()));
    ToolBar1->addWidget(tbSite);
    addButton(ToolBar1, acConnect, "tbConnect");
    ToolBar1->addSeparator();
    addButton(ToolBar1, acUpload, "tbUpload");
    addButton(ToolBar1, acDownload, "tbDownload");
    addGap(ToolBar1, 5);
    addButton(ToolBar1, acDownloadSaveAs, "tbSaveAs");
    addGap(ToolBar1, 8);
    addButton(ToolBar1, acAbortTransfer, "tbAbort");
    addGap(ToolBar1, 8);
    UsePassive = newTextLeftCheckBox(ToolBar1, "UsePassive", QStringLiteral("  Passive transfer"), 104);
    UsePassive->setToolTip(
        QStringLiteral("Uses FTP Passive transfer if checked. Set in Site definitions"));
    ToolBar1->addWidget(UsePassive);
    addGap(ToolBar1, 8);
    TraceCheckBox = newTextLeftCheckBox(ToolBar1, "TraceCheckBox", QStringLiteral("  Connection trace"), 108);
    TraceCheckBox->setChecked(true);
    bindButton(TraceCheckBox, acTraceToggle, false);
    ToolBar1->addWidget(TraceCheckBox);
    addGap(ToolBar1, 8);
    addButton(ToolBar1, acReset, "tbReset");
    addGap(ToolBar1, 8);
    auto* tbQuitClose = new QPushButton(ToolBar1);
    tbQuitClose->setObjectName(QStringLiteral("tbQuitClose"));
    QFont bold = tbQuitClose->font();
    bold.setBold(true);
    tbQuitClose->setFont(bold);
    tbQuitClose->setMinimumSize(82, 22);
    tbQuitClose->setFocusPolicy(Qt::NoFocus);
    bindButton(tbQuitClose, acQuit, true);
    ToolBar1->addWidget(tbQuitClose);
}

void TFTPForm::createDirectoryBar()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFixedHeight(33);
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(4);

    auto* LocDirLabel = new QLabel(QStringLiteral("  Local directory:"), Panel1);
    LocDirLabel->setObjectName(QStringLiteral("LocDirLabel"));
    LocDir = newDirectoryBox(Panel1, "LocDir");
    QToolBar* tbLocal = newToolBar(Panel1, "tbLocal");
    addButton(tbLocal, acLocalUp, "tblUp");
    addButton(tbLocal, acLocalMakeDir, "tblNew");
    addButton(tbLocal, acLocalRefresh, "tblRefresh");
    addButton(tbLocal, acLocalDelete, "tblDelete");
    addButton(tbLocal, acLocalBrowse, "tblBrowse");

    auto* RemDirLabel = new QLabel(QStringLiteral("Remote Directory:"), Panel1);
    RemDirLabel->setObjectName(QStringLiteral("RemDirLabel"));
    RemDir = newDirectoryBox(Panel1, "RemDir");
    QToolBar* ToolBar2 = newToolBar(Panel1, "ToolBar2");
    addButton(ToolBar2, acRemoteUp, "tbrUp");
    addButton(ToolBar2, acRemoteMakeDir, "tbrMakeDir");
    addButton(ToolBar2, acRemoteRefresh, "tbrRefreshDir");
    addButton(ToolBar2, acRemoteDelete, "tbrDelete");

    for (QWidget* fixed : {static_cast<QWidget*>(LocDirLabel), static_cast<QWidget*>(tbLocal),
                           static_cast<QWidget*>(RemDirLabel), static_cast<QWidget*>(ToolBar2)})
        keepWholeWidth(fixed);
    row->addWidget(LocDirLabel);
    row->addWidget(LocDir, 1);
    row->addWidget(tbLocal);
    row->addSpacing(8);
    row->addWidget(RemDirLabel);
    row->addWidget(RemDir, 1);
    row->addWidget(ToolBar2);
}

void TFTPForm::createPanes()
{
    Splitter1 = new TraceSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    VertSplitter = new QSplitter(Qt::Horizontal, Splitter1);
    VertSplitter->setObjectName(QStringLiteral("VertSplitter"));
    LVL = new PaneView(kLocalPaneTag, VertSplitter);
    LVL->setObjectName(QStringLiteral("LVL"));
    LVR = new PaneView(kRemotePaneTag, VertSplitter);
    LVR->setObjectName(QStringLiteral("LVR"));
    fitColumnsToFont(LVL, m_localPaneWidth);
    fitColumnsToFont(LVR, width() - m_localPaneWidth - kSplitterHandle);
    LogTabs = new QTabWidget(Splitter1);
    LogTabs->setObjectName(QStringLiteral("LogTabs"));
    LogTabs->setDocumentMode(true);
    LogTabs->setTabPosition(QTabWidget::South);
    RTFLog = new QPlainTextEdit(LogTabs);
    RTFLog->setObjectName(QStringLiteral("RTFLog"));
    RTFLog->setReadOnly(true);
    // The trace only grows: an undo history of it would grow as fast and serve nobody.
    RTFLog->setUndoRedoEnabled(false);
    RTFLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RTFLog->setTabChangesFocus(true);
    LogTabs->addTab(RTFLog, QStringLiteral("Trace"));

    // Both panes share new width; the trace keeps its height when the window grows.
    for (QSplitter* splitter : {Splitter1, VertSplitter}) {
        splitter->setHandleWidth(kSplitterHandle);
        splitter->setChildrenCollapsible(false);
    }
    VertSplitter->setStretchFactor(0, 1);
    VertSplitter->setStretchFactor(1, 1);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    VertSplitter->setSizes({kDefaultLocalPaneWidth, width() - kDefaultLocalPaneWidth});
    Splitter1->setSizes({kFirstPanesHeight, kDefaultTracePaneHeight});

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(Panel1);
    column->addWidget(Splitter1, 1);
    setCentralWidget(central);
}

void TFTPForm::createStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);
    // Each panel takes its default width, or what its widest text needs in the font.
    int widths[4];
    for (int i = 0; i < 4; ++i) {
        const int needed = StatusBar1->fontMetrics().horizontalAdvance(
                               QString::fromLatin1(kStatusPanelSamples[i])) + kStatusPanelPadding;
        widths[i] = std::max(kStatusPanelWidths[i], needed);
    }
    for (int i = 0; i < 4; ++i) {
        const bool counts = i > kMessagePanel;
        StatusPanels[i] = new StatusPanelLabel(widths[i], counts ? widths[i] : kShrinkingPanelFloor, StatusBar1);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar1->addWidget(StatusPanels[i]);
    }
    SecurityPanel = new QLabel(StatusBar1);
    SecurityPanel->setObjectName(QStringLiteral("SecurityPanel"));
    StatusBar1->addPermanentWidget(SecurityPanel);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
}

void TFTPForm::createMenus()
{
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* mFile = MainMenu1->addMenu(QStringLiteral("&File"));
    mFile->setObjectName(QStringLiteral("mFile"));
    addItem(mFile, acExportAllSites, "mExportSites", "Export all sites");
    addItem(mFile, acExportSite, "mExCurSite");
    addItem(mFile, acImportSite, "mImportSites");
    mFile->addSeparator();
    addItem(mFile, acQuit, "Exit1");

    QMenu* mEdit = MainMenu1->addMenu(QStringLiteral("&Edit"));
    mEdit->setObjectName(QStringLiteral("mEdit"));
    addItem(mEdit, acCreateSite, "mCreateSite");
    addItem(mEdit, acEditSite, "mEditSite");
    addItem(mEdit, acDeleteSite, "mDeleteSite");

    QMenu* mAction = MainMenu1->addMenu(QStringLiteral("&Action"));
    mAction->setObjectName(QStringLiteral("mAction"));
    addItem(mAction, acConnect, "mConnect");
    addItem(mAction, acUpload, "Upload1");
    addItem(mAction, acDownload, "mDownload");
    addItem(mAction, acDownloadSaveAs, "mDownloadSaveAs");
    addItem(mAction, acLocalQueue, "mQueueUpload", "Upload through the queue");
    addItem(mAction, acRemoteQueue, "mQueueDownload", "Download through the queue");
    mAction->addSeparator();
    addItem(mAction, acReset, "mResetAll");

    QMenu* mHelp = MainMenu1->addMenu(QStringLiteral("&Help"));
    mHelp->setObjectName(QStringLiteral("mHelp"));
    addItem(mHelp, acHelpContents, "mHelpContents");
    addItem(mHelp, acHelpIndex, "mHelpIndex");
    addItem(mHelp, acHelpTopicSearch, "mTopicSearch");
    addItem(mHelp, acHelpOnHelp, "HelponHelp1");
    mHelp->addSeparator();
    mHelpAbout = mHelp->addAction(QStringLiteral("About.."));
    mHelpAbout->setObjectName(QStringLiteral("mHelpAbout"));
}

// The pane menus show the keys that do the same in the pane (the pane itself answers them).
void TFTPForm::createPopupMenus()
{
    const QKeySequence enter(Qt::Key_Return), up(Qt::Key_Backspace), rename(Qt::Key_F2),
        refresh(Qt::Key_F5), remove(QKeySequence::Delete);
    PopupMenuLocal = new QMenu(this);
    PopupMenuLocal->setObjectName(QStringLiteral("PopupMenuLocal"));
    addItem(PopupMenuLocal, acUpload, "pulUpload", "Upload");
    addItem(PopupMenuLocal, acLocalQueue, "pulQueue");
    PopupMenuLocal->addSeparator();
    addItem(PopupMenuLocal, acLocalRefresh, "pulRefresh", "Refresh directory view", refresh);
    addItem(PopupMenuLocal, acLocalChgDir, "pulChangeDir", "Change to selected directory", enter);
    addItem(PopupMenuLocal, acLocalUp, "pulUp", "", up);
    addItem(PopupMenuLocal, acLocalMakeDir, "pulMakeDir");
    addItem(PopupMenuLocal, acLocalRename, "pulLocalRename", "", rename);
    PopupMenuLocal->addSeparator();
    addItem(PopupMenuLocal, acLocalDelete, "pulDelete", "Delete", remove);
    connect(PopupMenuLocal, &QMenu::aboutToShow, this, reportingErrors([this] { PopupMenuLocalPopup(); }));
    LVL->setPopupMenu(PopupMenuLocal);

    PopupMenuRemote = new QMenu(this);
    PopupMenuRemote->setObjectName(QStringLiteral("PopupMenuRemote"));
    addItem(PopupMenuRemote, acDownload, "purDownload", "Download file", enter);
    addItem(PopupMenuRemote, acDownloadSaveAs, "purSaveAs");
    addItem(PopupMenuRemote, acRemoteQueue, "purQueue");
    PopupMenuRemote->addSeparator();
    addItem(PopupMenuRemote, acRemoteRefresh, "purRefreshDir", "Refresh directory view", refresh);
    addItem(PopupMenuRemote, acRemoteChgDir, "purChangeDir", "", enter);
    addItem(PopupMenuRemote, acRemoteUp, "purUp", "", up);
    addItem(PopupMenuRemote, acRemoteMakeDir, "purCreateDirectory", "Create new remote directory");
    addItem(PopupMenuRemote, acRemoteRename, "purRename", "", rename);
    PopupMenuRemote->addSeparator();
    addItem(PopupMenuRemote, acRemoteDelete, "purDelete", "Delete", remove)
        ->setToolTip(QStringLiteral("Delete selected file(s) or directory"));
    connect(PopupMenuRemote, &QMenu::aboutToShow, this, reportingErrors([this] { PopupMenuRemotePopup(); }));
    LVR->setPopupMenu(PopupMenuRemote);
}

// Tab goes from the site box through the directory boxes and both panes to the trace.
void TFTPForm::orderTabStops()
{
    tbSite->setFocusPolicy(Qt::StrongFocus);
    QWidget::setTabOrder(tbSite, LocDir);
    QWidget::setTabOrder(LocDir, RemDir);
    QWidget::setTabOrder(RemDir, LVL);
    QWidget::setTabOrder(LVL, LVR);
    QWidget::setTabOrder(LVR, RTFLog);
    LVL->setFocus();
}

void TFTPForm::readLayoutSettings()
{
    Registry registry;
    if (!registry.openKey(Registry::kProgramKey, false))
        return;
    // A damaged value leaves the default widths: layout is never worth an error box.
    auto stored = [&registry](const char* name) {
        try {
            return columnWidthsFromText(registry.readString(name));
        } catch (const std::exception&) {
            return std::vector<int>{};
        }
    };
    LVL->setColumnWidths(stored(kLocalColumnsValue));
    LVR->setColumnWidths(stored(kRemoteColumnsValue));
    registry.closeKey();
}

void TFTPForm::writeLayoutSettings(Registry& registry)
{
    const std::pair<const char*, std::string> values[] = {
        {kLocalColumnsValue, columnWidthsText(LVL->columnWidths())},
        {kRemoteColumnsValue, columnWidthsText(LVR->columnWidths())},
    };
    for (const auto& [name, text] : values) {
        try {
            if (registry.valueExists(name) && registry.readString(name) == text)
                continue;
        } catch (const std::exception&) {
            // a value of another type is replaced
        }
        registry.writeString(name, text);
    }
}

void TFTPForm::setStatusPanel(int index, const QString& text)
{
    StatusPanels[index]->setText(text);
}

QString TFTPForm::statusPanel(int index) const
{
    return StatusPanels[index]->text();
}
