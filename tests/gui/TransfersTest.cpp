// Transfers from the window against the real server: uploads and downloads of selections,
// the overwrite and resume questions, save-as, abort and resume, the progress display, and
// the guards: names that would leave the local folder, one operation at a time, a refused
// download that must not touch the local file.
#include "ConnectedWindowSupport.h"
#include "app/window/AboutUnit.h"

#include "protocol/FtpScript.h"

#include <QTimer>

#include <chrono>

namespace {

class Transfers : public ConnectedWindowFixture {
protected:
    // Runs `action` from the work event after the first `bytes` have moved, once in the test
    // (each data connection works on its own copy of the handler, so the mark is shared).
    void atWork(std::int64_t bytes, std::function<void()> action)
    {
        TIdFTP& session = window->session();
        auto windowWork = session.OnWork;
        auto done = std::make_shared<bool>(false);
        session.OnWork = [windowWork, bytes, action, done](TIdComponent* sender, TWorkMode mode,
                                                           std::int64_t count) {
            windowWork(sender, mode, count);
            if (!*done && count >= bytes) {
                *done = true;
                action();
            }
        };
    }

    std::string patternBytes(std::int64_t size)
    {
        const auto path = logDir.path() / "pattern";
        writePatternFile(path, size);
        return readWholeFile(path);
    }
};

TEST_F(Transfers, UploadOfTwoFilesAndADirectoryListsOnce)
{
    connectToRealServer();
    actionOf(*window, "acLocalRefresh")->trigger();
    selectLocal({"alpha.txt", "sub", "beta.txt"});
    const int listings = traceCount("->> LIST");
    window->acUploadExecute();   // a mixed selection made without a click leaves Upload as it was
    EXPECT_TRUE(serverFile("alpha.txt") == std::string(10, 'x'));
    EXPECT_TRUE(serverFile("beta.txt") == std::string(2000, 'x'));
    EXPECT_FALSE(std::filesystem::exists(serverRoot.path() / "sub"));
    EXPECT_EQ(traceCount("->> STOR alpha.txt") + traceCount("->> STOR beta.txt"), 2);
    EXPECT_EQ(traceCount("->> LIST") - listings, 1);
    EXPECT_EQ(sortedRemoteNames(), (std::vector<std::string>{"alpha.txt", "beta.txt"}));
    EXPECT_FALSE(actionOf(*window, "acAbortTransfer")->isEnabled());
    EXPECT_TRUE(script->boxes.empty());
}

TEST_F(Transfers, DownloadsOfNewAndExistingFilesAskOnceAndOverwrite)
{
    writeWholeFile(serverRoot.path() / "alpha.txt", "server alpha");
    writeWholeFile(serverRoot.path() / "beta.txt", "server beta");
    writeWholeFile(serverRoot.path() / "gamma.txt", "server gamma");
    connectToRealServer();
    selectRemote({"gamma.txt"});
    actionOf(*window, "acDownload")->trigger();
    EXPECT_EQ(localFile("gamma.txt"), "server gamma");
    EXPECT_TRUE(script->boxes.empty()) << "a new file needs no question";
    EXPECT_GE(paneOf(*window, "LVL")->findRow("gamma.txt"), 0) << "the local pane is listed";

    selectRemote({"alpha.txt", "beta.txt", "gamma.txt"});
    script->answerBox(MsgButton::Yes);
    actionOf(*window, "acDownload")->trigger();
    EXPECT_EQ(script->boxTexts(), QStringList{"At least one selected file already exists. Continue?"});
    EXPECT_EQ(localFile("alpha.txt"), "server alpha");
    EXPECT_EQ(localFile("beta.txt"), "server beta");
    EXPECT_TRUE(window->statusPanel(1).endsWith(" - Transfer complete")) << window->statusPanel(1).toStdString();
}

TEST_F(Transfers, ADirectoryInTheSelectionRefusesEverything)
{
    writeWholeFile(serverRoot.path() / "first.txt", "1");
    std::filesystem::create_directory(serverRoot.path() / "folder");
    connectToRealServer();
    selectRemote({"first.txt", "folder"});
    window->acDownloadExecute();
    EXPECT_EQ(script->boxTexts(), QStringList{"You cannot download a Directory"});
    EXPECT_EQ(script->boxes[0].buttons, std::vector<MsgButton>{MsgButton::Cancel});
    EXPECT_FALSE(std::filesystem::exists(localDir.path() / "first.txt"));
    EXPECT_EQ(traceCount("->> RETR first.txt"), 0);
}

TEST_F(Transfers, TheResumeQuestionAnsweredYesNoAndCancel)
{
    const std::string whole = patternBytes(300000);
    writeWholeFile(serverRoot.path() / "data.bin", whole);
    connectToRealServer();
    selectRemote({"data.bin"});

    writeWholeFile(localDir.path() / "data.bin", whole.substr(0, 100000));
    script->answerBox(MsgButton::Yes);
    emit paneOf(*window, "LVR")->paneDoubleClicked();
    EXPECT_EQ(script->lastBoxText(), "Local File exists. Resume download? (No downloads entire file)");
    EXPECT_EQ(script->boxes.back().buttons,
              (std::vector<MsgButton>{MsgButton::Yes, MsgButton::No, MsgButton::Cancel}));
    EXPECT_EQ(traceCount("->> REST 100000"), 1);
    EXPECT_TRUE(localFile("data.bin") == whole) << "resumed from the local length, byte-exact";

    writeWholeFile(localDir.path() / "data.bin", "stale and longer than nothing");
    script->answerBox(MsgButton::No);
    emit paneOf(*window, "LVR")->paneDoubleClicked();
    EXPECT_TRUE(localFile("data.bin") == whole) << "No downloads the whole file";

    writeWholeFile(localDir.path() / "data.bin", "mine");
    std::filesystem::remove(localDir.path() / "alpha.txt");
    const int retrievals = traceCount("->> RETR data.bin");
    script->answerBox(MsgButton::Cancel);
    emit paneOf(*window, "LVR")->paneDoubleClicked();
    EXPECT_EQ(localFile("data.bin"), "mine");
    EXPECT_EQ(traceCount("->> RETR data.bin"), retrievals);
    EXPECT_EQ(paneOf(*window, "LVL")->findRow("alpha.txt"), -1) << "Cancel still lists the local pane";
    EXPECT_TRUE(actionOf(*window, "acRemoteRefresh")->isEnabled());
}

TEST_F(Transfers, SaveAsWritesTheChosenFile)
{
    writeWholeFile(serverRoot.path() / "report.txt", "the report");
    connectToRealServer();
    selectRemote({"report.txt"});
    const std::string chosen = (localDir.path() / "renamed.txt").string();
    script->answerText(QString::fromStdString(chosen));
    actionOf(*window, "acDownloadSaveAs")->trigger();
    EXPECT_EQ(script->questions.back().proposed, QString::fromStdString(localFolder() + "report.txt"));
    EXPECT_EQ(readWholeFile(chosen), "the report");
    EXPECT_FALSE(std::filesystem::exists(localDir.path() / "report.txt"));
}

TEST_F(Transfers, AbortInTheMiddleThenResumeCompletesByteExact)
{
    const std::int64_t size = 64 << 20;
    writePatternFile(serverRoot.path() / "big.bin", size);
    connectToRealServer();
    selectRemote({"big.bin"});
    bool abortWasOn = false;
    atWork(4 << 20, [&] {
        abortWasOn = actionOf(*window, "acAbortTransfer")->isEnabled();
        actionOf(*window, "acAbortTransfer")->trigger();
    });
    emit paneOf(*window, "LVR")->paneDoubleClicked();
    EXPECT_TRUE(abortWasOn);
    EXPECT_EQ(traceCount("->> ABOR"), 1);
    EXPECT_TRUE(window->statusPanel(1).endsWith("Transfer aborted")) << window->statusPanel(1).toStdString();
    const auto partial = static_cast<std::int64_t>(std::filesystem::file_size(localDir.path() / "big.bin"));
    EXPECT_GT(partial, 0);
    EXPECT_LT(partial, size);
    ASSERT_TRUE(window->session().IsConnected());
    EXPECT_TRUE(actionOf(*window, "acRemoteRefresh")->isEnabled());
    EXPECT_FALSE(actionOf(*window, "acAbortTransfer")->isEnabled());

    actionOf(*window, "acRemoteRefresh")->trigger();   // the session is in step: the next command works
    ASSERT_TRUE(window->session().IsConnected());
    selectRemote({"big.bin"});
    script->answerBox(MsgButton::Yes);
    emit paneOf(*window, "LVR")->paneDoubleClicked();
    const std::string local = readWholeFile(localDir.path() / "big.bin");
    const std::string remote = readWholeFile(serverRoot.path() / "big.bin");
    std::size_t firstDifference = 0;
    while (firstDifference < std::min(local.size(), remote.size()) && local[firstDifference] == remote[firstDifference])
        ++firstDifference;
    EXPECT_TRUE(local == remote) << "partial " << partial << " local " << local.size() << " differs at " << firstDifference << "\n" << trace().mid(trace().size() - 30).join("\n").toStdString();
}

TEST_F(Transfers, AnAbortedUploadKeepsTheSessionAndGoesOn)
{
    writePatternFile(localDir.path() / "big.up", 64 << 20);
    connectToRealServer();
    actionOf(*window, "acLocalRefresh")->trigger();
    selectLocal({"big.up", "alpha.txt"});
    atWork(4 << 20, [&] { actionOf(*window, "acAbortTransfer")->trigger(); });
    window->acUploadExecute();
    EXPECT_TRUE(script->boxes.empty()) << script->boxTexts().join('|').toStdString();
    EXPECT_TRUE(window->session().IsConnected());
    EXPECT_EQ(failureLog(), "");
    EXPECT_EQ(serverFile("alpha.txt"), std::string(10, 'x')) << "the run went on with the next file";
    EXPECT_TRUE(actionOf(*window, "acRemoteRefresh")->isEnabled());
}

TEST_F(Transfers, AbortEndsADownloadWhoseDataHasStalled)
{
    ScriptedFtpServer scripted(10000);
    ftptest::addLogin(scripted)
        .reply("TYPE A", "200 ok\r\n").reply("PWD", "257 \"/\"\r\n")
        .pasv().acceptData().reply("LIST", "150 listing\r\n")
        .sendData("-rw-r--r-- 1 a b 1000 Jan 01 2025 slow.bin\r\n").closeData().send("226 Done\r\n")
        .reply("TYPE I", "200 ok\r\n").reply("SIZE slow.bin", "213 1000\r\n")
        .pasv().acceptData().reply("RETR slow.bin", "150 here it comes\r\n").sendData("first bytes")
        .expect("ABOR").send("426 Aborted.\r\n226 Abort done.\r\n")
        .reply("NOOP", "200 ok\r\n");
    connectToScript(scripted);
    selectRemote({"slow.bin"});
    QTimer::singleShot(300, window.get(), [&] { actionOf(*window, "acAbortTransfer")->trigger(); });
    const auto start = std::chrono::steady_clock::now();
    actionOf(*window, "acDownload")->trigger();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "Abort acted at once";
    ASSERT_TRUE(scripted.played());
    EXPECT_TRUE(window->session().IsConnected());
    EXPECT_EQ(localFile("slow.bin"), "first bytes") << "the partial file is kept for a resume";
    EXPECT_TRUE(script->boxes.empty()) << script->boxTexts().join('|').toStdString();
}

TEST_F(Transfers, ALocalWriteFailureIsReportedWithItsCause)
{
    writeWholeFile(serverRoot.path() / "data.txt", std::string(100000, 'd'));
    connectToRealServer();
    selectRemote({"data.txt"});
    script->answerText("/dev/full");
    QString panelWhenDataEnded;
    const TWorkEndEvent workEnd = window->session().OnWorkEnd;
    window->session().OnWorkEnd = [&](TIdComponent* sender, TWorkMode mode) {
        workEnd(sender, mode);
        panelWhenDataEnded = window->statusPanel(1);
    };
    actionOf(*window, "acDownloadSaveAs")->trigger();
    EXPECT_NE(panelWhenDataEnded, "Transfer complete.");
    ASSERT_EQ(script->boxes.size(), 1u);
    EXPECT_TRUE(script->boxes[0].text.startsWith("Cannot write to file \"/dev/full\". No space left on device"))
        << script->boxes[0].text.toStdString();
    EXPECT_TRUE(script->boxes[0].text.endsWith("(Code=DLoad)"));
    EXPECT_NE(failureLog().find("*DLoad*"), std::string::npos);
    EXPECT_TRUE(window->statusPanel(1).startsWith("Transfer failed: Cannot write to file"))
        << window->statusPanel(1).toStdString();
    EXPECT_FALSE(actionOf(*window, "acRemoteRefresh")->isEnabled());
    EXPECT_EQ(actionOf(*window, "acConnect")->text(), "Connect");
}

TEST_F(Transfers, ProgressFollowsTheWorkEventsAndEndsComplete)
{
    const std::int64_t size = 8 << 20;
    writePatternFile(serverRoot.path() / "p.bin", size);
    connectToRealServer();
    selectRemote({"p.bin"});
    int maximum = 0;
    QString panel;
    atWork(size / 2, [&] {
        maximum = partOf<QProgressBar>(*window, "ProgressBar1")->maximum();
        panel = window->statusPanel(1);
    });
    actionOf(*window, "acDownload")->trigger();
    EXPECT_EQ(maximum, size) << "the size asked with SIZE is the bar's maximum";
    EXPECT_TRUE(panel.startsWith("Download speed ")) << panel.toStdString();
    EXPECT_EQ(partOf<QProgressBar>(*window, "ProgressBar1")->value(), 0);
    EXPECT_EQ(window->operation().ExpectedSize, 0);
    EXPECT_FALSE(window->operation().TransferActive);
}

TEST_F(Transfers, ARefusedDownloadLeavesTheLocalFileAlone)
{
    writeWholeFile(serverRoot.path() / "gone.txt", "g");
    connectToRealServer();
    std::filesystem::remove(serverRoot.path() / "gone.txt");
    writeWholeFile(localDir.path() / "gone.txt", "my own copy");
    selectRemote({"gone.txt"});
    script->answerBox(MsgButton::Yes);
    actionOf(*window, "acDownload")->trigger();
    EXPECT_EQ(localFile("gone.txt"), "my own copy");
    EXPECT_TRUE(script->lastBoxText().endsWith("Disconnecting.   (Code=DLoad)"));
    EXPECT_NE(window->statusPanel(1), "Transfer complete.");
}

TEST_F(Transfers, ServerNamesThatWouldLeaveTheLocalFolderAreNeverWritten)
{
    ScriptedFtpServer scripted;
    ftptest::addLogin(scripted)
        .reply("TYPE A", "200 ok\r\n").reply("PWD", "257 \"/\"\r\n")
        .pasv().acceptData().reply("LIST", "150 listing\r\n")
        .sendData("-rw-r--r-- 1 a b 5 Jan 01 2025 ../evil\r\n-rw-r--r-- 1 a b 5 Jan 01 2025 ..\r\n")
        .closeData().send("226 Done\r\n");
    connectToScript(scripted);
    ASSERT_TRUE(scripted.waitDone());
    ASSERT_EQ(remoteNames().size(), 2u) << "listing such names is fine";
    for (const std::string name : {"../evil", ".."}) {
        script->clear();
        selectRemote({name});
        emit paneOf(*window, "LVR")->paneDoubleClicked();
        actionOf(*window, "acDownload")->trigger();
        ASSERT_EQ(script->boxes.size(), 2u) << name;
        EXPECT_TRUE(script->boxes[0].text.contains(QString::fromStdString(name)));
    }
    EXPECT_FALSE(std::filesystem::exists(localDir.path().parent_path() / "evil"));
    EXPECT_TRUE(window->session().IsConnected());
    EXPECT_TRUE(actionOf(*window, "acRemoteRefresh")->isEnabled());
}

TEST_F(Transfers, ASecondOperationFromThePumpIsRefusedWithABeep)
{
    writePatternFile(serverRoot.path() / "busy.bin", 8 << 20);
    writeWholeFile(serverRoot.path() / "other.txt", "o");
    connectToRealServer();
    actionOf(*window, "acLocalRefresh")->trigger();
    selectRemote({"busy.bin"});
    atWork(1 << 20, [&] {
        selectRemote({"other.txt"});
        emit paneOf(*window, "LVR")->paneDoubleClicked();
        emit paneOf(*window, "LVR")->nameEdited(paneOf(*window, "LVR")->findRow("other.txt"), "renamed.txt");
        selectLocal({"alpha.txt"});
        emit paneOf(*window, "LVL")->paneDoubleClicked();
        // Each would open a modal box inside the transfer's wait, and no byte would move.
        for (QAction* boxCommand : {actionOf(*window, "acLocalMakeDir"), actionOf(*window, "acLocalDelete"), actionOf(*window, "acLocalRename"),
                                    actionOf(*window, "acLocalBrowse"), actionOf(*window, "mHelpAbout")})
            boxCommand->trigger();
        emit paneOf(*window, "LVL")->nameEdited(paneOf(*window, "LVL")->findRow("alpha.txt"), "renamed.txt");
    });
    actionOf(*window, "acDownload")->trigger();
    EXPECT_EQ(script->beeps, 9);
    EXPECT_TRUE(script->questions.empty() && script->boxes.empty() && !window->findChild<TAboutForm*>());
    EXPECT_EQ(traceCount("->> RETR other.txt"), 0);
    EXPECT_EQ(traceCount("->> STOR alpha.txt"), 0);
    EXPECT_TRUE(std::filesystem::exists(serverRoot.path() / "other.txt"));
    EXPECT_EQ(std::filesystem::file_size(localDir.path() / "busy.bin"), 8u << 20);
}

// Disconnect, Reset, Quit and closing the window each stop a running download: the data
// connection is closed, nothing is reported as a failure, and the partial file is a true prefix.
TEST_F(Transfers, StoppingTheSessionDuringADownloadEndsItQuietly)
{
    writePatternFile(serverRoot.path() / "long.bin", 64 << 20);
    const struct {
        const char* name;
        std::function<void(TFTPForm&, ScriptedDialogs&)> stop;
        QStringList boxes;
    } stops[] = {
        {"disconnect", [](TFTPForm& form, ScriptedDialogs&) { actionOf(form, "acConnect")->trigger(); }, {}},
        {"reset", [](TFTPForm& form, ScriptedDialogs&) { actionOf(form, "acReset")->trigger(); },
         {"Program has been reset to beginning - reconnect if necessary"}},
        {"quit", [](TFTPForm& form, ScriptedDialogs&) { actionOf(form, "acQuit")->trigger(); }, {}},
        {"close", [](TFTPForm& form, ScriptedDialogs& dialogs) {
             dialogs.answerBox(MsgButton::Yes);
             form.close();
         },
         {"You are closing the application while connected.\nDisconnect and close?"}},
    };
    for (const auto& stop : stops) {
        SCOPED_TRACE(stop.name);
        window.reset();
        std::filesystem::remove(localDir.path() / "long.bin");
        connectToRealServer();
        script->clear();
        selectRemote({"long.bin"});
        atWork(2 << 20, [&] { stop.stop(*window, *script); });
        actionOf(*window, "acDownload")->trigger();
        EXPECT_FALSE(window->session().IsConnected());
        EXPECT_EQ(window->session().DataLink(), nullptr);
        EXPECT_EQ(script->boxTexts(), stop.boxes);
        EXPECT_EQ(failureLog(), "");
        const std::string partial = localFile("long.bin");
        EXPECT_LT(partial.size(), 16u << 20) << "the download stopped";
        EXPECT_TRUE(serverFile("long.bin").compare(0, partial.size(), partial) == 0);
        EXPECT_FALSE(window->operation().TransferActive);
        EXPECT_FALSE(actionOf(*window, "acAbortTransfer")->isEnabled());
    }
}

} // namespace
