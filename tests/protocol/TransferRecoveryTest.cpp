// Transfers that end early: a failure on our side (full disk, failing read, a data connection
// that cannot be made or stalls), a download the server refuses, and aborts answered in every
// way servers answer them. Each leaves the session in step: the next command gets its own
// reply.
#include "FtpScript.h"
#include "support/FtpServerProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <tuple>

using namespace ftptest;

namespace {

using Clock = std::chrono::steady_clock;

// The server answers ABOR, then the NOOP with which the session finds its place again.
ScriptedFtpServer& answerAbort(ScriptedFtpServer& s,
                               const std::string& replies = "426 Transfer aborted\r\n226 ABOR successful\r\n")
{
    return s.expect("ABOR").send(replies).reply("NOOP", "200 ok\r\n");
}

// A local disk with room for `room` bytes.
class FullDisk : public CountingSink {
public:
    explicit FullDisk(std::int64_t room) : m_room(room) {}
    void Write(const void* data, std::int64_t count) override
    {
        if (written() + count > m_room)
            throw std::runtime_error("Cannot write to file \"a.bin\". No space left on device");
        CountingSink::Write(data, count);
    }

private:
    std::int64_t m_room;
};

// A local file whose reads fail after `good` bytes.
class FailingSource : public GeneratedSource {
public:
    explicit FailingSource(std::int64_t good) : GeneratedSource(64 << 20), m_good(good) {}
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        if (Position() + count > m_good)
            throw std::runtime_error("Cannot read from file \"a.bin\". Input/output error");
        return GeneratedSource::Read(buffer, count);
    }

private:
    std::int64_t m_good;
};

void downloadToFullDisk(TIdFTP& ftp)
{
    FullDisk disk(100000);
    ftp.DownloadToStream("a.bin", disk);
}

void downloadToMemory(TIdFTP& ftp)
{
    TIdMemoryStream data;
    ftp.DownloadToStream("a.bin", data);
}

void uploadFrom(TIdFTP& ftp, TIdStream&& source)
{
    ftp.UploadFromStream(source, "a.bin");
}

struct FailureCase {
    const char* id;
    bool passive;
    std::function<void(ScriptedFtpServer&)> script;
    std::function<void(TIdFTP&)> transfer;
    const char* message; // how the error starts
};

class FailedTransfer : public ScriptedServerTestWithParam<FailureCase> {};

TEST_P(FailedTransfer, ReadsEveryReplySoTheNextCommandGetsItsOwn)
{
    const FailureCase& c = GetParam();
    addLogin(server);
    c.script(server);
    server.reply("NOOP", "200 ok\r\n").reply("PWD", "257 \"/\"\r\n");
    server.start();
    auto ftp = makeSession(server, c.passive);
    ftp->ReadTimeout = 1000;
    ftp->AcceptTimeout = 1000;
    ftp->OpenSession();
    try {
        c.transfer(*ftp);
        FAIL() << "the transfer did not fail";
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()).rfind(c.message, 0), 0u) << error.what();
    }
    EXPECT_EQ(ftp->DataLink(), nullptr);
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
    EXPECT_EQ(ftp->QueryCurrentDirectory(), "/");
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedTransfer,
    testing::Values(
        FailureCase{"diskFullPassive", true,
                    [](ScriptedFtpServer& s) { answerAbort(startDownload(s, true).sendGeneratedData(8 << 20)); },
                    downloadToFullDisk, "Cannot write to file"},
        FailureCase{"diskFullActive", false,
                    [](ScriptedFtpServer& s) { answerAbort(startDownload(s, false).sendGeneratedData(8 << 20)); },
                    downloadToFullDisk, "Cannot write to file"},
        FailureCase{"localReadFailsDuringUpload", true,
                    [](ScriptedFtpServer& s) { answerAbort(startUpload(s, true).receiveData()); },
                    [](TIdFTP& ftp) { uploadFrom(ftp, FailingSource(300000)); },
                    "Cannot read from file"},
        // STOR is out before the data connection is tried; nothing listens on port 1.
        FailureCase{"dataConnectionRefusedAfterStor", true,
                    [](ScriptedFtpServer& s) {
                        answerAbort(s.reply("PASV", "227 Entering Passive Mode (127,0,0,1,0,1)\r\n").expect("STOR a.bin"),
                                    "225 ABOR command successful; data channel closed.\r\n");
                    },
                    [](TIdFTP& ftp) { uploadFrom(ftp, TIdMemoryStream("data")); },
                    "Socket Error # 10061"},
        FailureCase{"activeAcceptTimesOut", false,
                    [](ScriptedFtpServer& s) {
                        answerAbort(s.expectPrefix("PORT ").send("200 PORT ok\r\n")
                                        .reply("RETR a.bin", "150 Opening data connection\r\n"));
                    },
                    downloadToMemory, "The server did not open the data connection in time."},
        FailureCase{"silenceAfter150Passive", true,
                    [](ScriptedFtpServer& s) { answerAbort(startDownload(s, true)); },
                    downloadToMemory, "Read Timeout"},
        FailureCase{"silenceInTheMiddleActive", false,
                    [](ScriptedFtpServer& s) { answerAbort(startDownload(s, false).sendData("part")); },
                    downloadToMemory, "Read Timeout"},
        FailureCase{"serverStopsReadingAnUpload", true,
                    [](ScriptedFtpServer& s) { answerAbort(startUpload(s, true)); },
                    [](TIdFTP& ftp) { uploadFrom(ftp, GeneratedSource(std::int64_t{1} << 30)); },
                    "Write Timeout"}),
    [](const auto& info) { return std::string(info.param.id); });

