// The unattended run in the window: a list carried out against two real servers, one
// connection per run of lines for a site, bad lines refused before anything moves, and the
// ways a run stops, each ending with the window back to its usual ways.
#include "ConnectedWindowSupport.h"

#include "model/PaneSort.h"
#include "support/LoopbackPorts.h"

#include <QComboBox>

namespace {

class UploadRunTest : public ConnectedWindowFixture {
protected:
    // Site "A" on the first server's root, site "B" on the second server's folder "/in".
    void storeTwoSites(const std::string& hostA, const std::string& hostB)
    {
        SiteList = {serverSite("A", hostA), serverSite("B", hostB, "/in")};
        SiteCount = 2;
        CurrentSite = 0;
        SaveSiteList();
    }

    std::string hostOf(FtpServerProcess& server) { return "127.0.0.1:" + std::to_string(server.port()); }

    FtpServerProcess& secondServer()
    {
        if (!serverB) {
            std::filesystem::create_directory(serverRootB.path() / "in");
            serverB = std::make_unique<FtpServerProcess>(serverRootB.path());
        }
        return *serverB;
    }

    std::string localPath(const std::string& name) const { return (localDir.path() / name).string(); }

    // Writes the list and starts the program with it; the run starts when the window shows.
    void runList(const std::vector<std::string>& lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        writeWholeFile(listFile(), text);
        start({QStringLiteral("tarn"), QString::fromStdString(listFile())});
        window->TempFolderPath = logDir.path().string() + "/";
        window->session().ReadTimeout = 10000;
        show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->uploadRun().UploadList.has_value(); }, 30000));
    }

    std::string listFile() const { return (listDir.path() / "uploads.txt").string(); }

    // The trace from "Auto-Upload starting." on.
    QStringList runTrace() const
    {
        const QStringList lines = trace();
        const qsizetype first = lines.indexOf(QStringLiteral("Auto-Upload starting."));
        return first < 0 ? QStringList() : lines.mid(first);
    }

    void expectRunEndedAsUsual()
    {
        EXPECT_FALSE(window->uploadRun().AutoUploadActive);
        EXPECT_FALSE(window->uploadRun().UploadList.has_value());
    }

    TempDir serverRootB{"tarn-upload-server-b"};
    TempDir listDir{"tarn-upload-list"};
    std::unique_ptr<FtpServerProcess> serverB;
};

TEST_F(UploadRunTest, ThreeLinesForTwoSitesShareOneConnectionPerSiteAndStayConnectedToTheLast)
{
    writePatternFile(localDir.path() / "one.bin", 300000, 1);
    writePatternFile(localDir.path() / "two.bin", 5000, 2);
    writePatternFile(localDir.path() / "three.bin", 70000, 3);
    storeTwoSites(hostOf(realServer()), hostOf(secondServer()));
    storeSettings({0, 0, 134, 0, 213, 0, 70, 2, 72, 3, 117, 1, 174, 0, 1, 3, 1, 1});
    runList({"SITE=A  FILE=" + localPath("one.bin"), "site=A file=   " + localPath("two.bin"),
             "Site=B  File=" + localPath("three.bin")});

    EXPECT_TRUE(script->boxes.empty()) << script->lastBoxText().toStdString();
    EXPECT_EQ(serverFile("one.bin"), localFile("one.bin"));
    EXPECT_EQ(serverFile("two.bin"), localFile("two.bin"));
    EXPECT_EQ(readWholeFile(serverRootB.path() / "in" / "three.bin"), localFile("three.bin"));

    const QStringList run = runTrace();
    const QStringList green = run.filter(QRegularExpression("^(Upload |Auto-|FILE)"));
    EXPECT_EQ(green, (QStringList{"Auto-Upload starting.",
                                  "Upload 1.  Site=A  File=" + QString::fromStdString(localPath("one.bin")),
                                  "Upload 2.  Site=A  File=" + QString::fromStdString(localPath("two.bin")),
                                  "Upload 3.  Site=B  File=" + QString::fromStdString(localPath("three.bin")),
                                  "FILE(S) UPLOADED SUCCESSFULLY"}));
    EXPECT_EQ(run.last(), "FILE(S) UPLOADED SUCCESSFULLY");
    EXPECT_TRUE(run.filter(QRegularExpression("^(->> |<<- )")).isEmpty()) << run.join('\n').toStdString();
    // A, then B: two connections and one disconnect, none between uploads 1 and 2.
    EXPECT_EQ(run.filter(QRegularExpression("^Connecting ")).size(), 2);
    EXPECT_EQ(run.filter(QRegularExpression("^Disconnected\\. ")).size(), 1);
    const qsizetype second = run.indexOf(green[2]);
    EXPECT_TRUE(run.mid(run.indexOf(green[1]), second - run.indexOf(green[1]))
                    .filter(QRegularExpression("^Connecting ")).isEmpty());

    EXPECT_TRUE(window->session().IsConnected());
    EXPECT_EQ(CurrentSite, 1);
    EXPECT_EQ(partOf<QComboBox>(*window, "tbSite")->currentIndex(), 1);
    EXPECT_EQ(partOf<QLineEdit>(*window, "RemDir")->text(), "/in");
    EXPECT_EQ(remoteNames(), std::vector<std::string>{"three.bin"});
    // The run sorts both panes by date, newest first, whatever the settings said.
    EXPECT_EQ(SortColumn[0], 2);
    EXPECT_EQ(SortColumn[1], 2);
    EXPECT_EQ(SortAscending[0], 0);
    EXPECT_EQ(SortAscending[1], 0);
    expectRunEndedAsUsual();
}

