// The window as a desktop user drives it: texts that fit their place, a layout that uses the
// window, the file-manager keys in both panes, Tab, access keys, and a layout that survives a
// restart.
#include "ConnectedWindowSupport.h"

#include "app/window/BoundMenuItem.h"
#include "app/window/TarnApplication.h"
#include "model/PaneSort.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QToolButton>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QStyleOptionComboBox>

namespace {

using WindowLayout = MainWindowFixture;
using WindowKeys = ConnectedWindowFixture;

void press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(widget, key, modifiers);
}

TEST_F(WindowLayout, StatusPanelsShowTheirLongestTextsWhole)
{
    TFTPForm& form = start();
    show();
    EXPECT_EQ(form.width(), 840) << "the wider panels still fit the default window";
    form.resize(1280, 582);
    ASSERT_TRUE(QTest::qWaitFor([&] { return partOf<QStatusBar>(form, "StatusBar1")->width() >= 1200; }, 2000));
    const QString texts[] = {QStringLiteral("Download speed 123456.78 KB/s; Time remaining 12:34:56"),
                             QStringLiteral("Local entries=100000"),
                             QStringLiteral("Remote entries=100000")};
    for (int panel = 1; panel <= 3; ++panel) {
        const QString& text = texts[panel - 1];
        form.setStatusPanel(panel, text);
        const QLabel* label = partOf<QLabel>(form, ("StatusPanel" + std::to_string(panel)).c_str());
        EXPECT_LE(label->fontMetrics().horizontalAdvance(text), label->contentsRect().width())
            << text.toStdString();
    }

    // The window at its narrowest keeps the entry counts in sight.
    const int narrowest = form.minimumSizeHint().width();
    form.resize(narrowest, 582);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.width() == narrowest; }, 2000));
    EXPECT_LT(narrowest, 700);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return partOf<QLabel>(form, ("StatusPanel" + std::to_string(3)).c_str())->geometry().right() < partOf<QStatusBar>(form, "StatusBar1")->width(); }, 2000));
    EXPECT_LE(partOf<QLabel>(form, ("StatusPanel" + std::to_string(2)).c_str())->fontMetrics().horizontalAdvance(texts[1]),
              partOf<QLabel>(form, ("StatusPanel" + std::to_string(2)).c_str())->contentsRect().width());
}

TEST_F(WindowLayout, TheSiteBoxFitsATwentyCharacterName)
{
    storeSites({"customer_portal_prod"});
    TFTPForm& form = start();
    show();
    QStyleOptionComboBox option;
    option.initFrom(partOf<QComboBox>(form, "tbSite"));
    option.editable = false;
    const QRect field = partOf<QComboBox>(form, "tbSite")->style()->subControlRect(
        QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, partOf<QComboBox>(form, "tbSite"));
    EXPECT_LE(partOf<QComboBox>(form, "tbSite")->fontMetrics().horizontalAdvance(partOf<QComboBox>(form, "tbSite")->currentText()),
              field.width());
}

TEST_F(WindowLayout, DirectoryBoxesAndBothPanesShareTheWidthAndTheTraceGivesWayFirst)
{
    storeSites({"one"});
    TFTPForm& form = start();
    show();
    const int localBox = partOf<QLineEdit>(form, "LocDir")->width();
    const int local = paneOf(form, "LVL")->width();
    const int remote = paneOf(form, "LVR")->width();
    form.resize(1280, 800);
    ASSERT_TRUE(QTest::qWaitFor([&] { return paneOf(form, "LVR")->width() > remote; }, 2000));
    EXPECT_GT(partOf<QLineEdit>(form, "LocDir")->width(), std::max(localBox, 200));
    EXPECT_GT(partOf<QLineEdit>(form, "RemDir")->width(), 200);
    EXPECT_GT(paneOf(form, "LVL")->width(), local + 100) << "both panes take part of the new width";
    EXPECT_GT(paneOf(form, "LVR")->width(), remote + 100);

    const int panes = partOf<QSplitter>(form, "VertSplitter")->height();
    const int trace = partOf<QPlainTextEdit>(form, "RTFLog")->height();
    form.resize(1280, 750);
    ASSERT_TRUE(QTest::qWaitFor([&] { return partOf<QPlainTextEdit>(form, "RTFLog")->height() < trace; }, 2000));
    EXPECT_EQ(partOf<QSplitter>(form, "VertSplitter")->height(), panes) << "the file lists keep their height";
    EXPECT_EQ(partOf<QPlainTextEdit>(form, "RTFLog")->height(), trace - 50);
}