// The server went away in the middle: the data connection ends as a complete one would, but
// no final reply ever confirms it.
TEST(ServerGoneMidDownload, IsNeverCalledComplete)
{
    ScriptedFtpServer server;
    addLogin(server);
    startDownload(server, true).sendData("part").closeControl();
    server.start();
    auto ftp = makeSession(server);
    StatusLog log;
    log.attach(*ftp);
    ftp->OpenSession();
    TIdMemoryStream data;
    EXPECT_THROW(ftp->DownloadToStream("a.bin", data), EIdException);
    EXPECT_FALSE(log.contains("Transfer complete"));
}

// A download that stalls half-way keeps what came, and a resume carries on from there.
class StalledDownload : public ScriptedServerTest {};

TEST_F(StalledDownload, KeepsThePartialFileForAResume)
{
    TempDir dir;
    const std::string local = (dir.path() / "a.bin").string();
    const std::string whole = ScriptedFtpServer::generatedBytes(5000);
    addLogin(server);
    answerAbort(startDownload(server, true).sendData(whole.substr(0, 2000)))
        .reply("REST 1", "350 ok\r\n").reply("REST 0", "350 ok\r\n")
        .pasv().acceptData().reply("REST 2000", "350 Restarting at 2000\r\n")
        .reply("RETR a.bin", "150 Opening data connection\r\n")
        .sendData(whole.substr(2000)).closeData().send("226 Transfer complete\r\n");
    server.start();
    auto ftp = makeSession(server);
    ftp->ReadTimeout = 500;
    ftp->OpenSession();
    EXPECT_THROW(ftp->Download("a.bin", local), EIdReadTimeout);
    EXPECT_EQ(readWholeFile(local), whole.substr(0, 2000));
    ftp->Download("a.bin", local, false, true);
    EXPECT_EQ(readWholeFile(local), whole);
}

struct RefusalCase {
    const char* id;
    bool existing;
    std::function<void(ScriptedFtpServer&)> script;
};

class RefusedDownload : public ScriptedServerTestWithParam<RefusalCase> {};

// Nothing on disk changes unless data arrives: an existing file keeps its bytes and a new
// one is not left behind empty.
TEST_P(RefusedDownload, LeavesTheLocalFileAsItWas)
{
    const RefusalCase& c = GetParam();
    TempDir dir;
    const std::string local = (dir.path() / "a.bin").string();
    if (c.existing)
        writeWholeFile(local, "the user's own copy");
    addLogin(server);
    c.script(server);
    server.reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    EXPECT_THROW(ftp->Download("a.bin", local, c.existing), EIdProtocolReplyError);
    if (c.existing)
        EXPECT_EQ(readWholeFile(local), "the user's own copy");
    else
        EXPECT_FALSE(std::filesystem::exists(local));
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedDownload,
    testing::Values(
        RefusalCase{"missingRemoteFile", false,
                    [](ScriptedFtpServer& s) {
                        s.pasv().acceptData().reply("RETR a.bin", "550 a.bin: No such file or directory\r\n");
                    }},
        RefusalCase{"overwriteRefused", true,
                    [](ScriptedFtpServer& s) {
                        s.pasv().acceptData().reply("RETR a.bin", "550 a.bin: Permission denied\r\n");
                    }},
        RefusalCase{"remoteDirectory", false,
                    [](ScriptedFtpServer& s) { s.pasv().acceptData().reply("RETR a.bin", "550 Not a regular file\r\n"); }},
        RefusalCase{"overwriteAcceptedButNoByteCame", true,
                    [](ScriptedFtpServer& s) {
                        startDownload(s, true).closeData().send("451 Local error in processing\r\n");
                    }}),
    [](const auto& info) { return std::string(info.param.id); });

struct AbortAnswer {
    const char* id;
    const char* replies;
    bool late;
};

struct AbortedTransfer {
    const char* id;
    bool passive;
    bool upload;
};

