// Data transfers against the scripted server: PASV answers, the data address, active mode
// with a stranger knocking, abort from the work handler, final replies, 64-bit sizes,
// uploads and listings.
#include "FtpScript.h"
#include "support/FtpServerProcess.h"

#include <gtest/gtest.h>

using namespace ftptest;

namespace {

using Lines = std::vector<std::string>;

struct PasvCase {
    const char* id;
    const char* format;
    const char* host;
};

class FtpPassiveAnswer : public ScriptedServerTestWithParam<PasvCase> {};

// Whatever address the answer names, the data connection goes to the server itself.
TEST_P(FtpPassiveAnswer, DownloadConnectsToTheServersOwnAddress)
{
    const PasvCase& c = GetParam();
    addLogin(server).pasv(c.format).pasv(c.format).acceptData()
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .sendData("hello world").closeData()
        .send("226 Transfer complete\r\n");
    auto ftp = openScriptedSession(server);
    const TIdPassiveAddress said = ftp->RequestPassive();
    EXPECT_EQ(said.Host, c.host);
    EXPECT_GT(said.Port, 0);
    TIdMemoryStream data;
    ftp->DownloadToStream("a.txt", data);
    EXPECT_EQ(data.DataString(), "hello world");
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpPassiveAnswer,
    testing::Values(
        PasvCase{"parentheses", "227 Entering Passive Mode (127,0,0,1,{port}).\r\n", "127.0.0.1"},
        PasvCase{"noParentheses", "227 Entering Passive Mode 127,0,0,1,{port}\r\n", "127.0.0.1"},
        PasvCase{"otherAddress", "227 Entering Passive Mode (10,0,0,5,{port})\r\n", "10.0.0.5"},
        PasvCase{"blanksKept", "227 Passive (127, 0, 0, 1,{port})\r\n", "127. 0. 0. 1"}),
    [](const auto& info) { return std::string(info.param.id); });

TEST(FtpPassiveAnswerMalformed, RaisesTheConversionErrorBeforeAnyDataConnection)
{
    ScriptedFtpServer server;
    addLogin(server).reply("PASV", "227 Entering Passive Mode (127,0,0,1,x,7)\r\n");
    auto ftp = openScriptedSession(server);
    TIdMemoryStream data;
    try {
        ftp->DownloadToStream("a.txt", data);
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(ftp->DataLink(), nullptr);
}

struct PasvPortCase {
    const char* id;
    const char* answer;
    const char* port;
};

class FtpPassivePortOutOfRange : public ScriptedServerTestWithParam<PasvPortCase> {};

// Port fields beyond a byte: whatever they add up to, no data connection is tried.
TEST_P(FtpPassivePortOutOfRange, IsRefusedBeforeAnyDataConnection)
{
    addLogin(server).reply("PASV", GetParam().answer).reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    TIdMemoryStream data;
    try {
        ftp->DownloadToStream("a.txt", data);
        FAIL() << "no exception";
    } catch (const EIdException& error) {
        EXPECT_EQ(std::string(error.what()),
                  std::string("The server's passive mode answer names no usable port (")
                      + GetParam().port + ").");
    }
    EXPECT_EQ(ftp->DataLink(), nullptr);
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpPassivePortOutOfRange,
    testing::Values(
        PasvPortCase{"zero", "227 Passive (127,0,0,1,0,0)\r\n", "0"},
        PasvPortCase{"aboveTheTop", "227 Passive (127,0,0,1,256,0)\r\n", "65536"},
        PasvPortCase{"negative", "227 Passive (127,0,0,1,-1,0)\r\n", "-256"},
        // 256 * 16777216 is 2^32: in 32 bits it wraps round to 0 and the sum to port 21.
        PasvPortCase{"wrapsRoundIn32Bits", "227 Passive (127,0,0,1,16777216,21)\r\n", "4294967317"},
        PasvPortCase{"largestFields", "227 Passive (127,0,0,1,2147483647,2147483647)\r\n",
                     "551903297279"}),
    [](const auto& info) { return std::string(info.param.id); });

// Statuses and work events in one record, in the order the window sees them.
struct TransferEventLog {
    std::vector<std::string> events;
    void attach(TIdFTP& ftp)
    {
        ftp.OnStatus = [this](TIdComponent*, TIdStatus, const std::string& text) { events.push_back(text); };
        ftp.OnWorkBegin = [this](TIdComponent*, TWorkMode, std::int64_t) { events.push_back("begin"); };
        ftp.OnWork = [this](TIdComponent*, TWorkMode, std::int64_t) {
            if (events.back() != "work")
                events.push_back("work");
        };
        ftp.OnWorkEnd = [this](TIdComponent*, TWorkMode) { events.push_back("end"); };
    }
};

class FtpTransferOrder : public ScriptedServerTestWithParam<bool> {};

TEST_P(FtpTransferOrder, StartThenWorkThenCompleteForDownloadAndUpload)
{
    const bool passive = GetParam();
    addLogin(server);
    if (passive)
        server.pasv().acceptData().reply("RETR a.txt", "150 ok\r\n");
    else
        server.expectPrefix("PORT ").send("200 ok\r\n").reply("RETR a.txt", "150 ok\r\n").connectData();
    server.sendData("some data").closeData().send("226 done\r\n");
    if (passive)
        server.pasv().expect("STOR b.txt").acceptData().send("150 ok\r\n");
    else
        server.expectPrefix("PORT ").send("200 ok\r\n").reply("STOR b.txt", "150 ok\r\n").connectData();
    server.receiveData().send("226 done\r\n");
    server.start();
    auto ftp = makeSession(server, passive);
    ftp->OpenSession();
    TransferEventLog log;
    log.attach(*ftp);
    TIdMemoryStream down;
    ftp->DownloadToStream("a.txt", down);
    TIdMemoryStream up("uploaded");
    ftp->UploadFromStream(up, "b.txt");
    const std::vector<std::string> once{"Starting FTP transfer", "begin", "work", "end", "Transfer complete"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(log.events, twice);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.received(), "uploaded");
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpTransferOrder, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "passive" : "active"; });

class FtpActiveMode : public ScriptedServerTest {};

TEST_F(FtpActiveMode, StrangerOnTheDataPortIsClosedAndTheServerIsAccepted)
{
    addLogin(server).expectPrefix("PORT 127,0,0,1,").send("200 PORT ok\r\n")
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .intrudeData("127.0.0.2", "EVIL DATA")
        .connectData().sendData("the real data").closeData()
        .send("226 Transfer complete\r\n");
    server.start();
    auto ftp = makeSession(server, false);
    ftp->OpenSession();
    TIdMemoryStream data;
    ftp->DownloadToStream("a.txt", data);
    EXPECT_EQ(data.DataString(), "the real data");
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.intrudersRefused(), 1);
}

