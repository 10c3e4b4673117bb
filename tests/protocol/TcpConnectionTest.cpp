// The connection classes over real loopback sockets: replies cut into blocks or packed into
// one, the line-length limit, a peer that goes away, refused commands, and streams in and
// out of a small peer run by the test.
#include "support/LoopbackPorts.h"
#include "support/ScriptedFtpServer.h"

#include "ftp/IdStream.h"
#include "ftp/IdTCPClient.h"
#include "net/IdAntiFreeze.h"
#include "net/IdException.h"
#include "net/IdIntercept.h"
#include "net/IdStack.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kPeerWaitMs = 5000;

// A one-connection peer on 127.0.0.1: it either sends `bytes` and closes, or reads until the
// client closes and keeps what arrived.
class LoopbackPeer {
public:
    enum class Role { SendThenClose, SendThenWait, ReceiveUntilClosed, Reset };

    LoopbackPeer(Role role, std::string bytes = {}) : m_role(role), m_bytes(std::move(bytes))
    {
        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listenFd, 1) != 0 ||
            ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("loopback peer cannot listen");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~LoopbackPeer()
    {
        m_stop = true;
        m_thread.join();
        closeFd(m_listenFd);
        closeFd(m_fd);
    }
    int port() const { return m_port; }
    // Waits for the peer's thread to finish its part; false after the deadline.
    bool waitDone()
    {
        for (int waited = 0; waited < kPeerWaitMs && !m_done; waited += 5)
            ::poll(nullptr, 0, 5);
        return m_done;
    }
    const std::string& received() const { return m_received; }
    // A resetting peer holds its reset until the client has finished connecting: a reset that
    // came earlier would fail the connect itself rather than the read under test.
    void release() { m_released = true; }

private:
    static void closeFd(int& fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    bool ready(int fd, short events)
    {
        for (int waited = 0; waited < kPeerWaitMs && !m_stop; waited += 20) {
            pollfd p{fd, events, 0};
            if (::poll(&p, 1, 20) > 0)
                return true;
        }
        return false;
    }
    void run()
    {
        if (ready(m_listenFd, POLLIN))
            m_fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (m_fd >= 0) {
            if (m_role == Role::ReceiveUntilClosed)
                receiveAll();
            else
                sendAll();
            if (m_role == Role::SendThenWait)
                ready(m_fd, POLLIN); // until the client closes or the test ends
            if (m_role == Role::Reset) {
                for (int waited = 0; waited < kPeerWaitMs && !m_released && !m_stop; waited += 5)
                    ::poll(nullptr, 0, 5);
                const linger abort{1, 0}; // close with a reset instead of a goodbye
                ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            }
            closeFd(m_fd);
        }
        m_done = true;
    }
    void sendAll()
    {
        std::size_t sent = 0;
        while (sent < m_bytes.size() && ready(m_fd, POLLOUT)) {
            const ssize_t n = ::send(m_fd, m_bytes.data() + sent, m_bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return; // the client went away
            sent += static_cast<std::size_t>(n);
        }
    }
    void receiveAll()
    {
        char buffer[65536];
        while (ready(m_fd, POLLIN)) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            m_received.append(buffer, static_cast<std::size_t>(n));
        }
    }

    Role m_role;
    std::string m_bytes;
    std::string m_received;
    int m_listenFd = -1;
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_released{false};
    std::thread m_thread;
};

void connectTo(TIdTCPClient& client, int port)
{
    client.Host = "127.0.0.1";
    client.Port = port;
    client.OpenConnection();
}

// --- command channel against the scripted server ---

class CommandChannel : public ::testing::Test {
protected:
    void TearDown() override
    {
        client.DropSocket();
        EXPECT_TRUE(server.played()) << "the script did not finish";
    }
    ScriptedFtpServer server;
    TIdTCPClient client;
};

TEST_F(CommandChannel, ReplySplitAcrossBlocksIsReadAsOne)
{
    server.sendSplit("220-Welcome\r\n220-second\r\n220 ready\r\n", {2, 12, 13, 27, 36});
    server.start();
    connectTo(client, server.port());
    EXPECT_EQ(client.ReadReply({220}), 220);
    EXPECT_EQ(client.LastReply().Text(), (std::vector<std::string>{"Welcome", "second", "ready"}));
}

TEST_F(CommandChannel, SeveralRepliesInOneBlockAreReadInTurn)
{
    server.send("220 hello\r\n").reply("USER tarn", "331 Password\r\n230-Already\r\n230 in\r\n");
    server.start();
    connectTo(client, server.port());
    client.ReadReply({220});
    EXPECT_EQ(client.SendCommand("USER tarn", TIdReplyCodes{331, 230}), 331);
    EXPECT_EQ(client.ReadReply({230}), 230);
    EXPECT_EQ(client.LastReply().Text(), (std::vector<std::string>{"Already", "in"}));
}

TEST_F(CommandChannel, LongestLineEndedByLineFeedAloneIsAccepted)
{
    const std::string line = "220 " + std::string(16380, 'x');
    server.send(line + "\n");
    server.start();
    connectTo(client, server.port());
    EXPECT_EQ(client.ReadReply({220}), 220);
    EXPECT_EQ(client.LastReply().Text().front().size(), 16380u);
}

TEST_F(CommandChannel, SameLineEndedByCarriageReturnLineFeedIsOverlong)
{
    const std::string line = "220 " + std::string(16380, 'x');
    server.send(line + "\r\n");
    server.start();
    connectTo(client, server.port());
    EXPECT_THROW(client.ReadReply({220}), EIdReadLnMaxLineLengthExceeded);
}

TEST_F(CommandChannel, PeerClosingMidReplyRaisesAndDisconnects)
{
    int disconnected = 0;
    std::vector<std::string> statuses;
    client.OnDisconnected = [&](TIdComponent*) { ++disconnected; };
    client.OnStatus = [&](TIdComponent*, TIdStatus, const std::string& text) { statuses.push_back(text); };
    server.send("220-first line\r\n220 unfinished").closeControl();
    server.start();
    connectTo(client, server.port());
    EXPECT_THROW(client.ReadReply({220}), EIdConnClosedGracefully);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(disconnected, 1);
    EXPECT_EQ(statuses.back(), "Disconnected.");
}

TEST_F(CommandChannel, CommandWithLineBreakOrNulIsRefusedAndNothingIsSent)
{
    server.send("220 hi\r\n").reply("NOOP", "200 ok\r\n");
    server.start();
    connectTo(client, server.port());
    client.ReadReply({220});
    for (const std::string& bad : {std::string("DELE a\r\nRMD b"), std::string("CWD x\ny"),
                                   std::string("USER a\rb"), std::string("PASS a\0b", 8)})
        EXPECT_THROW(client.SendCommand(bad, TIdReplyCodes{250}), EIdException);
    EXPECT_EQ(client.SendCommand("NOOP", std::int16_t{200}), 200);
    EXPECT_TRUE(server.waitDone());
    EXPECT_EQ(server.transcript(), std::vector<std::string>{"NOOP"})
        << "the first line the server saw is the valid command";
}

TEST_F(CommandChannel, OpeningAnOpenConnectionRaisesAndKeepsIt)
{
    server.send("220 hi\r\n").reply("NOOP", "200 ok\r\n");
    server.start();
    connectTo(client, server.port());
    try {
        client.OpenConnection();
        FAIL() << "no exception";
    } catch (const EIdAlreadyConnected& e) {
        EXPECT_STREQ(e.what(), "Already connected.");
    }
    EXPECT_EQ(client.ReadReply({220}), 220);
    EXPECT_EQ(client.SendCommand("NOOP", std::int16_t{200}), 200);
}

TEST_F(CommandChannel, InterceptSeesEveryBlockAndMayChangeWhatIsSent)
{
    TIdConnectionIntercept intercept;
    std::string seenIn, seenOut;
    intercept.OnReceive = [&](TIdConnectionIntercept*, std::string& block) { seenIn += block; };
    intercept.OnSend = [&](TIdConnectionIntercept*, std::string& block) {
        seenOut += block;
        if (block == "noop\r\n")
            block = "NOOP\r\n";
    };
    client.SetIntercept(&intercept);
    server.send("220 hi\r\n").reply("NOOP", "200 ok\r\n");
    server.start();
    connectTo(client, server.port());
    client.ReadReply({220});
    EXPECT_EQ(client.SendCommand("noop", std::int16_t{200}), 200);
    EXPECT_EQ(seenIn, "220 hi\r\n200 ok\r\n");
    EXPECT_EQ(seenOut, "noop\r\n");
    client.CloseConnection();
    client.SetIntercept(nullptr);
}

TEST_F(CommandChannel, CloseReportsStatusesAndOpensAgain)
{
    server.send("220 hi\r\n");
    server.start();
    connectTo(client, server.port());
    client.ReadReply({220});
    std::vector<std::string> statuses;
    int disconnected = 0;
    client.OnStatus = [&](TIdComponent*, TIdStatus, const std::string& text) { statuses.push_back(text); };
    client.OnDisconnected = [&](TIdComponent*) { ++disconnected; };
    client.CloseConnection();
    EXPECT_EQ(statuses, (std::vector<std::string>{"Disconnecting.", "Disconnected."}));
    EXPECT_EQ(disconnected, 1);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.IOHandler(), nullptr) << "the owned handler goes with the close";
    EXPECT_THROW(client.SendLine("NOOP"), EIdNotConnected);
}

