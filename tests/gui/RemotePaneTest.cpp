// The remote pane's commands against the real server: entering, up, refresh, make directory,
// delete and rename; and, against a scripted server, the replies pyftpdlib never sends.
#include "ConnectedWindowSupport.h"

#include "protocol/FtpScript.h"

namespace {

class RemotePane : public ConnectedWindowFixture {
protected:
    void SetUp() override
    {
        ConnectedWindowFixture::SetUp();
        writeWholeFile(serverRoot.path() / "one.txt", "1");
        writeWholeFile(serverRoot.path() / "two.txt", "22");
        writeWholeFile(serverRoot.path() / "three.txt", "333");
        std::filesystem::create_directories(serverRoot.path() / "full" / "inner");
        std::filesystem::create_directory(serverRoot.path() / "empty");
    }
};

TEST_F(RemotePane, EnterGoUpAndRefresh)
{
    connectToRealServer();
    selectRemote({"full"});
    emit paneOf(*window, "LVR")->paneDoubleClicked();
    EXPECT_EQ(partOf<QLineEdit>(*window, "RemDir")->text(), "/full");
    EXPECT_EQ(remoteNames(), std::vector<std::string>{"inner"});
    actionOf(*window, "acRemoteUp")->trigger();
    EXPECT_EQ(partOf<QLineEdit>(*window, "RemDir")->text(), "/");
    writeWholeFile(serverRoot.path() / "new.txt", "n");
    actionOf(*window, "acRemoteRefresh")->trigger();
    EXPECT_EQ(window->statusPanel(3), "Remote entries=6");
}

TEST_F(RemotePane, ARefusedChangeOfDirectoryKeepsTheConnectionAndTheCommands)
{
    connectToRealServer();
    std::filesystem::remove(serverRoot.path() / "empty");
    selectRemote({"empty"});
    emit paneOf(*window, "LVR")->paneDoubleClicked();
    EXPECT_EQ(script->boxTexts(), QStringList{"Remote Directory invalid. Correct Site definition?"});
    EXPECT_TRUE(window->session().IsConnected());
    EXPECT_EQ(partOf<QLineEdit>(*window, "RemDir")->text(), "/");
    EXPECT_TRUE(actionOf(*window, "acRemoteRefresh")->isEnabled()) << "the server stayed where it was";
    EXPECT_EQ(failureLog(), "");
}

TEST_F(RemotePane, MakeDirectoryAndARefusedOneThatKeepsTheConnection)
{
    connectToRealServer();
    script->answerText("made");
    actionOf(*window, "acRemoteMakeDir")->trigger();
    EXPECT_TRUE(std::filesystem::is_directory(serverRoot.path() / "made"));
    EXPECT_GE(paneOf(*window, "LVR")->findRow("made"), 0);
    script->answerText("made");
    actionOf(*window, "acRemoteMakeDir")->trigger();
    ASSERT_EQ(script->boxes.size(), 1u);
    EXPECT_EQ(script->boxes[0].icon, MsgIcon::Error);
    EXPECT_TRUE(window->session().IsConnected());
    EXPECT_TRUE(actionOf(*window, "acRemoteMakeDir")->isEnabled());
    EXPECT_EQ(failureLog(), "");
}

TEST_F(RemotePane, DeletingOneFileAndThenThreeAsksOnceEachAndListsOnce)
{
    writeWholeFile(serverRoot.path() / "four.txt", "4");
    connectToRealServer();
    selectRemote({"four.txt"});
    script->answerBox(MsgButton::Yes);
    actionOf(*window, "acRemoteDelete")->trigger();
    EXPECT_EQ(script->lastBoxText(), "Delete file four.txt?");
    EXPECT_EQ(paneOf(*window, "LVR")->findRow("four.txt"), -1);

    const int listingsBefore = traceCount("->> LIST");
    script->clear();
    selectRemote({"one.txt", "two.txt", "three.txt"});
    script->answerBox(MsgButton::Yes);
    actionOf(*window, "acRemoteDelete")->trigger();
    EXPECT_EQ(script->boxTexts(), QStringList{"Delete all selected items?"});
    EXPECT_EQ(traceCount("->> LIST") - listingsBefore, 1);
    EXPECT_EQ(sortedRemoteNames(), (std::vector<std::string>{"empty", "full"}));
}

TEST_F(RemotePane, CancellingADeleteKeepsEverything)
{
    connectToRealServer();
    selectRemote({"one.txt"});
    script->answerBox(MsgButton::Cancel);
    actionOf(*window, "acRemoteDelete")->trigger();
    EXPECT_TRUE(std::filesystem::exists(serverRoot.path() / "one.txt"));
    EXPECT_EQ(traceCount("->> DELE one.txt"), 0);
}

TEST_F(RemotePane, ANonEmptyDirectoryRefusedWithoutItsNameDisconnects)
{
    connectToRealServer();
    selectRemote({"full"});
    script->answerBox(MsgButton::Yes);
    actionOf(*window, "acRemoteDelete")->trigger();
    ASSERT_EQ(script->boxes.size(), 2u);
    EXPECT_EQ(script->boxes[0].text, "Delete directory full?");
    EXPECT_TRUE(script->boxes[1].text.endsWith("\rDisconnecting.   (Code=DelRD1)"));
    EXPECT_NE(failureLog().find("*DelRD1*"), std::string::npos);
    EXPECT_FALSE(window->session().IsConnected());
}

TEST_F(RemotePane, ANonEmptyDirectoryNamedInTheReplyKeepsTheConnection)
{
    ScriptedFtpServer scripted;
    const std::string listing = "drwxr-xr-x 2 a b 4096 Jan 01 2025 old\r\n";
    ftptest::addLogin(scripted)
        .reply("TYPE A", "200 ok\r\n").reply("PWD", "257 \"/\"\r\n")
        .pasv().acceptData().reply("LIST", "150 listing\r\n").sendData(listing).closeData()
        .send("226 Done\r\n")
        .reply("RMD old", "550 old: Directory not empty.\r\n")
        .reply("PWD", "257 \"/\"\r\n")
        .pasv().acceptData().reply("LIST", "150 listing\r\n").sendData(listing).closeData()
        .send("226 Done\r\n");
    connectToScript(scripted);
    selectRemote({"old"});
    script->answerBox(MsgButton::Yes);
    actionOf(*window, "acRemoteDelete")->trigger();
    ASSERT_TRUE(scripted.played());
    ASSERT_EQ(script->boxes.size(), 2u);
    EXPECT_EQ(script->boxes[1].text, "Cannot delete old  Delete contents first.");
    EXPECT_EQ(script->boxes[1].buttons, std::vector<MsgButton>{MsgButton::Abort});
    EXPECT_EQ(script->beeps, 1);
    EXPECT_TRUE(window->session().IsConnected());
    EXPECT_EQ(remoteNames(), std::vector<std::string>{"old"});
    EXPECT_EQ(failureLog(), "");
}

TEST_F(RemotePane, RenameByCommandAndInPlace)
{
    connectToRealServer();
    selectRemote({"one.txt"});
    emit partOf<QMenu>(*window, "PopupMenuRemote")->aboutToShow();   // the command is offered on the pane's menu
    script->answerText("uno.txt");
    actionOf(*window, "acRemoteRename")->trigger();
    ASSERT_EQ(script->questions.size(), 1u);
    EXPECT_EQ(script->questions.back().caption, "Rename Remote File");
    EXPECT_EQ(script->questions.back().proposed, "one.txt");
    EXPECT_TRUE(std::filesystem::exists(serverRoot.path() / "uno.txt"));
    EXPECT_GE(paneOf(*window, "LVR")->findRow("uno.txt"), 0);

    script->answerBox(MsgButton::Cancel);
    emit paneOf(*window, "LVR")->nameEdited(paneOf(*window, "LVR")->findRow("two.txt"), "two.dat");
    EXPECT_EQ(script->lastBoxText(), "File extension has been changed from .txt to .dat\nAre you sure?");
    EXPECT_TRUE(std::filesystem::exists(serverRoot.path() / "two.txt"));

    const int listings = traceCount("->> LIST");
    emit paneOf(*window, "LVR")->nameEdited(paneOf(*window, "LVR")->findRow("two.txt"), "deux.txt");
    EXPECT_TRUE(std::filesystem::exists(serverRoot.path() / "deux.txt"));
    EXPECT_GE(paneOf(*window, "LVR")->findRow("deux.txt"), 0) << "the row keeps its new name";
    EXPECT_EQ(traceCount("->> LIST"), listings) << "no listing after a rename in place";

    emit paneOf(*window, "LVR")->nameEdited(paneOf(*window, "LVR")->findRow("empty"), "vide");
    EXPECT_EQ(script->beeps, 1);
    EXPECT_TRUE(std::filesystem::exists(serverRoot.path() / "empty"));
    EXPECT_GE(paneOf(*window, "LVR")->findRow("empty"), 0);
}

TEST_F(RemotePane, ARefusedRenameIsReportedAndDisconnects)
{
    connectToRealServer();
    std::filesystem::remove(serverRoot.path() / "one.txt");
    selectRemote({"one.txt"});
    emit partOf<QMenu>(*window, "PopupMenuRemote")->aboutToShow();
    script->answerText("uno.txt");
    actionOf(*window, "acRemoteRename")->trigger();
    EXPECT_TRUE(script->lastBoxText().endsWith("Disconnecting.   (Code=RenRFile)"));
    EXPECT_FALSE(window->session().IsConnected());
    EXPECT_EQ(paneOf(*window, "LVR")->rowCount(), 0);
}

TEST_F(RemotePane, ALinkIsEnteredWhenTheServerAllowsAndDownloadedOtherwise)
{
    std::filesystem::create_directory_symlink("full", serverRoot.path() / "tofull");
    std::filesystem::create_symlink("one.txt", serverRoot.path() / "toone");
    connectToRealServer();
    selectRemote({"toone"});
    EXPECT_TRUE(actionOf(*window, "acDownload")->isEnabled()) << "a link downloads like a file";
    emit paneOf(*window, "LVR")->paneDoubleClicked();
    EXPECT_EQ(localFile("toone"), "1");
    EXPECT_TRUE(script->boxes.empty() && window->session().IsConnected()) << "a refused CWD is no failure";
    selectRemote({"tofull"});
    emit paneOf(*window, "LVR")->paneDoubleClicked();
    EXPECT_EQ(remoteNames(), std::vector<std::string>{"inner"});
}

TEST_F(RemotePane, RenamingOntoAListedNameIsRefusedBeforeAnythingIsSent)
{
    connectToRealServer();
    selectRemote({"one.txt"});
    emit partOf<QMenu>(*window, "PopupMenuRemote")->aboutToShow();
    script->answerText("two.txt");
    actionOf(*window, "acRemoteRename")->trigger();
    emit paneOf(*window, "LVR")->nameEdited(paneOf(*window, "LVR")->findRow("one.txt"), "two.txt");
    EXPECT_EQ(script->boxTexts(), QStringList(2, "Unable to rename to two.txt. Is name already in use?"));
    EXPECT_FALSE(traceHas("RNFR")) << "every command sent is in the trace";
    EXPECT_EQ(serverFile("two.txt"), "22");
}

} // namespace
