// Which commands a click in a pane or an opened pane menu offers, and what the menus read.
#include "MainWindowSupport.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QToolButton>

namespace {

class CommandAvailability : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        storeSites({"one"});
        start();
        paneOf(form(), "LVR")->setRows({remoteRow("r1.txt", "File"), remoteRow("r2.txt", "File"),
                             remoteRow("rdir", "Directory")});
    }

    TFTPForm& form() { return *window; }

    static PaneRow remoteRow(const std::string& name, const std::string& type)
    {
        PaneRow row;
        row.name = name;
        row.typeText = type;
        return row;
    }

    void selectLocal(const std::vector<std::string>& names)
    {
        paneOf(form(), "LVL")->clearSelection();
        for (const std::string& name : names)
            paneOf(form(), "LVL")->selectRow(paneOf(form(), "LVL")->findRow(name));
    }

    void selectRemote(const std::vector<std::string>& names)
    {
        paneOf(form(), "LVR")->clearSelection();
        for (const std::string& name : names)
            paneOf(form(), "LVR")->selectRow(paneOf(form(), "LVR")->findRow(name));
    }

    static std::vector<bool> enabled(const std::vector<QAction*>& actions)
    {
        std::vector<bool> result;
        for (const QAction* action : actions)
            result.push_back(action->isEnabled());
        return result;
    }
};

TEST_F(CommandAvailability, StartUpEnablesSiteCommandsAndDisablesRemoteOnes)
{
    for (QAction* action : form().actionsOfCategory("File"))
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    for (QAction* action : form().actionsOfCategory("Ops"))
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    EXPECT_EQ(form().actionsOfCategory("Ops").size(), 10u);
    EXPECT_TRUE(actionOf(form(), "acConnect")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "acAbortTransfer")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "acLocalDelete")->isEnabled());
    EXPECT_TRUE(actionOf(form(), "acQuit")->isEnabled());
    EXPECT_EQ(actionOf(form(), "mConnect")->text(), "Connect to site");
}

TEST_F(CommandAvailability, LocalFileClickOffersDeleteAndRenameButUploadOnlyWhenConnected)
{
    selectLocal({"alpha.txt"});
    emit paneOf(form(), "LVL")->paneClicked();
    EXPECT_TRUE(actionOf(form(), "acLocalDelete")->isEnabled());
    EXPECT_TRUE(actionOf(form(), "acLocalRename")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "acUpload")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "acLocalChgDir")->isEnabled());

    form().SetOpsEnabled(true);  // as a successful connect leaves it
    emit paneOf(form(), "LVL")->paneClicked();
    EXPECT_TRUE(actionOf(form(), "acUpload")->isEnabled());
    EXPECT_TRUE(partOf<QToolButton>(form(), "tbUpload")->isEnabled());
}

TEST_F(CommandAvailability, LocalSelectionsByClass)
{
    form().SetOpsEnabled(true);
    const std::vector<QAction*> watched = {actionOf(form(), "acUpload"), actionOf(form(), "acLocalDelete"),
                                           actionOf(form(), "acLocalRename"), actionOf(form(), "acLocalChgDir")};
    selectLocal({"alpha.txt", "beta.txt"});
    emit paneOf(form(), "LVL")->paneClicked();
    EXPECT_EQ(enabled(watched), (std::vector<bool>{true, true, false, false}));
    selectLocal({"sub"});
    emit paneOf(form(), "LVL")->paneClicked();
    EXPECT_EQ(enabled(watched), (std::vector<bool>{false, true, false, true}));
    selectLocal({"sub", "other"});
    emit paneOf(form(), "LVL")->paneClicked();
    EXPECT_EQ(enabled(watched), (std::vector<bool>{false, false, false, false}));
    selectLocal({"alpha.txt", "sub"});
    emit paneOf(form(), "LVL")->paneClicked();
    EXPECT_EQ(enabled(watched), (std::vector<bool>{false, false, false, false}));
}

TEST_F(CommandAvailability, LocalClickClearsTheRemoteSelectionAndItsCommands)
{
    form().SetOpsEnabled(true);
    selectRemote({"r1.txt"});
    emit paneOf(form(), "LVR")->paneClicked();
    ASSERT_TRUE(actionOf(form(), "acDownload")->isEnabled());
    selectLocal({"alpha.txt"});
    emit paneOf(form(), "LVL")->paneClicked();
    EXPECT_EQ(paneOf(form(), "LVR")->selectedCount(), 0);
    EXPECT_FALSE(actionOf(form(), "acDownload")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "acDownloadSaveAs")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "acRemoteDelete")->isEnabled());
}

TEST_F(CommandAvailability, RemoteClickClearsTheLocalSelection)
{
    form().SetOpsEnabled(true);
    selectLocal({"alpha.txt"});
    emit paneOf(form(), "LVL")->paneClicked();
    selectRemote({"r1.txt", "r2.txt"});
    emit paneOf(form(), "LVR")->paneClicked();
    EXPECT_EQ(paneOf(form(), "LVL")->selectedCount(), 0);
    EXPECT_FALSE(actionOf(form(), "acUpload")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "acLocalDelete")->isEnabled());
    EXPECT_TRUE(actionOf(form(), "acDownload")->isEnabled());
    EXPECT_TRUE(actionOf(form(), "acRemoteDelete")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "acDownloadSaveAs")->isEnabled());
}