TEST(Connect, RefusedConnectionRaisesAndTheObjectStaysUsable)
{
    const int closedPort = closedLoopbackPort();
    TIdTCPClient client;
    try {
        connectTo(client, closedPort);
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError(), 10061);
    }
    EXPECT_FALSE(client.IsConnected());
    LoopbackPeer peer(LoopbackPeer::Role::SendThenClose, "220 later\r\n");
    connectTo(client, peer.port());
    EXPECT_EQ(client.ReadReply({220}), 220);
}

// The pump runs after every send; a socket call that fails in an event it runs must not
// replace the send's own error in the exception.
TEST(Connect, FailedSendReportsItsOwnErrorWhateverThePumpDid)
{
    LoopbackPeer peer(LoopbackPeer::Role::Reset);
    TIdTCPClient client;
    connectTo(client, peer.port());
    peer.release();
    ASSERT_TRUE(peer.waitDone());
    TIdAntiFreeze antiFreeze;
    antiFreeze.OnlyWhenIdle = false;
    antiFreeze.MinPumpInterval = std::chrono::milliseconds(0);
    antiFreeze.OnPumpMessages = [](bool) { SocketStack->shutdownSocket(-1, SHUT_RDWR); }; // 10009
    try {
        for (int i = 0; i < 100; ++i) // the first sends may still be accepted locally
            client.SendLine("NOOP");
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_TRUE(e.LastError() == 10054 || e.LastError() == 10058) << e.what();
    }
}

