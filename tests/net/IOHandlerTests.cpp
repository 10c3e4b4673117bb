// The socket transport: connect statuses, refused and unknown hosts, the connect time-out with
// the pump running, the readability wait in slices, and closing.
#include <gtest/gtest.h>

#include <chrono>
#include <netinet/tcp.h>
#include <string>
#include <vector>

#include "NetTestSupport.h"
#include "net/IdAntiFreeze.h"
#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"

namespace {

using Clock = std::chrono::steady_clock;

// An anti-freeze whose hook counts the pumps and notes when they ran.
struct CountingAntiFreeze {
    CountingAntiFreeze()
    {
        antiFreeze.IdleTimeOut = 50;
        antiFreeze.OnlyWhenIdle = false;
        antiFreeze.OnPumpMessages = [this](bool) { pumps.push_back(Clock::now()); };
    }
    TIdAntiFreeze antiFreeze;
    std::vector<Clock::time_point> pumps;
};

TEST(IOHandlerConnectTest, ARefusedConnectRaisesTheSocketError)
{
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    try {
        handler.ConnectTo("127.0.0.1", unusedLoopbackPort());
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError(), 10061);
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(handler.IsOpen()) << "a failed connect leaves no socket behind";
}

TEST(IOHandlerConnectTest, ARefusedConnectOnTheConnectThreadCarriesTheSameText)
{
    CountingAntiFreeze pump;
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    try {
        handler.ConnectTo("127.0.0.1", unusedLoopbackPort());
        FAIL() << "no exception";
    } catch (const EIdConnectException& e) {
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
}

TEST(IOHandlerConnectTest, AnUnknownHostRaisesHostNotFound)
{
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    try {
        // The empty label makes the resolver refuse the name before any query leaves the
        // machine, so the test sends no traffic beyond loopback.
        handler.ConnectTo("tarn-no-such-host..invalid", 21);
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError(), 11001);
        EXPECT_STREQ(e.what(), "Socket Error # 11001\r\nHost not found.");
    }
}

TEST(IOHandlerConnectTest, ConnectTimesOutWhileThePumpRuns)
{
    SilentListener silent;
    CountingAntiFreeze pump;
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    const auto start = Clock::now();
    try {
        handler.ConnectTo("127.0.0.1", silent.listener.localPort(), 400);
        FAIL() << "no exception";
    } catch (const EIdConnectTimeout& e) {
        EXPECT_STREQ(e.what(), "Connect timed out.");
    }
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(400));
    EXPECT_LT(elapsed, kPromptly);
    EXPECT_FALSE(handler.IsOpen()) << "the socket is closed before the exception";
    // Slices of 50 ms: the pump ran about eight times, never leaving the whole wait unpumped.
    EXPECT_GE(pump.pumps.size(), 5u);
    EXPECT_LE(pump.pumps.size(), 9u);
    for (std::size_t i = 1; i < pump.pumps.size(); ++i)
        EXPECT_LT(pump.pumps[i] - pump.pumps[i - 1], std::chrono::milliseconds(400));
}

TEST(IOHandlerConnectTest, ClosingFromThePumpAbandonsTheConnectAtOnce)
{
    SilentListener silent;
    CountingAntiFreeze pump;
    TIdIOHandlerSocket handler;
    pump.antiFreeze.OnPumpMessages = [&](bool) { handler.CloseTransport(); };
    handler.OpenTransport();
    const auto start = Clock::now();
    EXPECT_THROW(handler.ConnectTo("127.0.0.1", silent.listener.localPort(), 60000),
                 EIdConnClosedGracefully);
    EXPECT_LT(Clock::now() - start, kPromptly);
    EXPECT_FALSE(handler.IsOpen());
}

TEST(IOHandlerConnectTest, ConnectingToAnAddressReportsOnlyConnecting)
{
    RawSocket listener = loopbackListener();
    TIdIOHandlerSocket handler;
    std::vector<std::string> statuses;
    handler.OnStatus = [&](TIdComponent*, TIdStatus, const std::string& text) { statuses.push_back(text); };
    handler.OpenTransport();
    handler.ConnectTo("127.0.0.1", listener.localPort());
    EXPECT_EQ(statuses, std::vector<std::string>{"Connecting to 127.0.0.1."});
    ASSERT_TRUE(handler.IsOpen());
    EXPECT_EQ(handler.Binding()->PeerPort(), listener.localPort());
    EXPECT_EQ(handler.Binding()->IP, "127.0.0.1");
    EXPECT_GT(handler.Binding()->Port, 0);
}