class FtpAbort : public ScriptedServerTest {};

TEST_F(FtpAbort, DownloadAbortedFromTheWorkHandlerReads426Then226)
{
    addLogin(server).pasv().acceptData()
        .reply("RETR big.bin", "150 Opening data connection\r\n")
        .sendGeneratedData(64 << 20)
        .expect("ABOR")
        .send("426 Transfer aborted\r\n226 ABOR successful\r\n") // both replies in one block
        .reply("NOOP", "200 ok\r\n")  // the session brings itself back in step
        .reply("NOOP", "200 ok\r\n");
    server.start();
    auto ftp = makeSession(server);
    StatusLog log;
    log.attach(*ftp);
    ftp->OpenSession();
    bool aborted = false;
    ftp->OnWork = [&](TIdComponent*, TWorkMode mode, std::int64_t) {
        if (mode == TWorkMode::wkRead && !aborted) {
            aborted = true;
            // The type cannot change while the data connection exists: nothing is sent.
            ftp->SetTransferType(TIdFTPTransferType::ftASCII);
            ftp->SendAbort();
        }
    };
    CountingSink sink;
    EXPECT_NO_THROW(ftp->DownloadToStream("big.bin", sink));
    EXPECT_GT(sink.written(), 0);
    EXPECT_LT(sink.written(), 64 << 20);
    EXPECT_EQ(sink.mismatches(), 0);
    EXPECT_FALSE(log.contains("Transfer complete")) << "an aborted transfer is never called complete";
    EXPECT_EQ(log.texts.back(), "Transfer aborted");
    EXPECT_EQ(ftp->TransferType(), TIdFTPTransferType::ftBinary);
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

// ABOR that reaches the server after the transfer ended is answered on its own; that answer
// must not be taken by the next command.
TEST_F(FtpAbort, LateAbortAnswerIsReadWithTheTransfer)
{
    addLogin(server).pasv().acceptData()
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .sendData("complete file").closeData()
        .send("226 Transfer complete\r\n")
        .expect("ABOR").send("225 No transfer to abort\r\n")
        .reply("NOOP", "200 ok\r\n")
        .reply("PWD", "257 \"/\"\r\n");
    server.start();
    auto ftp = makeSession(server);
    StatusLog log;
    log.attach(*ftp);
    ftp->OpenSession();
    ftp->OnWork = [&](TIdComponent*, TWorkMode, std::int64_t) {
        if (ftp->DataLink() != nullptr)
            ftp->SendAbort();
    };
    TIdMemoryStream data;
    ftp->DownloadToStream("a.txt", data);
    EXPECT_FALSE(log.contains("Transfer aborted"));
    EXPECT_EQ(ftp->QueryCurrentDirectory(), "/");
}

TEST(FtpFinalReply, Server426Then226EndsAsAbortedWithoutAnException)
{
    ScriptedFtpServer server;
    addLogin(server).pasv().acceptData()
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .sendData("part").closeData()
        .send("426 Transfer aborted\r\n").send("226 Closing data connection\r\n")
        .reply("NOOP", "200 ok\r\n").reply("NOOP", "200 ok\r\n");
    server.start();
    auto ftp = makeSession(server);
    StatusLog log;
    log.attach(*ftp);
    ftp->OpenSession();
    TIdMemoryStream data;
    EXPECT_NO_THROW(ftp->DownloadToStream("a.txt", data));
    EXPECT_EQ(data.DataString(), "part");
    EXPECT_EQ(log.texts.back(), "Transfer aborted");
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

TEST(FtpFinalReply, Lone426WithoutAbortFailsTheTransfer)
{
    ScriptedFtpServer server;
    addLogin(server).pasv().acceptData()
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .sendData("part").closeData()
        .send("426 Connection closed; transfer aborted.\r\n")
        .reply("NOOP", "200 ok\r\n").reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    TIdMemoryStream data;
    try {
        ftp->DownloadToStream("a.txt", data);
        FAIL() << "a transfer the server failed was reported as done";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_EQ(error.ReplyErrorCode(), 426);
    }
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

TEST(FtpLargeTransfer, MoreThan4GiBIntoACountingSinkWithRightTotalAndWorkCounts)
{
    const std::int64_t total = (std::int64_t{4} << 30) + 12345;
    ScriptedFtpServer server(20000);
    addLogin(server).pasv().acceptData()
        .reply("RETR huge.bin", "150 Opening data connection\r\n")
        .sendGeneratedData(total).closeData()
        .send("226 Transfer complete\r\n");
    server.start();
    auto ftp = makeSession(server);
    ftp->RecvBufferSize = 1 << 20;
    ftp->OpenSession();
    int begins = 0, ends = 0;
    std::int64_t events = 0, lastCount = 0;
    bool monotonic = true;
    ftp->OnWorkBegin = [&](TIdComponent*, TWorkMode, std::int64_t) { ++begins; };
    ftp->OnWorkEnd = [&](TIdComponent*, TWorkMode) { ++ends; };
    ftp->OnWork = [&](TIdComponent*, TWorkMode, std::int64_t count) {
        ++events;
        monotonic = monotonic && count > lastCount;
        lastCount = count;
    };
    CountingSink sink;
    ftp->DownloadToStream("huge.bin", sink);
    EXPECT_EQ(sink.written(), total);
    EXPECT_EQ(sink.mismatches(), 0);
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(monotonic);
    // The take-over of the final bytes after the close is not reported as work.
    EXPECT_GE(lastCount, total - ftp->RecvBufferSize);
    EXPECT_LE(lastCount, total);
    EXPECT_GE(events, total / ftp->RecvBufferSize);
    ASSERT_TRUE(server.played());
}

TEST(FtpLargeTransfer, MoreThan4GiBUploadArrivesWhole)
{
    const std::int64_t total = (std::int64_t{4} << 30) + 54321;
    ScriptedFtpServer server(20000);
    addLogin(server).pasv().expect("STOR huge.bin").acceptData()
        .send("150 Ok to send data\r\n")
        .receiveGeneratedData()
        .send("226 Transfer complete\r\n");
    server.start();
    auto ftp = makeSession(server);
    ftp->SendBufferSize = 1 << 20;
    ftp->OpenSession();
    std::int64_t lastCount = 0, maximum = 0;
    ftp->OnWorkBegin = [&](TIdComponent*, TWorkMode, std::int64_t max) { maximum = max; };
    ftp->OnWork = [&](TIdComponent*, TWorkMode, std::int64_t count) { lastCount = count; };
    GeneratedSource source(total);
    ftp->UploadFromStream(source, "huge.bin");
    EXPECT_EQ(maximum, total);
    EXPECT_EQ(lastCount, total);
    ASSERT_TRUE(server.played(20000));
    EXPECT_EQ(server.receivedCount(), total);
    EXPECT_EQ(server.receivedMismatches(), 0);
}

class FtpResume : public ScriptedServerTest {};

TEST_F(FtpResume, RestOffsetIsTheStreamPositionBeyond4GiB)
{
    const std::int64_t offset = std::int64_t{5} << 30;
    addLogin(server)
        .reply("REST 1", "350 ok\r\n").reply("REST 0", "350 ok\r\n")
        .pasv().acceptData()
        .reply("REST 5368709120", "350 Restarting\r\n")
        .reply("RETR big.bin", "150 Opening data connection\r\n")
        .sendData(ScriptedFtpServer::generatedBytes(1000)).closeData()
        .send("226 Transfer complete\r\n");
    auto ftp = openScriptedSession(server);
    CountingSink sink(offset);
    ftp->DownloadToStream("big.bin", sink, true);
    EXPECT_EQ(sink.Position(), offset + 1000);
}

class FtpDownloadFile : public ScriptedServerTest {};

TEST_F(FtpDownloadFile, ExistingFileWithNeitherFlagRaisesAndSendsNothing)
{
    TempDir dir;
    const std::string local = (dir.path() / "here.txt").string();
    writeWholeFile(local, "keep me");
    ScriptedFtpServer server;
    addLogin(server).reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    try {
        ftp->Download("here.txt", local);
        FAIL();
    } catch (const EIdFTPFileAlreadyExists& error) {
        EXPECT_STREQ(error.what(), "Destination file already exists.");
    }
    EXPECT_EQ(readWholeFile(local), "keep me");
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(afterLogin(server), (Lines{"NOOP"}));
}

TEST_F(FtpDownloadFile, ResumeSendsTheLocalLengthAndAppends)
{
    TempDir dir;
    const std::string local = (dir.path() / "part.bin").string();
    const std::string whole = ScriptedFtpServer::generatedBytes(3000);
    writeWholeFile(local, whole.substr(0, 1000));
    addLogin(server)
        .reply("REST 1", "350 ok\r\n").reply("REST 0", "350 ok\r\n")
        .pasv().acceptData()
        .reply("REST 1000", "350 Restarting at 1000\r\n")
        .reply("RETR part.bin", "150 Opening data connection\r\n")
        .sendData(whole.substr(1000)).closeData()
        .send("226 Transfer complete\r\n");
    auto ftp = openScriptedSession(server);
    ftp->Download("part.bin", local, false, true);
    EXPECT_EQ(readWholeFile(local), whole);
}

class FtpUpload : public ScriptedServerTest {};

TEST_F(FtpUpload, EmptyNameSendsStouWithItsBlankAndAppendSendsFromThePosition)
{
    addLogin(server)
        .pasv().expect("STOU ").acceptData().send("150 FILE: unique.1\r\n")
        .receiveData().send("226 Transfer complete\r\n")
        .pasv().expect("APPE log.txt").acceptData().send("150 ok\r\n")
        .receiveData().send("226 Transfer complete\r\n");
    auto ftp = openScriptedSession(server);
    TIdMemoryStream first("unique contents");
    ftp->UploadFromStream(first);
    TIdMemoryStream second("0123456789");
    second.Seek(4);
    ftp->UploadFromStream(second, "log.txt", true);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.received(), "unique contents456789");
}

TEST(FtpListing, EmptyDirectoryAndNameOnlyListing)
{
    ScriptedFtpServer server;
    addLogin(server)
        .pasv().acceptData().reply("LIST", "150 Here comes the listing\r\n")
        .closeData().send("226 Done\r\n")
        .pasv().acceptData().reply("NLST sub", "150 Here comes the listing\r\n")
        .sendData("one.txt\r\ntwo words.txt\r\n").closeData().send("226 Done\r\n");
    auto ftp = openScriptedSession(server);
    Lines lines{"stale"};
    ftp->ListDirectory(&lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(ftp->ParsedListing().Count(), 0);
    ftp->ListDirectory(&lines, "sub", false);
    EXPECT_EQ(lines, (Lines{"one.txt", "two words.txt"}));
    EXPECT_EQ(ftp->ListingLines(), lines);
    ASSERT_TRUE(server.played());
}

TEST(FtpListing, ParsedListingInBothModesGivesTheSameEntries)
{
    const std::string listing =
        "total 12\r\n"
        "drwxr-xr-x   2 ftp      ftp          4096 Mar 15  2021 pub\r\n"
        "-rw-r--r--   1 ftp      ftp       1234567 Jan 01  2020 my file.txt\r\n"
        "lrwxrwxrwx   1 ftp      ftp             7 Jan 01  2020 bin -> usr/bin\r\n";
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        ScriptedFtpServer server;
        addLogin(server);
        if (passive)
            server.pasv().acceptData().reply("LIST", "150 listing\r\n");
        else
            server.expectPrefix("PORT ").send("200 ok\r\n").reply("LIST", "150 listing\r\n").connectData();
        server.sendData(listing).closeData().send("226 Done\r\n");
        server.start();
        auto ftp = makeSession(server, passive);
        ftp->OpenSession();
        ftp->ListDirectory();
        TIdFTPListItems& items = ftp->ParsedListing();
        ASSERT_EQ(items.Count(), 3);
        EXPECT_EQ(items[0].EntryName, "pub");
        EXPECT_EQ(items[0].EntryKind, TIdListEntryKind::ekDirectory);
        EXPECT_EQ(items[1].EntryName, "my file.txt");
        EXPECT_EQ(items[1].ByteSize, 1234567);
        EXPECT_EQ(items[2].EntryName, "bin");
        EXPECT_EQ(items[2].LinkTarget, "usr/bin");
        ASSERT_TRUE(server.played());
    }
}

} // namespace

namespace {

TEST(FtpListing, ApplicationSuppliesTheCollectionAndChoosesTheFormat)
{
    ScriptedFtpServer server;
    addLogin(server).pasv().acceptData().reply("LIST", "150 listing\r\n")
        .sendData("name=a.txt;size=10\r\nname=b.txt;size=20\r\n").closeData().send("226 Done\r\n");
    auto ftp = openScriptedSession(server);
    std::string seenLine;
    ftp->OnCreateFTPList = [](TIdFTP*, std::unique_ptr<TIdFTPListItems>& list) {
        list = std::make_unique<TIdFTPListItems>();
        list->SetOnParseCustomListFormat([](TIdFTPListItem& item) {
            item.EntryName = item.RawLine.substr(5, item.RawLine.find(';') - 5);
        });
    };
    ftp->OnCheckListFormat = [&](TIdFTP*, const std::string& line, TIdFTPListFormat& format) {
        seenLine = line;
        EXPECT_EQ(format, TIdFTPListFormat::lfUnknown);
        format = TIdFTPListFormat::lfCustom;
    };
    ftp->ListDirectory();
    TIdFTPListItems& items = ftp->ParsedListing();
    EXPECT_EQ(seenLine, "name=a.txt;size=10");
    EXPECT_EQ(items.LineFormat(), TIdFTPListFormat::lfCustom);
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items[0].EntryName, "a.txt");
    EXPECT_EQ(items[1].EntryName, "b.txt");
    EXPECT_EQ(&ftp->ParsedListing(), &items); // kept until the next listing
}

} // namespace

