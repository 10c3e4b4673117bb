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
        form().LVR->setRows({remoteRow("r1.txt", "File"), remoteRow("r2.txt", "File"),
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
        form().LVL->clearSelection();
        for (const std::string& name : names)
            form().LVL->selectRow(form().LVL->findRow(name));
    }

    void selectRemote(const std::vector<std::string>& names)
    {
        form().LVR->clearSelection();
        for (const std::string& name : names)
            form().LVR->selectRow(form().LVR->findRow(name));
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
    EXPECT_TRUE(form().acConnect->isEnabled());
    EXPECT_FALSE(form().acAbortTransfer->isEnabled());
    EXPECT_FALSE(form().acLocalDelete->isEnabled());
    EXPECT_TRUE(form().acQuit->isEnabled());
    EXPECT_EQ(form().mConnect->text(), "Connect to site");
}

TEST_F(CommandAvailability, LocalFileClickOffersDeleteAndRenameButUploadOnlyWhenConnected)
{
    selectLocal({"alpha.txt"});
    form().LVLClick();
    EXPECT_TRUE(form().acLocalDelete->isEnabled());
    EXPECT_TRUE(form().acLocalRename->isEnabled());
    EXPECT_FALSE(form().acUpload->isEnabled());
    EXPECT_FALSE(form().acLocalChgDir->isEnabled());

    form().SetOpsEnabled(true);  // as a successful connect leaves it
    form().LVLClick();
    EXPECT_TRUE(form().acUpload->isEnabled());
    EXPECT_TRUE(form().tbUpload->isEnabled());
}

TEST_F(CommandAvailability, LocalSelectionsByClass)
{
    form().SetOpsEnabled(true);
    const std::vector<QAction*> watched = {form().acUpload, form().acLocalDelete,
                                           form().acLocalRename, form().acLocalChgDir};
    selectLocal({"alpha.txt", "beta.txt"});
    form().LVLClick();
    EXPECT_EQ(enabled(watched), (std::vector<bool>{true, true, false, false}));
    selectLocal({"sub"});
    form().LVLClick();
    EXPECT_EQ(enabled(watched), (std::vector<bool>{false, true, false, true}));
    selectLocal({"sub", "other"});
    form().LVLClick();
    EXPECT_EQ(enabled(watched), (std::vector<bool>{false, false, false, false}));
    selectLocal({"alpha.txt", "sub"});
    form().LVLClick();
    EXPECT_EQ(enabled(watched), (std::vector<bool>{false, false, false, false}));
}

TEST_F(CommandAvailability, LocalClickClearsTheRemoteSelectionAndItsCommands)
{
    form().SetOpsEnabled(true);
    selectRemote({"r1.txt"});
    form().LVRClick();
    ASSERT_TRUE(form().acDownload->isEnabled());
    selectLocal({"alpha.txt"});
    form().LVLClick();
    EXPECT_EQ(form().LVR->selectedCount(), 0);
    EXPECT_FALSE(form().acDownload->isEnabled());
    EXPECT_FALSE(form().acDownloadSaveAs->isEnabled());
    EXPECT_FALSE(form().acRemoteDelete->isEnabled());
}

TEST_F(CommandAvailability, RemoteClickClearsTheLocalSelection)
{
    form().SetOpsEnabled(true);
    selectLocal({"alpha.txt"});
    form().LVLClick();
    selectRemote({"r1.txt", "r2.txt"});
    form().LVRClick();
    EXPECT_EQ(form().LVL->selectedCount(), 0);
    EXPECT_FALSE(form().acUpload->isEnabled());
    EXPECT_FALSE(form().acLocalDelete->isEnabled());
    EXPECT_TRUE(form().acDownload->isEnabled());
    EXPECT_TRUE(form().acRemoteDelete->isEnabled());
    EXPECT_FALSE(form().acDownloadSaveAs->isEnabled());
}

TEST_F(CommandAvailability, ConnectedWithNothingSelectedOffersOnlyTheDirectoryCommands)
{
    form().SetOpsEnabled(true);
    EXPECT_EQ(enabled({form().acDownload, form().acDownloadSaveAs, form().acRemoteDelete,
                       form().acRemoteRename, form().acUpload}),
              std::vector<bool>(5, false));
    EXPECT_EQ(enabled({form().acRemoteMakeDir, form().acRemoteUp, form().acRemoteRefresh,
                       form().acRemoteChgDir}),
              std::vector<bool>(4, true));
}

TEST_F(CommandAvailability, LocalMenuCaptionsFollowTheSelection)
{
    form().SetOpsEnabled(true);
    selectLocal({"alpha.txt"});
    form().PopupMenuLocalPopup();
    EXPECT_EQ(form().Upload1->text(), "Upload selected file");
    EXPECT_EQ(form().acLocalDelete->text(), "Delete file");
    EXPECT_TRUE(form().Upload1->isEnabled());
    EXPECT_TRUE(form().pulLocalRename->isEnabled());
    EXPECT_EQ(form().pulUpload->text(), "Upload");
    EXPECT_EQ(form().pulDelete->text(), "Delete");

    selectLocal({"alpha.txt", "beta.txt"});
    form().PopupMenuLocalPopup();
    EXPECT_EQ(form().Upload1->text(), "Upload selected files");
    EXPECT_EQ(form().acLocalDelete->text(), "Delete selected files");
    EXPECT_FALSE(form().pulLocalRename->isEnabled());
    EXPECT_EQ(form().pulUpload->text(), "Upload");
    EXPECT_EQ(form().pulDelete->text(), "Delete");
}

TEST_F(CommandAvailability, MixedSelectionsLeaveTransferAndDeleteGreyedInBothMenus)
{
    form().SetOpsEnabled(true);
    selectLocal({"alpha.txt", "sub"});
    form().PopupMenuLocalPopup();
    EXPECT_FALSE(form().pulUpload->isEnabled());
    EXPECT_FALSE(form().pulDelete->isEnabled());
    EXPECT_EQ(form().acLocalDelete->text(), "Delete directory");

    selectRemote({"r1.txt", "rdir"});
    form().PopupMenuRemotePopup();
    EXPECT_FALSE(form().purDownload->isEnabled());
    EXPECT_FALSE(form().purSaveAs->isEnabled());
    EXPECT_FALSE(form().purDelete->isEnabled());
    EXPECT_FALSE(form().purRename->isEnabled());
}

TEST_F(CommandAvailability, RemoteMenuWhileDisconnectedChangesNothing)
{
    selectRemote({"r1.txt"});
    const auto before = enabled(form().ActionList1);
    form().PopupMenuRemotePopup();
    EXPECT_EQ(enabled(form().ActionList1), before);
    EXPECT_EQ(form().acRemoteDelete->text(), "Delete file/directory");
    EXPECT_EQ(form().acDownload->text(), "Download");
}

TEST_F(CommandAvailability, RemoteDownloadItemKeepsItsCaptionUntilTheActionSharesIt)
{
    form().SetOpsEnabled(true);
    EXPECT_EQ(form().purDownload->text(), "Download file");
    EXPECT_EQ(form().mDownload->text(), "Download");

    selectRemote({"r1.txt", "r2.txt"});
    form().PopupMenuRemotePopup();
    EXPECT_EQ(form().mDownload->text(), "Download selected files");
    EXPECT_EQ(form().purDownload->text(), "Download file") << "its own caption stays";

    selectRemote({"r1.txt"});
    form().PopupMenuRemotePopup();
    EXPECT_EQ(form().acDownload->text(), "Download file");
    EXPECT_TRUE(form().purRename->isEnabled());
    EXPECT_EQ(form().purDelete->text(), "Delete");

    selectRemote({"r1.txt", "r2.txt"});
    form().PopupMenuRemotePopup();
    EXPECT_EQ(form().purDownload->text(), "Download selected files")
        << "it showed the action's caption when that changed, so it follows now";
    EXPECT_EQ(form().purDelete->text(), "Delete");
}

TEST_F(CommandAvailability, ClosingTheSessionsCommandsSwitchesTheSiteBoxToo)
{
    form().SetFileEnabled(false);
    EXPECT_FALSE(form().tbSite->isEnabled());
    EXPECT_FALSE(form().mExportSites->isEnabled());
    EXPECT_FALSE(form().tbCreateSite->isEnabled());
    EXPECT_TRUE(form().acLocalRefresh->isEnabled());
    form().SetFileEnabled(true);
    EXPECT_TRUE(form().tbSite->isEnabled());
    EXPECT_TRUE(form().mDeleteSite->isEnabled());
}

} // namespace
