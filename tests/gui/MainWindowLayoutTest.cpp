// The window's layout: toolbar order and pictures, the directory bar, menus and their items.
#include "MainWindowSupport.h"

#include <QAction>
#include <QColor>
#include <QImage>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>

namespace {

using MainWindowLayout = MainWindowFixture;

QStringList namedItems(const QToolBar* bar)
{
    QStringList names;
    for (QAction* action : bar->actions()) {
        const QWidget* widget = bar->widgetForAction(action);
        if (widget && !widget->objectName().isEmpty())
            names << widget->objectName();
    }
    return names;
}

QStringList captions(const QMenu* menu)
{
    QStringList result;
    for (const QAction* action : menu->actions())
        result << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return result;
}

TEST_F(MainWindowLayout, ToolbarsHoldTheirItemsInOrder)
{
    TFTPForm& form = start();
    EXPECT_EQ(namedItems(partOf<QToolBar>(form, "ToolBar1")),
              (QStringList{"tbCreateSite", "tbDeleteSite", "btEditSite", "tbSite", "tbConnect",
                           "tbUpload", "tbDownload", "tbSaveAs", "tbAbort", "UsePassive",
                           "TraceCheckBox", "tbReset", "tbQuitClose"}));
    EXPECT_EQ(namedItems(partOf<QToolBar>(form, "tbLocal")),
              (QStringList{"tblUp", "tblNew", "tblRefresh", "tblDelete", "tblBrowse"}));
    EXPECT_EQ(namedItems(partOf<QToolBar>(form, "ToolBar2")),
              (QStringList{"tbrUp", "tbrMakeDir", "tbrRefreshDir", "tbrDelete"}));
    EXPECT_GE(partOf<QComboBox>(form, "tbSite")->width(), 145);
    EXPECT_LT(partOf<QComboBox>(form, "tbSite")->fontMetrics().horizontalAdvance(partOf<QComboBox>(form, "tbSite")->itemText(0)),
              partOf<QComboBox>(form, "tbSite")->width())
        << "the start-up item is shown whole";
    EXPECT_TRUE(partOf<QPushButton>(form, "tbQuitClose")->font().bold());
    EXPECT_EQ(partOf<QPushButton>(form, "tbQuitClose")->text(), "Quit / Close");
    EXPECT_EQ(partOf<QCheckBox>(form, "UsePassive")->layoutDirection(), Qt::RightToLeft) << "text left of the box";
    EXPECT_TRUE(partOf<QCheckBox>(form, "TraceCheckBox")->isChecked());
}

TEST_F(MainWindowLayout, EveryToolbarButtonShowsAPicture)
{
    TFTPForm& form = start();
    for (const QToolBar* bar : {partOf<QToolBar>(form, "ToolBar1"), partOf<QToolBar>(form, "tbLocal"), partOf<QToolBar>(form, "ToolBar2")}) {
        for (const QToolButton* button : bar->findChildren<QToolButton*>()) {
            if (button->objectName().isEmpty())
                continue;  // the toolbar's own extension button
            EXPECT_FALSE(button->icon().pixmap(16, 16).isNull())
                << button->objectName().toStdString();
        }
    }
}

// Mean difference per colour channel between a picture and its greyed form, over the pixels
// either one paints.
double greyingDifference(const QIcon& icon)
{
    const QImage normal = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage greyed =
        icon.pixmap(16, 16, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    int painted = 0;
    for (int y = 0; y < std::min(normal.height(), greyed.height()); ++y) {
        for (int x = 0; x < std::min(normal.width(), greyed.width()); ++x) {
            const QColor a = normal.pixelColor(x, y);
            const QColor b = greyed.pixelColor(x, y);
            if (a.alpha() < 128 && b.alpha() < 128)
                continue;
            sum += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green())
                   + std::abs(a.blue() - b.blue()) + std::abs(a.alpha() - b.alpha());
            ++painted;
        }
    }
    return painted ? sum / (4.0 * painted) : 0;
}

// A button whose picture looks the same greyed out cannot show whether its command is on.
TEST_F(MainWindowLayout, EveryToolbarPictureLooksDifferentWhenItsCommandIsOff)
{
    TFTPForm& form = start();
    for (const QToolBar* bar : {partOf<QToolBar>(form, "ToolBar1"), partOf<QToolBar>(form, "tbLocal"), partOf<QToolBar>(form, "ToolBar2")}) {
        for (const QToolButton* button : bar->findChildren<QToolButton*>()) {
            if (button->objectName().isEmpty())
                continue;
            EXPECT_GT(greyingDifference(button->icon()), 10.0) << button->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowLayout, MainMenuCaptionsAndQuitShortCut)
{
    TFTPForm& form = start();
    EXPECT_EQ(captions(partOf<QMenu>(form, "mFile")),
              (QStringList{"Export all sites", "Export current site", "Import site(s)", "-",
                           "Quit / Close"}));
    EXPECT_EQ(captions(partOf<QMenu>(form, "mEdit")),
              (QStringList{"Create new site", "Edit current site", "Delete site"}));
    EXPECT_EQ(captions(partOf<QMenu>(form, "mAction")),
              (QStringList{"Connect to site", "Upload file(s)", "Download", "Download and save as",
                           "Upload through the queue", "Download through the queue", "-", "Reset all"}));
    EXPECT_EQ(captions(partOf<QMenu>(form, "mHelp")), (QStringList{"&Contents", "Help &Index", "&Topic Search",
                                                 "&Help on Help", "-", "About.."}));
    EXPECT_EQ(actionOf(form, "Exit1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(actionOf(form, "acQuit")->toolTip(),
              "Disconnect (if necessary) and Close Tarn.\nWARNING - no confirmation requested.");
}

TEST_F(MainWindowLayout, PaneMenusHoldTheirItemsInOrder)
{
    TFTPForm& form = start();
    EXPECT_EQ(captions(partOf<QMenu>(form, "PopupMenuLocal")),
              (QStringList{"Upload", "Add to queue", "-", "Refresh directory view", "Change to selected directory",
                           "Directory - up one level", "Create new local directory", "Rename File",
                           "-", "Delete"}));
    EXPECT_EQ(captions(partOf<QMenu>(form, "PopupMenuRemote")),
              (QStringList{"Download file", "Download and save as", "Add to queue", "-", "Refresh directory view",
                           "Change to selected directory", "Directory - up one level",
                           "Create new remote directory", "Rename File", "-", "Delete"}));
}

TEST_F(MainWindowLayout, MenuItemsTriggerTheirActions)
{
    storeSites({"one"});
    TFTPForm& form = start();
    actionOf(form, "mCreateSite")->trigger();
    actionOf(form, "mEditSite")->trigger();
    EXPECT_EQ(editorModes, (std::vector<char>{'N', 'E'}));
}

} // namespace
