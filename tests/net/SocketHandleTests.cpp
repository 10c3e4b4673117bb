// The socket handle: binding (port 0, port ranges, ports in use, foreign addresses), accepting,
// the readability wait, and a send to a peer that has gone.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <pthread.h>
#include <thread>
#include <vector>

#include "NetTestSupport.h"
#include "net/IdException.h"
#include "net/IdSocketHandle.h"

namespace {

class SocketHandleTest : public ::testing::Test {
protected:
    StackHolder m_stack;
};

TEST_F(SocketHandleTest, PortZeroBindsToAPortTheSystemChose)
{
    TIdSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM);
    handle.IP = "127.0.0.1";
    handle.BindLocal();
    EXPECT_EQ(handle.IP, "127.0.0.1");
    EXPECT_GT(handle.Port, 0);
    EXPECT_EQ(SocketStack->socketName(handle.Handle()).Port, handle.Port);
}

TEST_F(SocketHandleTest, ARangeWithItsTopPortTakenBindsOneBelow)
{
    RawSocket occupant(-1);
    const int lower = occupyUpperOfTwoFreePorts(occupant);
    TIdSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM);
    handle.IP = "127.0.0.1";
    handle.ClientPortMin = lower;
    handle.ClientPortMax = lower + 1;
    handle.BindLocal();
    EXPECT_EQ(handle.Port, lower);
}

TEST_F(SocketHandleTest, AnInvertedRangeIsRefused)
{
    TIdSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM);
    handle.ClientPortMin = 6000;
    handle.ClientPortMax = 5000;
    try {
        handle.BindLocal();
        FAIL() << "no exception";
    } catch (const EIdInvalidPortRange& e) {
        EXPECT_STREQ(e.what(), "Invalid Port Range (6000 - 5000)");
    }
}

TEST_F(SocketHandleTest, ARangeWithEveryPortTakenIsRefused)
{
    RawSocket occupant(-1);
    const int lower = occupyUpperOfTwoFreePorts(occupant);
    TIdSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM);
    handle.IP = "127.0.0.1";
    handle.ClientPortMin = lower + 1;
    handle.ClientPortMax = lower + 1;
    try {
        handle.BindLocal();
        FAIL() << "no exception";
    } catch (const EIdCanNotBindPortInRange& e) {
        const std::string port = std::to_string(lower + 1);
        EXPECT_EQ(e.Message(), "Can not bind in port range (" + port + " - " + port + ")");
    }
}

TEST_F(SocketHandleTest, APortInUseIsRefused)
{
    RawSocket occupant;
    ASSERT_TRUE(occupant.bindLoopback(0));
    TIdSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM);
    handle.IP = "127.0.0.1";
    handle.Port = occupant.localPort();
    try {
        handle.BindLocal();
        FAIL() << "no exception";
    } catch (const EIdCouldNotBindSocket& e) {
        EXPECT_STREQ(e.what(), "Could not bind socket. Address and port are already in use.");
    }
}

TEST_F(SocketHandleTest, AnAddressTheMachineDoesNotHaveIsRefused)
{
    TIdSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM);
    handle.IP = "192.0.2.1";  // documentation range, never assigned here
    try {
        handle.BindLocal();
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError(), 10049);
        EXPECT_STREQ(e.what(), "Socket Error # 10049\r\nCannot assign requested address.");
    }
}

TEST_F(SocketHandleTest, WaitingWithoutASocketMeansTheConnectionClosed)
{
    TIdSocketHandle handle;
    try {
        (void)handle.SelectReadable(0);
        FAIL() << "no exception";
    } catch (const EIdConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
}

std::atomic<int> interruptions{0};

// True while the thread sleeps in a system call (state S in its stat line).
bool threadIsBlocked(pid_t thread)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S';
}

