// What the window can do from inside a blocking call: its events run in the message pump
// (and in work handlers) while a connect, an accept or a reply wait is on the stack. Closing,
// aborting or starting another command there must neither free what the outer call still
// uses nor take the outer call's reply.
#include "FtpScript.h"
#include "SessionHooks.h"
#include "net/NetTestSupport.h"

#include "ftp/IdSimpleServer.h"
#include "ftp/IdTCPClient.h"
#include "net/IdAntiFreeze.h"
#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <poll.h>

using namespace ftptest;

namespace {

using Clock = std::chrono::steady_clock;

TEST(PumpDuringConnect, ClosingTheConnectionEndsTheConnectCleanly)
{
    SilentListener silent;
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = silent.listener.localPort();
    PumpHook pump([&] { client.CloseConnection(); });
    const auto start = Clock::now();
    EXPECT_THROW(client.OpenConnection(60000), EIdException);
    EXPECT_LT(Clock::now() - start, kPromptly) << "the connect was not ended";
    EXPECT_TRUE(pump.ran);
    EXPECT_FALSE(client.IsConnected());
}

TEST(PumpDuringConnect, DroppingTheSocketEndsTheConnectWithoutClaimingSuccess)
{
    SilentListener silent;
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = silent.listener.localPort();
    bool connected = false;
    client.OnConnected = [&](TIdComponent*) { connected = true; };
    PumpHook pump([&] { client.DropSocket(); });
    EXPECT_THROW(client.OpenConnection(5000), EIdException);
    EXPECT_FALSE(connected);
    EXPECT_FALSE(client.IsConnected());
}

class PumpDuringAccept : public ScriptedServerTest {};

TEST_F(PumpDuringAccept, DroppingTheListenerEndsTheWaitCleanly)
{
    TIdSimpleServer server;
    server.BoundIP = "127.0.0.1";
    server.AcceptSlice = 1000;
    server.AcceptTimeout = 60000;
    server.StartListening();
    PumpHook pump([&] { server.DropSocket(); });
    const auto start = Clock::now();
    EXPECT_THROW((void)server.AcceptOne(), EIdConnClosedGracefully);
    EXPECT_LT(Clock::now() - start, kPromptly);
    EXPECT_EQ(server.ListenSocket(), -1);
}

TEST_F(PumpDuringAccept, ClosingTheConnectionEndsTheWaitCleanly)
{
    TIdSimpleServer server;
    server.BoundIP = "127.0.0.1";
    server.AcceptTimeout = 60000;
    server.StartListening();
    PumpHook pump([&] { server.CloseConnection(); });
    const auto start = Clock::now();
    EXPECT_THROW((void)server.AcceptOne(), EIdConnClosedGracefully);
    EXPECT_LT(Clock::now() - start, kPromptly);
    EXPECT_EQ(server.ListenSocket(), -1);
}

// Reset pressed while an active-mode download waits for the server's data connection.
TEST_F(PumpDuringAccept, AbortAndCloseFromThePumpEndTheActiveTransfer)
{
    addLogin(server).expectPrefix("PORT 127,0,0,1,").send("200 PORT ok\r\n")
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .expect("ABOR").expect("QUIT");
    server.start();
    auto ftp = makeSession(server, false);
    ftp->OpenSession();
    PumpHook pump(
        [&] {
            ftp->SendAbort();
            ftp->CloseSession();
        },
        [&] { return ftp->DataLink() != nullptr && ftp->LastReply().NumericCode() == 150; });
    TIdMemoryStream data;
    EXPECT_THROW(ftp->DownloadToStream("a.txt", data), EIdException);
    EXPECT_EQ(ftp->DataLink(), nullptr);
    EXPECT_FALSE(ftp->IsConnected());
}

// Abort pressed while an active-mode download still waits for the server to connect: it ends
// like any other abort, and the server's answers are not left for the next command.
TEST_F(PumpDuringAccept, AbortEndsTheDownloadAsAbortedAndInStep)
{
    addLogin(server).expectPrefix("PORT 127,0,0,1,").send("200 PORT ok\r\n")
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .expect("ABOR")
        .send("426 Transfer aborted\r\n226 ABOR successful\r\n")
        .reply("NOOP", "200 ok\r\n").reply("NOOP", "200 ok\r\n");
    server.start();
    auto ftp = makeSession(server, false);
    StatusLog log;
    log.attach(*ftp);
    ftp->OpenSession();
    PumpHook pump([&] { ftp->SendAbort(); },
                  [&] { return ftp->DataLink() != nullptr && ftp->LastReply().NumericCode() == 150; });
    TIdMemoryStream data;
    EXPECT_NO_THROW(ftp->DownloadToStream("a.txt", data));
    EXPECT_TRUE(pump.ran);
    EXPECT_EQ(log.texts.back(), "Transfer aborted");
    EXPECT_TRUE(ftp->LastTransferAborted());
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

// A command started from the pump while another waits for its reply would take that reply.
class NestedCommand : public ScriptedServerTest {};

TEST_F(NestedCommand, DuringAReplyWaitIsRefusedAndNothingIsSent)
{
    addLogin(server).expect("CWD /slow").call([] {
        ::poll(nullptr, 0, 150); // the reply takes a while: the client pumps meanwhile
    }).send("250 CWD ok\r\n").reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    std::string nestedFailure;
    PumpHook pump([&] {
        try {
            ftp->QueryCurrentDirectory();
        } catch (const EIdException& error) {
            nestedFailure = error.what();
        }
    });
    EXPECT_NO_THROW(ftp->ChangeDirectory("/slow"));
    EXPECT_TRUE(pump.ran);
    EXPECT_FALSE(nestedFailure.empty()) << "the nested command was not refused";
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(afterLogin(server), (std::vector<std::string>{"CWD /slow", "NOOP"}));
}

// The same from a work handler while the data connection is busy: the server may well end
// the transfer before it answers the nested command, and the replies would cross.
TEST_F(NestedCommand, DuringADownloadIsRefusedAndTheTransferEndsNormally)
{
    addLogin(server).pasv().acceptData()
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .sendGeneratedData(1 << 20).closeData()
        .send("226 Transfer complete\r\n")
        .reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    std::string nestedFailure;
    ftp->OnWork = [&](TIdComponent*, TWorkMode, std::int64_t) {
        if (!nestedFailure.empty())
            return;
        try {
            ftp->MakeDirectory("x");
            nestedFailure = "sent";
        } catch (const EIdException& error) {
            nestedFailure = error.what();
        }
    };
    CountingSink sink;
    EXPECT_NO_THROW(ftp->DownloadToStream("a.txt", sink));
    EXPECT_EQ(sink.written(), 1 << 20);
    EXPECT_NE(nestedFailure, "sent");
    EXPECT_FALSE(nestedFailure.empty());
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

// The window's Abort acted on from the pump (not from a work handler) while the download
// waits for data: the wait may just have found the next block when the socket is dropped.
class PumpDuringDownload : public ScriptedServerTest {};

TEST_F(PumpDuringDownload, AbortEndsTheTransferAsAborted)
{
    addLogin(server).pasv().acceptData()
        .reply("RETR a.txt", "150 Opening data connection\r\n")
        .sendData("first").call([] { ::poll(nullptr, 0, 100); }).sendData("second")
        .expect("ABOR")
        .send("426 Transfer aborted\r\n226 ABOR successful\r\n")
        .reply("NOOP", "200 ok\r\n").reply("NOOP", "200 ok\r\n");
    server.start();
    auto ftp = makeSession(server);
    StatusLog log;
    log.attach(*ftp);
    ftp->OpenSession();
    // Due once the first block is in and more is waiting on the data socket.
    auto moreWaiting = [&] {
        TIdTCPConnection* link = ftp->DataLink();
        if (link == nullptr || link->InputBuffer().Size() == 0 || link->Socket() == nullptr
            || link->Socket()->Binding() == nullptr)
            return false;
        pollfd entry{link->Socket()->Binding()->Handle(), POLLIN, 0};
        return ::poll(&entry, 1, 0) == 1;
    };
    PumpHook pump([&] { ftp->SendAbort(); }, moreWaiting);
    TIdMemoryStream data;
    EXPECT_NO_THROW(ftp->DownloadToStream("a.txt", data));
    EXPECT_TRUE(pump.ran);
    EXPECT_EQ(data.DataString().substr(0, 5), "first");
    EXPECT_EQ(log.texts.back(), "Transfer aborted");
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

// A server that stops reading an upload fills the socket's buffers; the send must keep the
// window alive (its pump running) so that the user can still abort.
class PumpDuringUpload : public ScriptedServerTest {};

TEST_F(PumpDuringUpload, AStalledServerLeavesThePumpRunningAndTheAbortWorking)
{
    addLogin(server).pasv().expect("STOR big.bin").acceptData()
        .send("150 Ok to send data\r\n")
        .expect("ABOR") // the data connection is never read
        .send("426 Transfer aborted\r\n226 ABOR successful\r\n")
        .reply("NOOP", "200 ok\r\n").reply("NOOP", "200 ok\r\n");
    auto ftp = openScriptedSession(server);
    // Due after three pumps in a row with no byte sent between them.
    int stalledPumps = 0;
    std::int64_t lastCount = -1;
    auto stalled = [&] {
        TIdTCPConnection* link = ftp->DataLink();
        if (link == nullptr || !link->IsBusy())
            return false;
        const std::int64_t count = link->WorkCount(TWorkMode::wkWrite);
        stalledPumps = count == lastCount ? stalledPumps + 1 : 0;
        lastCount = count;
        return stalledPumps >= 3;
    };
    PumpHook pump([&] { ftp->SendAbort(); }, stalled);
    GeneratedSource source(std::int64_t{256} << 20);
    EXPECT_THROW(ftp->UploadFromStream(source, "big.bin"), EIdException);
    EXPECT_TRUE(pump.ran) << "the pump stopped while the send waited for room";
    EXPECT_EQ(ftp->RawCommand("NOOP"), 200);
}

} // namespace