TEST_F(WindowLayout, ColumnWidthsComeBackAtTheNextStartAndNoSiteAppears)
{
    storeSites({"one", "two"});
    TFTPForm& first = start();
    show();
    paneOf(first, "LVL")->setColumnWidth(kNameColumn, 260);
    paneOf(first, "LVR")->setColumnWidth(kPermissionsColumn, 99);
    emit paneOf(first, "LVR")->header()->sectionClicked(kNameColumn);
    const std::vector<int> local = paneOf(first, "LVL")->columnWidths();
    const std::vector<int> remote = paneOf(first, "LVR")->columnWidths();
    ASSERT_TRUE(first.close());
    window.reset();

    SiteList.clear();
    SiteCount = 0;
    TFTPForm& second = start();
    show();
    EXPECT_EQ(paneOf(second, "LVL")->columnWidths(), local);
    EXPECT_EQ(paneOf(second, "LVR")->columnWidths(), remote);
    EXPECT_EQ(paneOf(second, "LVR")->header()->sortIndicatorSection(), kNameColumn);
    EXPECT_EQ(SiteCount, 2) << "the layout values are not read as sites";
    EXPECT_EQ(partOf<QComboBox>(second, "tbSite")->count(), 2);
}

// Writing the settings flushes them to disk, which on a busy disk takes long: closing a window
// whose layout did not change leaves the store alone (make bench-close times the whole end).
TEST_F(WindowLayout, ClosingAnUnchangedWindowWritesNothing)
{
    storeSites({"one"});
    start();
    show();
    window->setGeometry(100, 100, 600, 500);   // inside the test screen, so it comes back as it was
    ASSERT_TRUE(window->close());
    window.reset();
    const std::filesystem::path store = Registry().storeFileName().toStdString();
    const auto written = std::filesystem::last_write_time(store);

    start();
    show();
    ASSERT_TRUE(window->close());
    window.reset();
    EXPECT_EQ(std::filesystem::last_write_time(store), written);
}

TEST_F(WindowLayout, MenusHaveAccessKeysAndThePaneMenusShowTheKeys)
{
    TFTPForm& form = start();
    EXPECT_EQ(partOf<QMenu>(form, "mFile")->title(), "&File");
    EXPECT_EQ(partOf<QMenu>(form, "mEdit")->title(), "&Edit");
    EXPECT_EQ(partOf<QMenu>(form, "mAction")->title(), "&Action");
    EXPECT_EQ(partOf<QMenu>(form, "mHelp")->title(), "&Help");
    const std::pair<QAction*, QKeySequence> shown[] = {
        {actionOf(form, "pulDelete"), QKeySequence(QKeySequence::Delete)}, {actionOf(form, "purDelete"), QKeySequence(QKeySequence::Delete)},
        {actionOf(form, "pulRefresh"), QKeySequence(Qt::Key_F5)},          {actionOf(form, "purRefreshDir"), QKeySequence(Qt::Key_F5)},
        {actionOf(form, "pulUp"), QKeySequence(Qt::Key_Backspace)},        {actionOf(form, "purUp"), QKeySequence(Qt::Key_Backspace)},
        {actionOf(form, "pulLocalRename"), QKeySequence(Qt::Key_F2)},      {actionOf(form, "purRename"), QKeySequence(Qt::Key_F2)},
        {actionOf(form, "purDownload"), QKeySequence(Qt::Key_Return)},
    };
    for (const auto& [item, key] : shown)
        EXPECT_EQ(item->shortcut(), key) << item->objectName().toStdString();
    actionOf(form, "acLocalDelete")->setText(QStringLiteral("Delete file"));
    EXPECT_EQ(actionOf(form, "pulDelete")->shortcut(), QKeySequence(QKeySequence::Delete))
        << "a change of the action keeps the key shown";
}

TEST_F(WindowLayout, TabGoesThroughSiteBoxDirectoryBoxesPanesAndTrace)
{
    storeSites({"one"});
    TFTPForm& form = start();
    show();
    QApplication::setActiveWindow(&form);
    partOf<QComboBox>(form, "tbSite")->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return partOf<QComboBox>(form, "tbSite")->hasFocus(); }, 2000));
    std::vector<QWidget*> reached;
    for (int step = 0; step < 5; ++step) {
        press(QApplication::focusWidget(), Qt::Key_Tab);
        reached.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(reached, (std::vector<QWidget*>{partOf<QLineEdit>(form, "LocDir"), partOf<QLineEdit>(form, "RemDir"), paneOf(form, "LVL"), paneOf(form, "LVR"),
                                              partOf<QPlainTextEdit>(form, "RTFLog")}));
}

