// The socket layer with IPv6 beside IPv4: address texts and their families, the order in
// which a host's addresses are tried, and a connection over the IPv6 loopback (bind, listen,
// accept, connect, both directions) with the usual error texts.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "NetTestSupport.h"
#include "net/IdException.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdSocketHandle.h"
#include "support/LoopbackPorts.h"

namespace {

TEST(IPv6AddressText, FamilyFollowsTheText)
{
    struct Case {
        const char* text;
        bool ipv6;
    };
    for (const Case& c : {Case{"::1", true}, Case{"2001:db8::10", true}, Case{"::ffff:127.0.0.1", true},
                          Case{"127.0.0.1", false}, Case{"localhost", false}, Case{"[::1]", false},
                          Case{"2001:db8::g", false}, Case{"", false}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TIdStack::IsIPv6Text(c.text), c.ipv6);
        if (c.ipv6) {
            EXPECT_EQ(TIdStack::FamilyOf(c.text), AF_INET6);
        }
    }
    EXPECT_EQ(TIdStack::FamilyOf("127.0.0.1"), AF_INET);
}

TEST(IPv6AddressText, AddressesOfAHostInTheOrderTheyAreTried)
{
    StackHolder stack;
    EXPECT_EQ(SocketStack->HostToAddresses("::1"), std::vector<std::string>{"::1"});
    EXPECT_EQ(SocketStack->HostToAddresses("127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(SocketStack->HostToAddresses("LocalHost"), std::vector<std::string>{"127.0.0.1"});
    // A name with both families: every IPv4 address comes before the first IPv6 one.
    const std::vector<std::string> both = SocketStack->HostToAddresses(SocketStack->hostName());
    ASSERT_FALSE(both.empty());
    bool seenIPv6 = false;
    for (const std::string& address : both) {
        if (TIdStack::FamilyOf(address) == AF_INET6) {
            seenIPv6 = true;
        } else {
            EXPECT_FALSE(seenIPv6) << address << " came after an IPv6 address";
        }
    }
}

class IPv6LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ipv6LoopbackAvailable())
            GTEST_SKIP() << "this machine cannot listen on the IPv6 loopback ::1";
    }
    StackHolder m_stack;
};

TEST_F(IPv6LoopbackTest, ConnectAcceptAndTalkBothWays)
{
    TIdSocketHandle listener;
    listener.AllocateHandle(SOCK_STREAM, 0, AF_INET6);
    listener.IP = "::1";
    listener.BindLocal();
    EXPECT_EQ(listener.IP, "::1");
    ASSERT_GT(listener.Port, 0);
    listener.StartListen(5);

    TIdIOHandlerSocket client;
    client.OpenTransport();
    client.ConnectTo("::1", listener.Port);
    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(client.Binding()->PeerIP(), "::1");
    EXPECT_EQ(client.Binding()->PeerPort(), listener.Port);
    EXPECT_EQ(client.Binding()->IP, "::1");

    TIdSocketHandle accepted;
    ASSERT_TRUE(accepted.AcceptFrom(listener.Handle()));
    EXPECT_EQ(accepted.PeerIP(), "::1");
    EXPECT_EQ(accepted.PeerPort(), client.Binding()->Port);

    const std::string ping = "over IPv6";
    ASSERT_EQ(client.SendBytes(ping.data(), static_cast<std::int64_t>(ping.size())),
              static_cast<std::int64_t>(ping.size()));
    ASSERT_TRUE(accepted.SelectReadable(5000));
    char buffer[64] = {};
    ASSERT_EQ(accepted.ReceiveRaw(buffer, sizeof buffer), static_cast<std::int64_t>(ping.size()));
    EXPECT_EQ(std::string(buffer, ping.size()), ping);

    ASSERT_EQ(accepted.SendRaw("pong", 4), 4);
    ASSERT_TRUE(client.WaitReadable(5000));
    ASSERT_EQ(client.ReceiveBytes(buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 4), "pong");
}

TEST_F(IPv6LoopbackTest, RefusedConnectKeepsTheSocketErrorText)
{
    // A port that was just free: bind one, note it, close it.
    int port = 0;
    {
        TIdSocketHandle probe;
        probe.AllocateHandle(SOCK_STREAM, 0, AF_INET6);
        probe.IP = "::1";
        probe.BindLocal();
        port = probe.Port;
    }
    TIdIOHandlerSocket client;
    client.OpenTransport();
    try {
        client.ConnectTo("::1", port);
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError(), 10061);
        EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(client.IsOpen());
}

TEST_F(IPv6LoopbackTest, AnInvalidIPv6TextIsRefusedBeforeAnyConnect)
{
    TIdSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM, 0, AF_INET6);
    handle.IP = "::1::2";
    EXPECT_THROW(handle.BindLocal(), EIdInvalidIPAddress);
}

} // namespace
