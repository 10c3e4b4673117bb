// Session commands against the scripted server: greetings, the login schemes, SYST, PWD,
// SIZE, the transfer type, the resume probe, reply framing, and refused arguments.
#include "FtpScript.h"

#include <gtest/gtest.h>

using namespace ftptest;

namespace {

using Lines = std::vector<std::string>;

class FtpOpenSession : public ScriptedServerTest {};

TEST_F(FtpOpenSession, MultiLineGreetingIsOneReplyReadBeforeUser)
{
    server.send("220-Welcome\r\n220-second\r\n220 ready\r\n")
        .reply("USER tarn", "230 No password needed\r\n")
        .reply("TYPE I", "200 ok\r\n")
        .reply("SYST", "215 UNIX Type: L8\r\n")
        .reply("FEAT", kNoFeatures);
    server.start();
    auto ftp = makeSession(server);
    StatusLog log;
    log.attach(*ftp);
    ftp->OpenSession();
    EXPECT_EQ(ftp->GreetingReply().NumericCode(), 220);
    EXPECT_EQ(ftp->GreetingReply().Text(), (Lines{"Welcome", "second", "ready"}));
    EXPECT_EQ(ftp->SystemType(), "UNIX Type: L8");
    EXPECT_EQ(ftp->LoginReply().NumericCode(), 230);
    EXPECT_TRUE(log.contains("Connection established"));
    ASSERT_TRUE(server.waitDone());
    // USER answered 230: the login is complete without PASS.
    EXPECT_EQ(server.transcript(), (Lines{"USER tarn", "TYPE I", "SYST", "FEAT"}));
}

TEST_F(FtpOpenSession, Greeting120FailsAndLeavesTheSessionClosed)
{
    ScriptedFtpServer server;
    server.send("120 Service ready in 5 minutes\r\n");
    server.start();
    auto ftp = makeSession(server);
    try {
        ftp->OpenSession();
        FAIL() << "OpenSession accepted a 120 greeting";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_EQ(error.ReplyErrorCode(), 120);
    }
    EXPECT_FALSE(ftp->IsConnected());
    ASSERT_TRUE(server.waitDone());
    EXPECT_TRUE(server.transcript().empty());
}

TEST_F(FtpOpenSession, Pass530RaisesWithTheCodeAndClosesTheConnection)
{
    ScriptedFtpServer server;
    server.send("220 ready\r\n")
        .reply("USER tarn", "331 Password required\r\n")
        .reply("PASS secret", "530 Login incorrect.\r\n");
    server.start();
    auto ftp = makeSession(server);
    try {
        ftp->OpenSession();
        FAIL() << "OpenSession accepted a 530 answer to PASS";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_EQ(error.ReplyErrorCode(), 530);
        EXPECT_NE(std::string(error.what()).find("Login incorrect."), std::string::npos);
    }
    EXPECT_FALSE(ftp->IsConnected());
}

struct SystCase {
    const char* id;
    const char* reply;
    bool opens;
    const char* systemType;
};

class FtpSystAnswer : public testing::TestWithParam<SystCase> {};

TEST_P(FtpSystAnswer, DecidesTheSystemTypeOrFailsTheOpen)
{
    const SystCase& c = GetParam();
    ScriptedFtpServer server;
    server.send("220 ready\r\n")
        .reply("USER tarn", "331 pw\r\n")
        .reply("PASS secret", "230 ok\r\n")
        .reply("TYPE I", "200 ok\r\n")
        .reply("SYST", c.reply);
    if (c.opens)
        server.reply("FEAT", kNoFeatures);
    server.start();
    auto ftp = makeSession(server);
    if (c.opens) {
        ftp->OpenSession();
        EXPECT_EQ(ftp->SystemType(), c.systemType);
        EXPECT_TRUE(ftp->IsConnected());
    } else {
        EXPECT_THROW(ftp->OpenSession(), EIdProtocolReplyError);
        EXPECT_FALSE(ftp->IsConnected());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpSystAnswer,
    testing::Values(SystCase{"syst215", "215 UNIX Type: L8\r\n", true, "UNIX Type: L8"},
                    SystCase{"syst200", "200 Windows_NT\r\n", true, "Windows_NT"},
                    SystCase{"syst500", "500 SYST not understood\r\n", true, "Unknown"},
                    SystCase{"syst502", "502 Command not implemented\r\n", false, ""}),
    [](const auto& info) { return std::string(info.param.id); });

struct ProxyCase {
    const char* id;
    TIdFtpProxyType type;
    Lines commands;
};

class FtpProxyLogin : public ScriptedServerTestWithParam<ProxyCase> {};

TEST_P(FtpProxyLogin, SendsTheSchemesCommandsToTheProxy)
{
    const ProxyCase& c = GetParam();
    server.send("220 proxy ready\r\n");
    for (const std::string& command : c.commands)
        server.reply(command, command.rfind("USER", 0) == 0 ? "331 pw\r\n" : "230 ok\r\n");
    server.reply("TYPE I", "200 ok\r\n").reply("SYST", "215 UNIX\r\n").reply("FEAT", kNoFeatures);
    server.start();
    auto ftp = makeSession(server);
    // The target; with a proxy scheme the connection goes to the proxy instead.
    const bool direct = c.type == TIdFtpProxyType::fpcmNone;
    const std::string target = direct ? "127.0.0.1" : "ftp.example.org";
    const int targetPort = direct ? server.port() : 21;
    ftp->Host = target;
    ftp->Port = targetPort;
    ftp->ProxySettings.ProxyType = c.type;
    ftp->ProxySettings.Host = "127.0.0.1";
    ftp->ProxySettings.Port = server.port();
    ftp->ProxySettings.UserName = "puser";
    ftp->ProxySettings.Password = "ppass";
    ftp->OpenSession();
    EXPECT_EQ(ftp->Host, target);
    EXPECT_EQ(ftp->Port, targetPort);
    ASSERT_TRUE(server.waitDone());
    Lines expected = c.commands;
    expected.push_back("TYPE I");
    expected.push_back("SYST");
    expected.push_back("FEAT");
    EXPECT_EQ(server.transcript(), expected);
}

INSTANTIATE_TEST_SUITE_P(Schemes, FtpProxyLogin,
    testing::Values(
        ProxyCase{"none", TIdFtpProxyType::fpcmNone, {"USER tarn", "PASS secret"}},
        ProxyCase{"userSite", TIdFtpProxyType::fpcmUserSite,
                  {"USER puser", "PASS ppass", "USER tarn@ftp.example.org", "PASS secret"}},
        ProxyCase{"site", TIdFtpProxyType::fpcmSite,
                  {"USER puser", "PASS ppass", "SITE ftp.example.org", "USER tarn", "PASS secret"}},
        ProxyCase{"open", TIdFtpProxyType::fpcmOpen,
                  {"USER puser", "PASS ppass", "OPEN ftp.example.org", "USER tarn", "PASS secret"}},
        ProxyCase{"userPass", TIdFtpProxyType::fpcmUserPass,
                  {"USER tarn@puser@ftp.example.org", "PASS secret@ppass"}},
        ProxyCase{"transparent", TIdFtpProxyType::fpcmTransparent,
                  {"USER puser", "PASS ppass", "USER tarn", "PASS secret"}}),
    [](const auto& info) { return std::string(info.param.id); });

TEST(FtpProxyLoginHttp, IsRefusedAsNotSupported)
{
    ScriptedFtpServer server;
    server.send("220 ready\r\n");
    server.start();
    auto ftp = makeSession(server);
    ftp->ProxySettings.ProxyType = TIdFtpProxyType::fpcmHttpProxyWithFtp;
    try {
        ftp->OpenSession();
        FAIL();
    } catch (const EIdException& error) {
        EXPECT_STREQ(error.what(), "Command not supported.");
    }
    EXPECT_FALSE(ftp->IsConnected());
}

struct PwdCase {
    const char* id;
    const char* reply;
    const char* path;
};

class FtpPwdAnswer : public testing::TestWithParam<PwdCase> {};

TEST_P(FtpPwdAnswer, GivesThePathBetweenTheFirstQuotes)
{
    ScriptedFtpServer server;
    addLogin(server).reply("PWD", GetParam().reply);
    auto ftp = openScriptedSession(server);
    EXPECT_EQ(ftp->QueryCurrentDirectory(), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpPwdAnswer,
    testing::Values(PwdCase{"quoted", "257 \"/home/tarn\" is the current directory\r\n", "/home/tarn"},
                    PwdCase{"blanks", "257 \"/my dir/x\"\r\n", "/my dir/x"},
                    PwdCase{"noQuotes", "257 /home/tarn\r\n", ""},
                    PwdCase{"oneQuote", "257 \"/home/tarn\r\n", ""},
                    PwdCase{"doubledQuote", "257 \"/a\"\"b\" here\r\n", "/a"}),
    [](const auto& info) { return std::string(info.param.id); });

struct SizeCase {
    const char* id;
    const char* reply;
    std::int64_t size;
};

class FtpSizeAnswer : public testing::TestWithParam<SizeCase> {};

TEST_P(FtpSizeAnswer, GivesTheSizeOrMinusOne)
{
    ScriptedFtpServer server;
    addLogin(server).reply("SIZE file.bin", GetParam().reply).reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    EXPECT_EQ(ftp->QueryFileSize("file.bin"), GetParam().size);
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200); // the session is still in step
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpSizeAnswer,
    testing::Values(SizeCase{"plain", "213 1234\r\n", 1234},
                    SizeCase{"over4GiB", "213 5000000000\r\n", 5000000000LL},
                    SizeCase{"missing550", "550 No such file.\r\n", -1},
                    SizeCase{"notANumber", "213 big\r\n", -1}),
    [](const auto& info) { return std::string(info.param.id); });

class FtpReplyFraming : public ScriptedServerTest {};

TEST_F(FtpReplyFraming, RepliesSplitAcrossBlocksAndSeveralInOneBlock)
{
    server.sendSplit("220 ready\r\n", {3, 10})
        .expect("USER tarn")
        .sendSplit("331 Password required\r\n", {1, 2, 22})
        .reply("PASS secret", "230 ok\r\n")
        .reply("TYPE I", "200 ok\r\n")
        .reply("SYST", "215 UNIX\r\n")
        .reply("FEAT", kNoFeatures)
        // The answers to RNFR and RNTO arrive in one block.
        .reply("RNFR a", "350 ready\r\n250 renamed\r\n")
        .expect("RNTO b")
        .reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    ftp->RenameRemote("a", "b");
    EXPECT_EQ(ftp->LastReply().NumericCode(), 250);
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

// A server that never ends a multi-line reply must not make the client hold it all.
TEST_F(FtpReplyFraming, MultiLineReplyWithoutEndIsRefusedOnceTooLong)
{
    std::string flood = "211-Status follows\r\n";
    const std::string line = "211-" + std::string(1000, 'x') + "\r\n";
    while (flood.size() < (std::size_t{5} << 20))
        flood += line;
    ScriptedFtpServer server;
    addLogin(server).expect("STAT").send(flood);
    auto ftp = openScriptedSession(server);
    try {
        ftp->RawCommand("STAT");
        FAIL() << "no exception";
    } catch (const EIdException& error) {
        EXPECT_EQ(std::string(error.what()),
                  "The server's reply is too long (more than 4194304 bytes).");
    }
}

TEST_F(FtpReplyFraming, LineOf16384BytesIsTooLongWithCrLfButNotWithLf)
{
    const std::string line = "200 " + std::string(16380, 'x');
    ScriptedFtpServer server;
    addLogin(server).expect("NOOP").send(line + "\n").expect("NOOP").send(line + "\r\n");
    auto ftp = openScriptedSession(server);
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
    EXPECT_THROW(ftp->RawCommand("NOOP"), EIdReadLnMaxLineLengthExceeded);
}

// The type the session believes in must be the server's: otherwise asking for binary again
// after a refused TYPE I would send nothing, and the next download would arrive converted.
class FtpTransferType : public ScriptedServerTest {};

TEST_F(FtpTransferType, RefusedTypeCommandKeepsTheTypeTheServerHas)
{
    addLogin(server).reply("TYPE A", "500 Not now\r\n").reply("TYPE A", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    EXPECT_THROW(ftp->SetTransferType(TIdFTPTransferType::ftASCII), EIdProtocolReplyError);
    EXPECT_EQ(ftp->TransferType(), TIdFTPTransferType::ftBinary);
    ftp->SetTransferType(TIdFTPTransferType::ftASCII);
    EXPECT_EQ(ftp->TransferType(), TIdFTPTransferType::ftASCII);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(afterLogin(server), (Lines{"TYPE A", "TYPE A"}));
}

TEST_F(FtpTransferType, SetWhileDisconnectedSendsNothingAndTheNextLoginUsesIt)
{
    addLogin(server, "A").reply("TYPE I", "200 ok\r\n");
    server.start();
    auto ftp = makeSession(server);
    ftp->SetTransferType(TIdFTPTransferType::ftASCII);
    ftp->OpenSession();
    ftp->SetTransferType(TIdFTPTransferType::ftBinary);
    ftp->SetTransferType(TIdFTPTransferType::ftBinary); // unchanged: nothing sent
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(afterLogin(server), (Lines{"TYPE I"}));
}

TEST(FtpResumeProbe, SendsRestOnlyOncePerSessionObject)
{
    ScriptedFtpServer first;
    addLogin(first).reply("REST 1", "350 Restarting at 1\r\n").reply("REST 0", "350 ok\r\n")
        .expect("QUIT");
    first.start();
    auto ftp = makeSession(first);
    ftp->OpenSession();
    EXPECT_TRUE(ftp->ProbeResume());
    EXPECT_TRUE(ftp->ProbeResume());
    ftp->CloseSession();
    ASSERT_TRUE(first.played());
    EXPECT_EQ(afterLogin(first), (Lines{"REST 1", "REST 0", "QUIT"}));

    // The answer holds across a new connection to another server.
    ScriptedFtpServer second;
    addLogin(second).reply("NOOP", "200 ok\r\n");
    second.start();
    ftp->Port = second.port();
    ftp->OpenSession();
    EXPECT_TRUE(ftp->ProbeResume());
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
    ASSERT_TRUE(second.waitDone());
    EXPECT_EQ(afterLogin(second), (Lines{"NOOP"}));
}

class FtpSingleCommands : public ScriptedServerTest {};

TEST_F(FtpSingleCommands, SendTheirCommandsAndCheckTheCodes)
{
    addLogin(server)
        .reply("CWD ..", "250 ok\r\n")
        .reply("CWD my dir", "200 ok\r\n")
        .reply("MKD new", "257 \"new\" created\r\n")
        .reply("RMD old", "250 removed\r\n")
        .reply("DELE f.txt", "250 deleted\r\n")
        .reply("CWD missing", "550 No such directory.\r\n")
        .reply("SITE CHMOD 644 f", "502 no\r\n")
        .expect("QUIT");
    auto ftp = openScriptedSession(server);
    ftp->ChangeDirectory("..");
    ftp->ChangeDirectory("my dir");
    ftp->MakeDirectory("new");
    ftp->DeleteDirectory("old");
    ftp->DeleteRemoteFile("f.txt");
    EXPECT_THROW(ftp->ChangeDirectory("missing"), EIdProtocolReplyError);
    EXPECT_TRUE(ftp->IsConnected());
    EXPECT_EQ(ftp->RawCommand("SITE CHMOD 644 f"), 502);
    ftp->CloseSession();
    EXPECT_FALSE(ftp->IsConnected());
}

// A name with CR, LF or NUL would smuggle a second command onto the connection.
class FtpArgumentInjection : public ScriptedServerTest {};

TEST_F(FtpArgumentInjection, IsRefusedBeforeAnythingIsSent)
{
    addLogin(server).reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    const std::string evil = "x\r\nDELE important";
    EXPECT_THROW(ftp->ChangeDirectory(evil), EIdException);
    EXPECT_THROW(ftp->MakeDirectory("a\nb"), EIdException);
    EXPECT_THROW(ftp->DeleteRemoteFile(std::string("a\0b", 3)), EIdException);
    EXPECT_THROW(ftp->RenameRemote("good", evil), EIdException);
    EXPECT_THROW(ftp->RenameRemote(evil, "good"), EIdException);
    EXPECT_THROW(ftp->QueryFileSize(evil), EIdException);
    EXPECT_THROW(ftp->RawCommand("NOOP\r\nQUIT"), EIdException);
    TIdMemoryStream sink;
    EXPECT_THROW(ftp->DownloadToStream(evil, sink, true), EIdException);
    EXPECT_THROW(ftp->UploadFromStream(sink, evil), EIdException);
    EXPECT_THROW(ftp->ListDirectory(nullptr, evil), EIdException);
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(afterLogin(server), (Lines{"NOOP"}));
}

TEST_F(FtpArgumentInjection, UserNameOrPasswordWithLineBreakIsRefusedBeforeConnecting)
{
    ScriptedFtpServer server(300);
    server.start();
    auto ftp = makeSession(server);
    ftp->SetPassword("secret\r\nDELE x");
    EXPECT_THROW(ftp->OpenSession(), EIdException);
    EXPECT_FALSE(ftp->IsConnected());
    server.waitDone();
    EXPECT_TRUE(server.transcript().empty());
}

} // namespace

namespace {

class FtpAbortOutsideATransfer : public ScriptedServerTest {};

TEST_F(FtpAbortOutsideATransfer, ReadsTheAnswerSoTheNextCommandStaysInStep)
{
    addLogin(server).reply("ABOR", "225 No transfer to abort\r\n").reply("NOOP", "200 ok\r\n")
        .reply("PWD", "257 \"/\"\r\n");
    auto ftp = openScriptedSession(server);
    ftp->SendAbort();
    EXPECT_EQ(ftp->QueryCurrentDirectory(), "/");
}

} // namespace