TEST_F(UploadRunTest, AnUnknownSiteOnTheSecondLineStopsTheRunBeforeAnythingMoves)
{
    writePatternFile(localDir.path() / "one.bin", 1000, 1);
    storeTwoSites(hostOf(realServer()), "127.0.0.1:1");
    const std::string badLine = "SITE=Nowhere FILE=" + localPath("one.bin");
    runList({"SITE=A FILE=" + localPath("one.bin"), badLine});

    ASSERT_EQ(script->boxes.size(), 1u);
    EXPECT_EQ(script->boxes[0].text,
              QString::fromStdString("Invalid input line: \"" + badLine + "\"\rSite name not defined\r"
                                     "Cannot upload. Check contents of upload list in " + listFile()));
    EXPECT_EQ(script->boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(script->boxes[0].buttons, std::vector<MsgButton>{MsgButton::Abort});
    EXPECT_EQ(script->beeps, 1);
    EXPECT_FALSE(std::filesystem::exists(serverRoot.path() / "one.bin"));
    EXPECT_FALSE(window->session().IsConnected());
    EXPECT_TRUE(runTrace().isEmpty());
    expectRunEndedAsUsual();
}

TEST_F(UploadRunTest, AnUnreachableSiteAbandonsTheRunAndLaterConnectionsListAndTraceAgain)
{
    writePatternFile(localDir.path() / "one.bin", 1000, 1);
    writePatternFile(localDir.path() / "two.bin", 1000, 2);
    storeTwoSites("127.0.0.1:" + std::to_string(closedLoopbackPort()), hostOf(secondServer()));
    runList({"SITE=B FILE=" + localPath("one.bin"), "SITE=A FILE=" + localPath("two.bin"),
             "SITE=B FILE=" + localPath("two.bin")});

    EXPECT_EQ(readWholeFile(serverRootB.path() / "in" / "one.bin"), localFile("one.bin"));
    EXPECT_FALSE(std::filesystem::exists(serverRootB.path() / "in" / "two.bin"));
    const QStringList run = runTrace();
    EXPECT_TRUE(run.contains("Abandoned upload to site=A"));
    EXPECT_FALSE(run.contains("FILE(S) UPLOADED SUCCESSFULLY"));
    EXPECT_FALSE(run.contains("Upload 3.  Site=B  File=" + QString::fromStdString(localPath("two.bin"))));
    EXPECT_TRUE(script->lastBoxText().startsWith("Connection failed."));
    EXPECT_NE(failureLog().find("*CF*"), std::string::npos);
    expectRunEndedAsUsual();

    // Back to usual: connecting to B lists its directory and traces the commands.
    emit partOf<QComboBox>(*window, "tbSite")->activated(1);
    actionOf(*window, "acConnect")->trigger();
    ASSERT_TRUE(window->session().IsConnected());
    EXPECT_EQ(remoteNames(), std::vector<std::string>{"one.bin"});
    EXPECT_TRUE(traceHas("^->> LIST"));
}

TEST_F(UploadRunTest, AFailedUploadStopsTheRunWithItsBox)
{
    writePatternFile(localDir.path() / "one.bin", 1000, 1);
    writePatternFile(localDir.path() / "two.bin", 1000, 2);
    writePatternFile(localDir.path() / "three.bin", 1000, 3);
    // A folder where the file should go makes the server refuse the upload.
    std::filesystem::create_directory(serverRoot.path() / "two.bin");
    storeTwoSites(hostOf(realServer()), "127.0.0.1:1");
    const std::string failing = "SITE=A FILE=" + localPath("two.bin");
    runList({"SITE=A FILE=" + localPath("one.bin"), failing, "SITE=A FILE=" + localPath("three.bin")});

    EXPECT_EQ(serverFile("one.bin"), localFile("one.bin"));
    EXPECT_FALSE(std::filesystem::exists(serverRoot.path() / "three.bin"));
    ASSERT_FALSE(script->boxes.empty());
    EXPECT_EQ(script->boxes.back().text, QString::fromStdString("Upload of " + failing + " failed"));
    EXPECT_EQ(script->boxes.back().icon, MsgIcon::Error);
    EXPECT_NE(failureLog().find("*R-Up*"), std::string::npos);
    EXPECT_FALSE(runTrace().contains("FILE(S) UPLOADED SUCCESSFULLY"));
    expectRunEndedAsUsual();
}

TEST_F(UploadRunTest, AnEmptyListEndsAtOnceWithoutListingOrSuccessLine)
{
    storeTwoSites(hostOf(realServer()), "127.0.0.1:1");
    runList({});

    EXPECT_TRUE(script->boxes.empty()) << script->lastBoxText().toStdString();
    EXPECT_FALSE(window->session().IsConnected());
    EXPECT_TRUE(failureLog().empty());
    EXPECT_FALSE(trace().contains("FILE(S) UPLOADED SUCCESSFULLY"));
    EXPECT_FALSE(trace().contains("Auto-Upload starting."));
    expectRunEndedAsUsual();
}

} // namespace