TEST(Connect, ResetByThePeerRaisesTheSocketErrorOnReadAndOnSend)
{
    LoopbackPeer peer(LoopbackPeer::Role::Reset);
    TIdTCPClient client;
    connectTo(client, peer.port());
    peer.release();
    ASSERT_TRUE(peer.waitDone());
    try {
        client.ReadReply({220});
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError(), 10054);
        EXPECT_NE(std::string(e.what()).find("Connection reset by peer."), std::string::npos);
    }
    EXPECT_THROW(
        {
            for (int i = 0; i < 100; ++i) // the first sends may still be accepted locally
                client.SendLine("NOOP");
        },
        EIdException);
    EXPECT_FALSE(client.IsConnected());
}

// --- streams ---

std::string patternBytes(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

struct WorkLog {
    explicit WorkLog(TIdComponent& component)
    {
        component.OnWorkBegin = [this](TIdComponent*, TWorkMode, std::int64_t max) {
            ++begins;
            maximum = max;
        };
        component.OnWork = [this](TIdComponent*, TWorkMode, std::int64_t count) { last = count; };
        component.OnWorkEnd = [this](TIdComponent*, TWorkMode) { ++ends; };
    }
    int begins = 0;
    int ends = 0;
    std::int64_t maximum = -1;
    std::int64_t last = 0;
};

TEST(StreamTransfer, ReadingUntilClosedKeepsEveryByteAndCountsThem)
{
    const std::string bytes = patternBytes(5 * 1024 * 1024 + 777);
    LoopbackPeer peer(LoopbackPeer::Role::SendThenClose, bytes);
    TIdTCPClient client;
    client.RecvBufferSize = 8192;
    connectTo(client, peer.port());
    WorkLog work(client);
    TIdMemoryStream stream;
    client.ReadIntoStream(stream, -1, true);
    EXPECT_EQ(stream.DataString().size(), bytes.size());
    EXPECT_TRUE(stream.DataString() == bytes) << "the stream holds exactly what was sent";
    EXPECT_EQ(work.begins, 1);
    EXPECT_EQ(work.maximum, 0);
    EXPECT_EQ(work.last, static_cast<std::int64_t>(bytes.size())) << "the final partial chunk counts too";
    EXPECT_EQ(work.ends, 1);
}

TEST(StreamTransfer, ReadingACountStopsThereWithoutWaitingForTheClose)
{
    const std::string bytes = patternBytes(100000);
    LoopbackPeer peer(LoopbackPeer::Role::SendThenWait, bytes);
    TIdTCPClient client;
    connectTo(client, peer.port());
    TIdMemoryStream stream;
    stream.Write("head", 4);
    client.ReadIntoStream(stream, 60000);
    EXPECT_EQ(stream.DataString(), "head" + bytes.substr(0, 60000));
    EXPECT_LE(client.InputBuffer().Size() + 60000, 100000);
    client.DropSocket();
}

TEST(StreamTransfer, PeerClosingBeforeTheCountRaisesAndTheStreamKeepsWhatCame)
{
    const std::string bytes = patternBytes(50000);
    LoopbackPeer peer(LoopbackPeer::Role::SendThenClose, bytes);
    TIdTCPClient client;
    client.RecvBufferSize = 8192;
    connectTo(client, peer.port());
    TIdMemoryStream stream;
    EXPECT_THROW(client.ReadIntoStream(stream, 80000), EIdConnClosedGracefully);
    EXPECT_LE(stream.Size(), 50000) << "the stream is cut at its position, not left at 80000";
    EXPECT_EQ(stream.DataString(), bytes.substr(0, static_cast<std::size_t>(stream.Size())));
}

TEST(StreamTransfer, SendingAStreamDeliversEveryByteInOrder)
{
    const std::string bytes = patternBytes(3 * 1024 * 1024 + 5);
    LoopbackPeer peer(LoopbackPeer::Role::ReceiveUntilClosed);
    TIdTCPClient client;
    client.SendBufferSize = 4096;
    connectTo(client, peer.port());
    WorkLog work(client);
    TIdMemoryStream stream(bytes);
    stream.Seek(1000);
    client.SendStream(stream);
    client.CloseConnection();
    ASSERT_TRUE(peer.waitDone());
    EXPECT_TRUE(peer.received() == bytes) << "received " << peer.received().size() << " bytes";
    EXPECT_EQ(work.maximum, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(work.last, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(work.ends, 1);
}

TEST(StreamTransfer, DroppingTheSocketFromAWorkHandlerEndsADownloadQuietly)
{
    const std::string bytes = patternBytes(20 * 1024 * 1024);
    LoopbackPeer peer(LoopbackPeer::Role::SendThenClose, bytes);
    TIdTCPClient client;
    client.RecvBufferSize = 8192;
    connectTo(client, peer.port());
    client.OnWork = [&](TIdComponent*, TWorkMode, std::int64_t count) {
        if (count >= 1024 * 1024)
            client.DropSocket(); // what the window's abort does
    };
    TIdMemoryStream stream;
    EXPECT_NO_THROW(client.ReadIntoStream(stream, -1, true));
    EXPECT_GE(stream.Size(), 1024 * 1024);
    EXPECT_LT(stream.Size(), static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(stream.DataString(), bytes.substr(0, static_cast<std::size_t>(stream.Size())));
    EXPECT_FALSE(client.IsConnected());
}

TEST(StreamTransfer, DroppingTheSocketFromAWorkHandlerFailsAnUpload)
{
    LoopbackPeer peer(LoopbackPeer::Role::ReceiveUntilClosed);
    TIdTCPClient client;
    client.SendBufferSize = 4096;
    connectTo(client, peer.port());
    client.OnWork = [&](TIdComponent*, TWorkMode, std::int64_t count) {
        if (count >= 64 * 1024)
            client.DropSocket();
    };
    TIdMemoryStream stream(patternBytes(1024 * 1024));
    EXPECT_THROW(client.SendStream(stream), EIdException);
    EXPECT_TRUE(peer.waitDone());
    EXPECT_LT(peer.received().size(), 1024u * 1024u);
}

} // namespace
