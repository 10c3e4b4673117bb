// Connecting from the window: the trace of the login, the connect command in each state,
// disconnecting, and the failure report with its log, against the real and a scripted server.
#include "ConnectedWindowSupport.h"

#include "protocol/FtpScript.h"
#include "support/LoopbackPorts.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <sys/stat.h>

namespace {

const QString kStamp = QStringLiteral("\\d\\d:\\d\\d:\\d\\d \\d\\d/\\d\\d/\\d\\d$");
const QString kConnectFailedBox = QStringLiteral(
    "Connection failed.  Check you are connected to the Internet\r"
    "(Details logged in FTP-log.txt in Windows Temporary Folder)");

class ConnectedWindow : public ConnectedWindowFixture {};

TEST_F(ConnectedWindow, ConnectTracesTheLoginAndListsTheServerSorted)
{
    writeWholeFile(serverRoot.path() / "b.txt", "bb");
    writeWholeFile(serverRoot.path() / "a.txt", "a");
    std::filesystem::create_directory(serverRoot.path() / "dir");
    connectToRealServer();
    EXPECT_TRUE(traceHas("^Connecting " + kStamp));
    EXPECT_TRUE(traceHas("^\\d\\d:\\d\\d:\\d\\d - Connecting to 127\\.0\\.0\\.1\\.$"));
    EXPECT_EQ(traceCount("->> USER tarn"), 1);
    EXPECT_EQ(traceCount("->> PASS ******"), 1);
    EXPECT_TRUE(trace().filter("secret").isEmpty()) << "the password never shows";
    EXPECT_TRUE(traceHas("^<<- 230 "));
    const QScrollBar* scroll = partOf<QPlainTextEdit>(*window, "RTFLog")->verticalScrollBar();
    EXPECT_GT(scroll->maximum(), 0);
    EXPECT_EQ(scroll->value(), scroll->maximum()) << "the trace follows its newest line";
    EXPECT_EQ(sortedRemoteNames(), (std::vector<std::string>{"a.txt", "b.txt", "dir"}));
    EXPECT_EQ(paneOf(*window, "LVR")->row(paneOf(*window, "LVR")->findRow("dir")).typeText, "Directory");
    EXPECT_EQ(window->statusPanel(3), "Remote entries=3");
    EXPECT_EQ(partOf<QLineEdit>(*window, "RemDir")->text(), "/");
    EXPECT_EQ(actionOf(*window, "acConnect")->text(), "Disconnect");
    EXPECT_EQ(actionOf(*window, "acConnect")->toolTip(), "Disconnect from site");
    EXPECT_TRUE(actionOf(*window, "acRemoteRefresh")->isEnabled());
    EXPECT_FALSE(actionOf(*window, "acCreateSite")->isEnabled()) << "site commands wait for the disconnect";

    actionOf(*window, "acConnect")->trigger();
    EXPECT_FALSE(window->session().IsConnected());
    EXPECT_EQ(traceCount("->> QUIT"), 1);
    EXPECT_EQ(paneOf(*window, "LVR")->rowCount(), 0);
    EXPECT_EQ(window->statusPanel(3), "");
    EXPECT_TRUE(trace().back().contains(QRegularExpression("^Disconnected\\. " + kStamp)));
    EXPECT_EQ(actionOf(*window, "acConnect")->text(), "Connect");
    EXPECT_TRUE(actionOf(*window, "acCreateSite")->isEnabled());
    EXPECT_FALSE(actionOf(*window, "acRemoteRefresh")->isEnabled());
    EXPECT_TRUE(script->boxes.empty());
}

TEST_F(ConnectedWindow, ARefusedConnectionIsReportedAndLoggedOncePerFailure)
{
    startWithSite("127.0.0.1:" + std::to_string(closedLoopbackPort()));
    actionOf(*window, "acConnect")->trigger();
    actionOf(*window, "acConnect")->trigger();
    EXPECT_EQ(script->boxTexts(), (QStringList{kConnectFailedBox, kConnectFailedBox}));
    EXPECT_EQ(traceCount("Connection failed"), 2);
    const QStringList lines = QString::fromStdString(failureLog()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    for (const QString& line : lines)
        EXPECT_TRUE(line.contains(QRegularExpression(
            "^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d  \\*CF\\* Exception EId\\w+ in module \\S+ at "
            "[0-9A-F]{8}\\. Socket Error # 10061  Connection refused\\.$")))
            << line.toStdString();
    EXPECT_EQ(actionOf(*window, "acConnect")->text(), "Connect");
    EXPECT_TRUE(actionOf(*window, "acConnect")->isEnabled());
    EXPECT_TRUE(actionOf(*window, "acCreateSite")->isEnabled());
}

// A log that is a link or a FIFO is refused, the failure reported as usual, the refusal traced.
TEST_F(ConnectedWindow, ARefusedFailureLogNeverHidesTheFailure)
{
    const auto victim = localDir.path() / "victim.txt";
    writeWholeFile(victim, "mine");
    const auto log = logDir.path() / "FTP-log.txt";
    for (const bool link : {true, false}) {
        SCOPED_TRACE(link ? "link" : "FIFO");
        std::filesystem::remove(log);
        if (link)
            std::filesystem::create_symlink(victim, log);
        else
            ASSERT_EQ(mkfifo(log.c_str(), 0600), 0);
        script->clear();
        startWithSite("127.0.0.1:" + std::to_string(closedLoopbackPort()));
        actionOf(*window, "acConnect")->trigger();
        EXPECT_EQ(script->boxTexts(), QStringList{kConnectFailedBox});
        EXPECT_TRUE(traceHas("^Cannot write the failure log .*FTP-log\\.txt: it is ")) << trace().join('\n').toStdString();
        EXPECT_EQ(traceCount("Connection failed"), 1);
        EXPECT_EQ(actionOf(*window, "acConnect")->text(), "Connect");
        EXPECT_TRUE(actionOf(*window, "acCreateSite")->isEnabled());
    }
    EXPECT_EQ(readWholeFile(victim), "mine");
}

TEST_F(ConnectedWindow, AMissingRemoteDirectoryIsIgnoredAndTheLoginDirectoryListed)
{
    writeWholeFile(serverRoot.path() / "top.txt", "t");
    connectToRealServer("/nowhere");
    ASSERT_EQ(script->boxes.size(), 1u);
    EXPECT_EQ(script->boxes[0].text, "Remote Directory invalid. Correct Site definition?");
    EXPECT_EQ(script->boxes[0].buttons, std::vector<MsgButton>{MsgButton::Ignore});
    EXPECT_EQ(remoteNames(), std::vector<std::string>{"top.txt"});
    EXPECT_EQ(actionOf(*window, "acConnect")->text(), "Disconnect");
    EXPECT_EQ(failureLog(), "");
}

TEST_F(ConnectedWindow, ARefusedListingDisconnectsWithTheServersText)
{
    ScriptedFtpServer scripted;
    ftptest::addLogin(scripted)
        .reply("TYPE A", "200 ok\r\n")
        .reply("PWD", "257 \"/\" is current\r\n")
        .pasv()
        .reply("LIST", "550 No <b>listing</b> here.\r\n");
    connectToScript(scripted);
    EXPECT_EQ(script->lastBoxText().toStdString(), "No <b>listing</b> here.\r\n\rDisconnecting.   (Code=FR)");
    EXPECT_TRUE(traceHas("^<<- 550 No <b>listing</b> here\\.$")) << "server text stays plain";
    EXPECT_NE(failureLog().find("  *FR* Exception EIdProtocolReplyError"), std::string::npos);
    EXPECT_FALSE(window->session().IsConnected());
    EXPECT_EQ(window->statusPanel(3), "Remote entries=0");
    EXPECT_EQ(actionOf(*window, "acConnect")->text(), "Connect");
}

TEST_F(ConnectedWindow, TraceSwitchedOffKeepsOnlyTheWindowsOwnLines)
{
    startWithSite("127.0.0.1:" + std::to_string(realServer().port()));
    partOf<QCheckBox>(*window, "TraceCheckBox")->click();
    EXPECT_FALSE(partOf<QPlainTextEdit>(*window, "RTFLog")->isVisible());
    actionOf(*window, "acConnect")->trigger();
    ASSERT_TRUE(window->session().IsConnected());
    partOf<QCheckBox>(*window, "TraceCheckBox")->click();
    EXPECT_TRUE(partOf<QPlainTextEdit>(*window, "RTFLog")->isVisible());
    EXPECT_TRUE(traceHas("^Connecting "));
    EXPECT_TRUE(traceHas(" - Connected\\.$"));
    EXPECT_FALSE(traceHas("^(->>|<<-) ")) << trace().join('\n').toStdString();
    actionOf(*window, "acRemoteRefresh")->trigger();
    EXPECT_TRUE(traceHas("^->> PWD$")) << "switched on again, the trace follows the session";
}

TEST_F(ConnectedWindow, ThePassiveBoxDecidesTheNextTransfer)
{
    writeWholeFile(serverRoot.path() / "f.txt", "f");
    connectToRealServer("", false);
    EXPECT_TRUE(traceHas("^->> PORT "));
    partOf<QCheckBox>(*window, "UsePassive")->setChecked(true);
    actionOf(*window, "acRemoteRefresh")->trigger();
    EXPECT_TRUE(traceHas("^->> PASV$"));
    EXPECT_EQ(remoteNames(), std::vector<std::string>{"f.txt"});
}

} // namespace
