// The session's extensions against the scripted server: the EPSV answer, the fall-back from
// a refused PASV to EPSV kept for the session, FEAT with and without UTF8, a refused FEAT,
// and the name-only listing parsed as names.
#include "FtpScript.h"

#include <gtest/gtest.h>

using namespace ftptest;

namespace {

using Lines = std::vector<std::string>;

struct EpsvCase {
    const char* id;
    const char* text;
    int port; // 0: refused
};

class FtpExtendedPassiveAnswer : public testing::TestWithParam<EpsvCase> {};

TEST_P(FtpExtendedPassiveAnswer, GivesThePortOrRefuses)
{
    const EpsvCase& c = GetParam();
    if (c.port == 0)
        EXPECT_THROW(ParseExtendedPassiveReply(c.text), EIdException);
    else
        EXPECT_EQ(ParseExtendedPassiveReply(c.text), c.port);
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpExtendedPassiveAnswer,
    testing::Values(EpsvCase{"usual", "Entering Extended Passive Mode (|||6446|)", 6446},
                    EpsvCase{"otherDelimiter", "Entering Extended Passive Mode (!!!21!)", 21},
                    EpsvCase{"highestPort", "ok (|||65535|)", 65535},
                    EpsvCase{"portZero", "ok (|||0|)", 0},
                    EpsvCase{"portTooLarge", "ok (|||65536|)", 0},
                    EpsvCase{"noPort", "ok (||||)", 0},
                    EpsvCase{"addressGiven", "ok (|2|::1|6446|)", 0},
                    EpsvCase{"mixedDelimiters", "ok (|!|6446|)", 0},
                    EpsvCase{"noParentheses", "Entering Extended Passive Mode |||6446|", 0}),
    [](const auto& info) { return std::string(info.param.id); });

ScriptedFtpServer& download(ScriptedFtpServer& server, const std::string& bytes)
{
    return server.acceptData().reply("RETR a.txt", "150 Opening data connection\r\n")
        .sendData(bytes).closeData().send("226 Transfer complete\r\n");
}

class FtpExtendedPassive : public ScriptedServerTest {};

TEST_F(FtpExtendedPassive, RefusedPasvFallsBackToEpsvForTheRestOfTheSession)
{
    addLogin(server).reply("PASV", "500 PASV not allowed through this firewall\r\n").epsv();
    download(server, "first").epsv();
    download(server, "second");
    auto ftp = openScriptedSession(server);
    EXPECT_FALSE(ftp->UsesExtendedPassive());
    TIdMemoryStream first;
    ftp->DownloadToStream("a.txt", first);
    EXPECT_TRUE(ftp->UsesExtendedPassive());
    TIdMemoryStream second;
    ftp->DownloadToStream("a.txt", second);
    EXPECT_EQ(first.DataString(), "first");
    EXPECT_EQ(second.DataString(), "second");
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(afterLogin(server), (Lines{"PASV", "EPSV", "RETR a.txt", "EPSV", "RETR a.txt"}));
}

TEST_F(FtpExtendedPassive, TransientPasvRefusalIsReportedNotWorkedAround)
{
    ScriptedFtpServer server;
    addLogin(server).reply("PASV", "425 Cannot open passive connection\r\n").reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    TIdMemoryStream data;
    try {
        ftp->DownloadToStream("a.txt", data);
        FAIL() << "a 425 answer to PASV was taken";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_EQ(error.ReplyErrorCode(), 425);
    }
    EXPECT_FALSE(ftp->UsesExtendedPassive());
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(afterLogin(server), (Lines{"PASV", "NOOP"}));
}

TEST_F(FtpExtendedPassive, FallBackIsForgottenByTheNextSession)
{
    ScriptedFtpServer server;
    addLogin(server).reply("PASV", "502 PASV not implemented\r\n").epsv();
    download(server, "x");
    auto ftp = openScriptedSession(server);
    TIdMemoryStream data;
    ftp->DownloadToStream("a.txt", data);
    EXPECT_TRUE(ftp->UsesExtendedPassive());
    ftp->CloseSession();
    ASSERT_TRUE(server.waitDone());

    ScriptedFtpServer next;
    addLogin(next);
    next.start();
    ftp->Port = next.port();
    ftp->OpenSession();
    EXPECT_FALSE(ftp->UsesExtendedPassive());
}

// The login of addLogin with the FEAT exchange given.
ScriptedFtpServer& loginWithFeatures(ScriptedFtpServer& server, const std::string& featReply)
{
    return server.send("220 ready\r\n")
        .reply("USER tarn", "331 pw\r\n")
        .reply("PASS secret", "230 ok\r\n")
        .reply("TYPE I", "200 ok\r\n")
        .reply("SYST", "215 UNIX\r\n")
        .reply("FEAT", featReply);
}

class FtpFeatures : public ScriptedServerTest {};

TEST_F(FtpFeatures, Utf8OfferedIsSwitchedOn)
{
    loginWithFeatures(server, "211-Features:\r\n MDTM\r\n CCC\r\n UTF8\r\n REST STREAM\r\n211 End\r\n")
        .reply("OPTS UTF8 ON", "200 Always in UTF8 mode.\r\n")
        .reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    // " CCC" is shorter than a reply code and its blank: still a feature, not the end.
    EXPECT_EQ(ftp->Features(), (Lines{"MDTM", "CCC", "UTF8", "REST STREAM"}));
    EXPECT_TRUE(ftp->HasFeature("utf8"));
    EXPECT_TRUE(ftp->HasFeature("REST"));
    EXPECT_FALSE(ftp->HasFeature("MLST"));
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

TEST_F(FtpFeatures, WithoutUtf8NothingMoreIsSent)
{
    loginWithFeatures(server, "211-Extensions supported:\r\n SIZE\r\n MDTM\r\n211 END\r\n")
        .reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    EXPECT_EQ(ftp->Features(), (Lines{"SIZE", "MDTM"}));
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(afterLogin(server), Lines{"NOOP"});
}

TEST_F(FtpFeatures, RefusedFeatLeavesTheSessionAsBefore)
{
    for (const std::string refusal : {"500 FEAT not understood\r\n", "502 Not implemented\r\n"}) {
        SCOPED_TRACE(refusal);
        ScriptedFtpServer server;
        loginWithFeatures(server, refusal).reply("NOOP", "200 ok\r\n");
        auto ftp = openScriptedSession(server);
        EXPECT_TRUE(ftp->Features().empty());
        EXPECT_FALSE(ftp->HasFeature("UTF8"));
        EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
        ASSERT_TRUE(server.waitDone());
        EXPECT_EQ(afterLogin(server), Lines{"NOOP"});
    }
}

TEST_F(FtpFeatures, SingleLineAnswerNamesNoFeature)
{
    ScriptedFtpServer server;
    loginWithFeatures(server, "211 No features\r\n");
    auto ftp = openScriptedSession(server);
    EXPECT_TRUE(ftp->Features().empty());
    ASSERT_TRUE(server.waitDone());
}

TEST(FtpListing, NameOnlyListingParsesIntoWholeNames)
{
    ScriptedFtpServer server;
    addLogin(server)
        .pasv().acceptData().reply("NLST", "150 Here comes the listing\r\n")
        .sendData(" leading\r\ntrailing \r\n-rw-r--r-- 1 a b 1 Jun 01 10:00 x\r\n")
        .closeData().send("226 Done\r\n");
    auto ftp = openScriptedSession(server);
    ftp->ListDirectory(nullptr, "", false);
    const TIdFTPListItems& items = ftp->ParsedListing();
    EXPECT_EQ(items.LineFormat(), TIdFTPListFormat::lfNoDetails);
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(items[0].EntryName, " leading");
    EXPECT_EQ(items[1].EntryName, "trailing ");
    EXPECT_EQ(items[2].EntryName, "-rw-r--r-- 1 a b 1 Jun 01 10:00 x");
    ASSERT_TRUE(server.waitDone());
}

} // namespace
