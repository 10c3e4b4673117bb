// The active-mode data listener on its own: listening address, the bounded wait, a stop
// request, refusing strangers, and data through the accepted connection.
#include "ftp/IdSimpleServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Connects to 127.0.0.1:port from `source`, sends `bytes` and closes.
void knock(int port, const char* source, const std::string& bytes)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, source, &local.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    close(fd);
}

TEST(SimpleServer, ListensOnTheBoundAddressAndGivesUpAfterItsTimeout)
{
    TIdSimpleServer server;
    server.BoundIP = "127.0.0.1";
    server.AcceptSlice = 20;
    server.AcceptTimeout = 100;
    server.StartListening();
    ASSERT_NE(server.ListenBinding(), nullptr);
    EXPECT_EQ(server.ListenBinding()->IP, "127.0.0.1");
    EXPECT_GT(server.ListenBinding()->Port, 0);
    EXPECT_TRUE(server.IsListening());
    EXPECT_FALSE(server.AcceptOne());
    EXPECT_EQ(server.ListenSocket(), -1);
    EXPECT_FALSE(server.IsConnected());
}

TEST(SimpleServer, StopRequestedBeforeTheWaitAcceptsNothing)
{
    TIdSimpleServer server;
    server.BoundIP = "127.0.0.1";
    server.StartListening();
    server.RequestStop();
    EXPECT_FALSE(server.AcceptOne());
}

TEST(SimpleServer, RefusesAStrangerAndTakesTheAllowedPeersData)
{
    TIdSimpleServer server;
    server.BoundIP = "127.0.0.1";
    server.AllowedPeerIP = "127.0.0.1";
    server.AcceptSlice = 50;
    server.AcceptTimeout = 5000;
    server.StartListening();
    const int port = server.ListenBinding()->Port;
    std::thread peers([port] {
        knock(port, "127.0.0.2", "stranger's bytes");
        knock(port, "127.0.0.1", "server's bytes");
    });
    const bool accepted = server.AcceptOne();
    peers.join();
    ASSERT_TRUE(accepted);
    TIdMemoryStream data;
    server.ReadIntoStream(data, -1, true);
    EXPECT_EQ(data.DataString(), "server's bytes");
}

} // namespace