const AbortAnswer kAbortAnswers[] = {
    {"426then226", "426 Transfer aborted\r\n226 ABOR successful\r\n", false},
    {"426then225", "426 Connection closed; transfer aborted.\r\n225 ABOR command successful\r\n", false},
    {"statisticsThen226",
     "150 0.006 seconds (measured here), 1294.15 Mbytes per second\r\n226 ABOR successful\r\n", false},
    {"lone225", "225 ABOR command successful; data channel closed.\r\n", false},
    {"lone226", "226 Abort successful\r\n", false},
    {"late226", "226 Abort successful\r\n", true},
};

const AbortedTransfer kAbortedTransfers[] = {
    {"passiveDownload", true, false},
    {"activeDownload", false, false},
    {"passiveUpload", true, true},
    {"activeUpload", false, true},
};

class AbortFromWorkHandler
    : public ScriptedServerTestWithParam<std::tuple<AbortAnswer, AbortedTransfer>> {};

// A download the user aborts returns with "Transfer aborted"; an upload raises. Either way
// every answer is read, without waiting for one that never comes.
TEST_P(AbortFromWorkHandler, ReadsEveryAnswerAndTheNextCommandGetsItsOwnReply)
{
    const auto& [answer, transfer] = GetParam();
    addLogin(server);
    if (transfer.upload)
        startUpload(server, transfer.passive).receiveData();
    else
        startDownload(server, transfer.passive).sendGeneratedData(64 << 20);
    server.expect("ABOR");
    if (answer.late)
        server.call([] { ::poll(nullptr, 0, 1000); });
    server.send(answer.replies).reply("NOOP", "200 ok\r\n")
        .reply("NOOP", "200 ok\r\n").reply("PWD", "257 \"/\"\r\n");
    server.start();
    auto ftp = makeSession(server, transfer.passive);
    StatusLog log;
    log.attach(*ftp);
    ftp->OpenSession();
    bool aborted = false;
    ftp->OnWork = [&](TIdComponent*, TWorkMode, std::int64_t) {
        if (!aborted) {
            aborted = true;
            ftp->SendAbort();
        }
    };
    const auto start = Clock::now();
    if (transfer.upload) {
        GeneratedSource source(64 << 20);
        EXPECT_THROW(ftp->UploadFromStream(source, "a.bin"), EIdFTPTransferAborted);
    } else {
        CountingSink sink;
        EXPECT_NO_THROW(ftp->DownloadToStream("a.bin", sink));
        EXPECT_LT(sink.written(), 64 << 20);
    }
    EXPECT_LT(Clock::now() - start, kPromptly);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(log.texts.back(), "Transfer aborted");
    EXPECT_FALSE(log.contains("Transfer complete"));
    EXPECT_TRUE(ftp->LastTransferAborted());
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
    EXPECT_EQ(ftp->QueryCurrentDirectory(), "/");
}

INSTANTIATE_TEST_SUITE_P(Cases, AbortFromWorkHandler,
    testing::Combine(testing::ValuesIn(kAbortAnswers), testing::ValuesIn(kAbortedTransfers)),
    [](const auto& info) {
        return std::string(std::get<1>(info.param).id) + "_" + std::get<0>(info.param).id;
    });

// proftpd keeps the end of an aborted listing and sends it ahead of the next one, in any
// folder; neither that nor what arrived before the abort may show in a later listing.
class AbortedListing : public ScriptedServerTest {};

TEST_F(AbortedListing, LeavesNothingToALaterListing)
{
    const std::string late = "-rw-r--r-- 1 a b 9 Jun 01 10:00 late-in-big\r\n";
    const std::string parent = "-rw-r--r-- 1 a b 9 Jun 01 10:00 parent.txt";
    addLogin(server).pasv().acceptData().reply("LIST", "150 listing\r\n").sendData(std::string(1 << 16, 'x'));
    server.expect("ABOR").sendData(late).send("426 Aborted\r\n226 ABOR ok\r\n").reply("NOOP", "200 ok\r\n")
        .reply("CWD ..", "250 ok\r\n");
    for (const std::string& data : {late + parent, parent})
        server.pasv().acceptData().reply("LIST", "150 listing\r\n").sendData(data).closeData().send("226 Done\r\n");
    auto ftp = openScriptedSession(server);
    ftp->OnWork = [&](TIdComponent*, TWorkMode, std::int64_t) { ftp->SendAbort(); };
    ftp->ListDirectory();
    EXPECT_TRUE(ftp->ListingLines().empty());
    EXPECT_EQ(ftp->ParsedListing().Count(), 0);
    ftp->OnWork = nullptr;
    ftp->ChangeDirectory("..");
    ftp->ListDirectory();
    EXPECT_EQ(ftp->ListingLines(), std::vector<std::string>{parent});
}

} // namespace