TEST(IOHandlerConnectTest, ConnectingToANameReportsResolvingFirst)
{
    RawSocket listener = loopbackListener();
    CountingAntiFreeze pump;  // through the connect thread as in the window
    pump.antiFreeze.IdleTimeOut = 1000;  // slices of 125 ms
    TIdIOHandlerSocket handler;
    std::vector<std::string> statuses;
    handler.OnStatus = [&](TIdComponent*, TIdStatus, const std::string& text) { statuses.push_back(text); };
    handler.OpenTransport();
    const auto start = Clock::now();
    handler.ConnectTo("LocalHost", listener.localPort());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100)) << "no waiting out a whole slice";
    EXPECT_EQ(statuses, (std::vector<std::string>{"Resolving hostname LocalHost.", "Connecting to 127.0.0.1."}));
    EXPECT_TRUE(handler.IsOpen());
}

TEST(IOHandlerConnectTest, TheLocalPortRangeIsUsedFromTheTopDown)
{
    RawSocket listener = loopbackListener();
    RawSocket occupant(-1);
    const int lower = occupyUpperOfTwoFreePorts(occupant);
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    handler.ConnectTo("127.0.0.1", listener.localPort(), -1, lower + 1, lower, 0, "127.0.0.1");
    EXPECT_EQ(handler.Binding()->Port, lower);
    EXPECT_GE(listener.acceptOne().fd(), 0);
}

TEST(IOHandlerConnectTest, WithoutNagleTheNoDelayOptionIsSet)
{
    RawSocket listener = loopbackListener();
    TIdIOHandlerSocket handler;
    handler.UseNagle = false;
    handler.OpenTransport();
    handler.ConnectTo("127.0.0.1", listener.localPort());
    int value = 0;
    socklen_t length = sizeof(value);
    ASSERT_EQ(::getsockopt(handler.Binding()->Handle(), IPPROTO_TCP, TCP_NODELAY, &value, &length), 0);
    EXPECT_NE(value, 0);
}

TEST(IOHandlerTransferTest, BytesTravelBothWaysAndCloseEndsTheStream)
{
    RawSocket listener = loopbackListener();
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    handler.ConnectTo("127.0.0.1", listener.localPort());
    RawSocket server = listener.acceptOne();

    ASSERT_EQ(handler.SendBytes("USER tarn\r\n", 11), 11);
    char buffer[32];
    ASSERT_EQ(::recv(server.fd(), buffer, sizeof(buffer), 0), 11);
    EXPECT_EQ(std::string(buffer, 11), "USER tarn\r\n");

    EXPECT_EQ(handler.ReceiveBytesNow(buffer, sizeof(buffer)), -1);
    EXPECT_EQ(SocketStack->lastCallError(), Id_WSAEWOULDBLOCK);
    ::send(server.fd(), "331 ok\r\n", 8, MSG_NOSIGNAL);
    ASSERT_TRUE(handler.WaitReadable(2000));
    ASSERT_EQ(handler.ReceiveBytes(buffer, sizeof(buffer)), 8);
    EXPECT_EQ(std::string(buffer, 8), "331 ok\r\n");

    handler.CloseTransport();
    EXPECT_FALSE(handler.IsOpen());
    ASSERT_TRUE(server.readableWithin(std::chrono::seconds(2)));
    EXPECT_EQ(::recv(server.fd(), buffer, sizeof(buffer), 0), 0);
    EXPECT_THROW((void)handler.ReceiveBytes(buffer, 1), EIdClosedSocket);
    EXPECT_THROW((void)handler.SendBytes(buffer, 1), EIdClosedSocket);
    EXPECT_THROW((void)handler.WaitReadable(0), EIdConnClosedGracefully);
}

TEST(IOHandlerTransferTest, AWaitWithThePumpIsCutIntoSlices)
{
    RawSocket listener = loopbackListener();
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    handler.ConnectTo("127.0.0.1", listener.localPort());
    CountingAntiFreeze pump;
    const auto start = Clock::now();
    EXPECT_FALSE(handler.WaitReadable(230));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(230));
    // 30 ms, then four slices of 50 ms, each followed by a pump.
    EXPECT_GE(pump.pumps.size(), 4u);
    EXPECT_LE(pump.pumps.size(), 5u);
}

TEST(IOHandlerTransferTest, AWaitEndsWhenThePumpDropsTheConnection)
{
    RawSocket listener = loopbackListener();
    TIdIOHandlerSocket handler;
    handler.OpenTransport();
    handler.ConnectTo("127.0.0.1", listener.localPort());
    CountingAntiFreeze pump;
    pump.antiFreeze.OnPumpMessages = [&](bool) { handler.CloseTransport(); };
    EXPECT_THROW((void)handler.WaitReadable(-2), EIdConnClosedGracefully);
}

} // namespace