TEST_F(CommandAvailability, ConnectedWithNothingSelectedOffersOnlyTheDirectoryCommands)
{
    form().SetOpsEnabled(true);
    EXPECT_EQ(enabled({actionOf(form(), "acDownload"), actionOf(form(), "acDownloadSaveAs"), actionOf(form(), "acRemoteDelete"),
                       actionOf(form(), "acRemoteRename"), actionOf(form(), "acUpload")}),
              std::vector<bool>(5, false));
    EXPECT_EQ(enabled({actionOf(form(), "acRemoteMakeDir"), actionOf(form(), "acRemoteUp"), actionOf(form(), "acRemoteRefresh"),
                       actionOf(form(), "acRemoteChgDir")}),
              std::vector<bool>(4, true));
}

TEST_F(CommandAvailability, LocalMenuCaptionsFollowTheSelection)
{
    form().SetOpsEnabled(true);
    selectLocal({"alpha.txt"});
    emit partOf<QMenu>(form(), "PopupMenuLocal")->aboutToShow();
    EXPECT_EQ(actionOf(form(), "Upload1")->text(), "Upload selected file");
    EXPECT_EQ(actionOf(form(), "acLocalDelete")->text(), "Delete file");
    EXPECT_TRUE(actionOf(form(), "Upload1")->isEnabled());
    EXPECT_TRUE(actionOf(form(), "pulLocalRename")->isEnabled());
    EXPECT_EQ(actionOf(form(), "pulUpload")->text(), "Upload");
    EXPECT_EQ(actionOf(form(), "pulDelete")->text(), "Delete");

    selectLocal({"alpha.txt", "beta.txt"});
    emit partOf<QMenu>(form(), "PopupMenuLocal")->aboutToShow();
    EXPECT_EQ(actionOf(form(), "Upload1")->text(), "Upload selected files");
    EXPECT_EQ(actionOf(form(), "acLocalDelete")->text(), "Delete selected files");
    EXPECT_FALSE(actionOf(form(), "pulLocalRename")->isEnabled());
    EXPECT_EQ(actionOf(form(), "pulUpload")->text(), "Upload");
    EXPECT_EQ(actionOf(form(), "pulDelete")->text(), "Delete");
}

TEST_F(CommandAvailability, MixedSelectionsLeaveTransferAndDeleteGreyedInBothMenus)
{
    form().SetOpsEnabled(true);
    selectLocal({"alpha.txt", "sub"});
    emit partOf<QMenu>(form(), "PopupMenuLocal")->aboutToShow();
    EXPECT_FALSE(actionOf(form(), "pulUpload")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "pulDelete")->isEnabled());
    EXPECT_EQ(actionOf(form(), "acLocalDelete")->text(), "Delete directory");

    selectRemote({"r1.txt", "rdir"});
    emit partOf<QMenu>(form(), "PopupMenuRemote")->aboutToShow();
    EXPECT_FALSE(actionOf(form(), "purDownload")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "purSaveAs")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "purDelete")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "purRename")->isEnabled());
}

TEST_F(CommandAvailability, RemoteMenuWhileDisconnectedChangesNothing)
{
    selectRemote({"r1.txt"});
    const auto before = enabled(form().actionList());
    emit partOf<QMenu>(form(), "PopupMenuRemote")->aboutToShow();
    EXPECT_EQ(enabled(form().actionList()), before);
    EXPECT_EQ(actionOf(form(), "acRemoteDelete")->text(), "Delete file/directory");
    EXPECT_EQ(actionOf(form(), "acDownload")->text(), "Download");
}

TEST_F(CommandAvailability, RemoteDownloadItemKeepsItsCaptionUntilTheActionSharesIt)
{
    form().SetOpsEnabled(true);
    EXPECT_EQ(actionOf(form(), "purDownload")->text(), "Download file");
    EXPECT_EQ(actionOf(form(), "mDownload")->text(), "Download");

    selectRemote({"r1.txt", "r2.txt"});
    emit partOf<QMenu>(form(), "PopupMenuRemote")->aboutToShow();
    EXPECT_EQ(actionOf(form(), "mDownload")->text(), "Download selected files");
    EXPECT_EQ(actionOf(form(), "purDownload")->text(), "Download file") << "its own caption stays";

    selectRemote({"r1.txt"});
    emit partOf<QMenu>(form(), "PopupMenuRemote")->aboutToShow();
    EXPECT_EQ(actionOf(form(), "acDownload")->text(), "Download file");
    EXPECT_TRUE(actionOf(form(), "purRename")->isEnabled());
    EXPECT_EQ(actionOf(form(), "purDelete")->text(), "Delete");

    selectRemote({"r1.txt", "r2.txt"});
    emit partOf<QMenu>(form(), "PopupMenuRemote")->aboutToShow();
    EXPECT_EQ(actionOf(form(), "purDownload")->text(), "Download selected files")
        << "it showed the action's caption when that changed, so it follows now";
    EXPECT_EQ(actionOf(form(), "purDelete")->text(), "Delete");
}

TEST_F(CommandAvailability, ClosingTheSessionsCommandsSwitchesTheSiteBoxToo)
{
    form().SetFileEnabled(false);
    EXPECT_FALSE(partOf<QComboBox>(form(), "tbSite")->isEnabled());
    EXPECT_FALSE(actionOf(form(), "mExportSites")->isEnabled());
    EXPECT_FALSE(partOf<QToolButton>(form(), "tbCreateSite")->isEnabled());
    EXPECT_TRUE(actionOf(form(), "acLocalRefresh")->isEnabled());
    form().SetFileEnabled(true);
    EXPECT_TRUE(partOf<QComboBox>(form(), "tbSite")->isEnabled());
    EXPECT_TRUE(actionOf(form(), "mDeleteSite")->isEnabled());
}

} // namespace