namespace {

class FtpNestedTransfer : public ScriptedServerTest {};

TEST_F(FtpNestedTransfer, IsRefusedWhileTheDataConnectionIsInUse)
{
    addLogin(server).pasv().acceptData()
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .sendData("some data").closeData()
        .send("226 Transfer complete\r\n");
    auto ftp = openScriptedSession(server);
    bool refused = false;
    ftp->OnWork = [&](TIdComponent*, TWorkMode, std::int64_t) {
        try {
            TIdMemoryStream other;
            ftp->DownloadToStream("b.txt", other);
        } catch (const EIdException&) {
            refused = true;
        }
    };
    TIdMemoryStream data;
    ftp->DownloadToStream("a.txt", data);
    EXPECT_TRUE(refused);
    EXPECT_EQ(data.DataString(), "some data");
}

} // namespace

namespace {

// A source that claims more bytes than it can give.
class ShortStream : public TIdStream {
public:
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        const std::int64_t n = std::max<std::int64_t>(0, std::min<std::int64_t>(count, 50 - m_position));
        std::memset(buffer, 'x', static_cast<std::size_t>(n));
        m_position += n;
        return n;
    }
    void Write(const void*, std::int64_t) override {}
    std::int64_t Position() const override { return m_position; }
    void Seek(std::int64_t position) override { m_position = position; }
    std::int64_t Size() const override { return 100; }
    void SetSize(std::int64_t) override {}

private:
    std::int64_t m_position = 0;
};

// The server is told with ABOR, so it does not keep the short file as if it were whole.
TEST_F(FtpUpload, SourceThatEndsEarlyRaisesNoDataToRead)
{
    ScriptedFtpServer server;
    addLogin(server).pasv().expect("STOR short.bin").acceptData().send("150 ok\r\n")
        .receiveData().expect("ABOR").send("426 Aborted\r\n226 ABOR ok\r\n")
        .reply("NOOP", "200 ok\r\n");
    server.start();
    auto ftp = makeSession(server);
    StatusLog log;
    log.attach(*ftp);
    ftp->OpenSession();
    int ends = 0;
    ftp->OnWorkEnd = [&](TIdComponent*, TWorkMode) { ++ends; };
    ShortStream source;
    try {
        ftp->UploadFromStream(source, "short.bin");
        FAIL();
    } catch (const EIdNoDataToRead& error) {
        EXPECT_STREQ(error.what(), "No data to read.");
    }
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(log.contains("Transfer complete")) << "a failed transfer is never called complete";
    EXPECT_EQ(ftp->DataLink(), nullptr);
}

} // namespace