// A signal (a child ending, a terminal resized) interrupts the wait; it must not end it.
TEST_F(SocketHandleTest, ASignalDuringTheWaitDoesNotEndIt)
{
    struct sigaction action {};
    action.sa_handler = [](int) { ++interruptions; };
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    RawSocket waiting(pair[0]);
    RawSocket peer(pair[1]);
    const pid_t waiter = ::gettid();
    const pthread_t waiterThread = ::pthread_self();
    interruptions = 0;
    std::thread interrupter([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        auto waitBlocked = [&] {
            while (!threadIsBlocked(waiter) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        };
        waitBlocked();
        ::pthread_kill(waiterThread, SIGUSR1);
        while (interruptions == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        waitBlocked();
        ::send(peer.fd(), "x", 1, MSG_NOSIGNAL);
    });
    const bool ready = SocketStack->pollReadable(waiting.fd(), 5000);
    interrupter.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(interruptions, 1);
    EXPECT_TRUE(ready) << "the signal ended the wait as if nothing had come";
}

TEST_F(SocketHandleTest, AcceptTakesOverTheConnectionWithBothBindings)
{
    TIdSocketHandle listener;
    listener.AllocateHandle(SOCK_STREAM);
    listener.IP = "127.0.0.1";
    listener.BindLocal();
    listener.StartListen(1);

    RawSocket client;
    client.connectWithoutWaiting(listener.Port);
    ASSERT_TRUE(listener.SelectReadable(2000));
    TIdSocketHandle server;
    ASSERT_TRUE(server.AcceptFrom(listener.Handle()));
    EXPECT_EQ(server.IP, "127.0.0.1");
    EXPECT_EQ(server.Port, listener.Port);
    EXPECT_EQ(server.PeerIP(), "127.0.0.1");
    EXPECT_EQ(server.PeerPort(), client.localPort());

    ASSERT_EQ(::send(client.fd(), "hello", 5, MSG_NOSIGNAL), 5);
    ASSERT_TRUE(server.SelectReadable(2000));
    char buffer[16];
    ASSERT_EQ(server.ReceiveRaw(buffer, sizeof(buffer)), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");

    ::shutdown(client.fd(), SHUT_WR);
    ASSERT_TRUE(server.SelectReadable(2000)) << "the end of the stream counts as readable";
    EXPECT_EQ(server.ReceiveRaw(buffer, sizeof(buffer)), 0);
}

TEST_F(SocketHandleTest, ASendToAPeerThatHasGoneRaisesInsteadOfEndingTheProcess)
{
    RawSocket listener = loopbackListener();
    TIdSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM);
    handle.SetPeerAddress("127.0.0.1", listener.localPort());
    ASSERT_EQ(handle.ConnectPeer(AF_INET), 0);
    listener.acceptOne();  // accepted and closed at once: the peer has gone

    const std::vector<char> block(65536, 'x');
    std::int64_t result = 0;
    for (int attempt = 0; attempt < 1000 && result != -1; ++attempt)
        result = handle.SendRaw(block.data(), static_cast<std::int64_t>(block.size()));
    ASSERT_EQ(result, -1);
    try {
        SocketStack->CheckResult(result);
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_TRUE(e.LastError() == 10054 || e.LastError() == 10058 || e.LastError() == 10053)
            << e.LastError();
        EXPECT_EQ(e.Message(), TIdStack::SocketErrorText(e.LastError()));
    }
}

TEST_F(SocketHandleTest, ReleasingClosesTheSocketAndClearingForgetsTheBindings)
{
    TIdSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM);
    handle.IP = "127.0.0.1";
    handle.BindLocal();
    handle.SetPeerAddress("127.0.0.1", 21);
    const int fd = handle.Handle();
    handle.ClearBinding(false);
    EXPECT_FALSE(handle.HandleAllocated());
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "the socket was closed, not leaked";
    EXPECT_EQ(handle.IP, "127.0.0.1");
    EXPECT_EQ(handle.PeerIP(), "");
    EXPECT_EQ(handle.PeerPort(), 0);
    handle.ClearBinding(true);
    EXPECT_EQ(handle.IP, "");
    EXPECT_EQ(handle.Port, 0);
}

} // namespace