TEST_F(WindowKeys, LocalPaneKeysDoWhatTheirCommandsDo)
{
    startWithSite("127.0.0.1:1");
    PaneView* pane = paneOf(*window, "LVL");
    pane->setFocus();
    selectLocal({"sub"});
    press(pane, Qt::Key_Return);
    EXPECT_EQ(window->localDirectory(), localFolder() + "sub/") << "Enter opens the directory";
    press(pane, Qt::Key_Backspace);
    EXPECT_EQ(window->localDirectory(), localFolder()) << "Backspace goes up";
    writeFile("new.txt", 1);
    press(pane, Qt::Key_F5);
    EXPECT_GE(pane->findRow("new.txt"), 0) << "F5 refreshes";

    pane->setCurrentIndex(pane->model()->index(0, 0));
    press(pane, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(pane->selectedCount(), pane->rowCount()) << "Ctrl+A selects all";
    selectLocal({"alpha.txt", "beta.txt"});
    script->answerBox(MsgButton::Cancel);
    press(pane, Qt::Key_Delete);
    script->answerBox(MsgButton::Cancel);
    actionOf(*window, "acLocalDelete")->trigger();
    ASSERT_EQ(script->boxes.size(), 2u);
    EXPECT_EQ(script->boxes[0].text, script->boxes[1].text) << "the button's question";
    EXPECT_EQ(script->boxes[0].text, "Delete all selected items?");

    selectLocal({"alpha.txt"});
    press(pane, Qt::Key_F2);
    EXPECT_NE(pane->viewport()->findChild<QLineEdit*>(), nullptr) << "F2 renames in place";
}

TEST_F(WindowKeys, RemotePaneKeysDoWhatTheirCommandsDo)
{
    writeWholeFile(serverRoot.path() / "file_g.txt", "payload");
    std::filesystem::create_directories(serverRoot.path() / "dir_y" / "inner");
    connectToRealServer();
    PaneView* pane = paneOf(*window, "LVR");
    pane->setFocus();
    selectRemote({"dir_y"});
    press(pane, Qt::Key_Return);
    EXPECT_EQ(partOf<QLineEdit>(*window, "RemDir")->text(), "/dir_y") << "Enter opens the directory";
    press(pane, Qt::Key_Backspace);
    EXPECT_EQ(partOf<QLineEdit>(*window, "RemDir")->text(), "/") << "Backspace goes up";
    writeWholeFile(serverRoot.path() / "later.txt", "l");
    press(pane, Qt::Key_F5);
    EXPECT_GE(pane->findRow("later.txt"), 0) << "F5 refreshes";

    selectRemote({"file_g.txt"});
    press(pane, Qt::Key_Return);
    EXPECT_EQ(localFile("file_g.txt"), "payload") << "Enter downloads a file";

    pane->setCurrentIndex(pane->model()->index(0, 0));
    press(pane, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(pane->selectedCount(), pane->rowCount()) << "Ctrl+A selects all";
    selectRemote({"file_g.txt", "later.txt"});
    const std::size_t before = script->boxes.size();
    script->answerBox(MsgButton::Cancel);
    press(pane, Qt::Key_Delete);
    script->answerBox(MsgButton::Cancel);
    actionOf(*window, "acRemoteDelete")->trigger();
    ASSERT_EQ(script->boxes.size(), before + 2);
    EXPECT_EQ(script->boxes[before].text, script->boxes[before + 1].text) << "the button's question";
    EXPECT_TRUE(std::filesystem::exists(serverRoot.path() / "later.txt"));
}

// Mean saturation (0 to 255) of the pixels a picture paints.
int meanSaturation(const QIcon& icon)
{
    const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    long sum = 0;
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.alpha() < 128)
                continue;
            sum += colour.hsvSaturation();
            ++painted;
        }
    }
    return painted ? static_cast<int>(sum / painted) : 0;
}

// A grey picture on an enabled button reads as switched off.
TEST_F(WindowLayout, EnabledDeletePicturesAreInColour)
{
    TFTPForm& form = start();
    for (const QToolButton* button : {partOf<QToolButton>(form, "tbDeleteSite"), partOf<QToolButton>(form, "tblDelete"), partOf<QToolButton>(form, "tbrDelete")})
        EXPECT_GT(meanSaturation(button->icon()), 60) << button->objectName().toStdString();
}

TEST(ProgramIcon, ItsOwnPictureInEverySizeWithTheSvgInTheResources)
{
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/icons/tarn.svg")));
    const QIcon icon = programIcon();
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QPixmap picture = icon.pixmap(size, size);
        ASSERT_FALSE(picture.isNull()) << size;
        EXPECT_EQ(picture.width(), size) << "drawn for the size, not scaled from another";
    }
    EXPECT_GT(meanSaturation(icon), 60);
}

} // namespace
