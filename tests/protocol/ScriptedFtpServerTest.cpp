// The scripted server itself, driven by a raw socket client: the other protocol tests rely
// on it playing replies and data exactly and reporting a command that was not expected.
#include "support/ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class RawClient {
public:
    explicit RawClient(int port) : m_fd(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { close(m_fd); }
    bool connected() const { return m_connected; }
    void sendText(const std::string& text) { ::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL); }
    // Reads until `count` bytes arrived or the peer closed, waiting at most 5 s per read.
    std::string readBytes(std::size_t count)
    {
        std::string bytes;
        char buffer[4096];
        while (bytes.size() < count) {
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0)
                break;
            const ssize_t n = recv(m_fd, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
            if (n <= 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

private:
    int m_fd;
    bool m_connected = false;
};

int passivePort(const std::string& reply)
{
    const auto open = reply.find('(');
    int h1, h2, h3, h4, p1, p2;
    if (open == std::string::npos
        || std::sscanf(reply.c_str() + open + 1, "%d,%d,%d,%d,%d,%d", &h1, &h2, &h3, &h4, &p1, &p2) != 6)
        return 0;
    return p1 * 256 + p2;
}

TEST(ScriptedFtpServer, PlaysRepliesAndPassiveDataAndRecordsTheTranscript)
{
    ScriptedFtpServer server;
    server.send("220 hello\r\n").reply("USER a", "331 pw\r\n").pasv().acceptData();
    server.sendData("payload").closeData();
    server.start();
    RawClient client(server.port());
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(client.readBytes(11), "220 hello\r\n");
    client.sendText("USER a\r\n");
    EXPECT_EQ(client.readBytes(8), "331 pw\r\n");
    client.sendText("PASV\r\n");
    const std::string pasv = client.readBytes(46);
    const int dataPort = passivePort(pasv);
    ASSERT_NE(dataPort, 0) << pasv;
    RawClient data(dataPort);
    ASSERT_TRUE(data.connected());
    EXPECT_EQ(data.readBytes(100), "payload");
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.failure(), "");
    EXPECT_EQ(server.transcript(), (std::vector<std::string>{"USER a", "PASV"}));
}

TEST(ScriptedFtpServer, ReportsAnUnexpectedCommand)
{
    ScriptedFtpServer server;
    server.send("220 hello\r\n").expect("USER a");
    server.start();
    RawClient client(server.port());
    client.readBytes(11);
    client.sendText("USER b\r\n");
    ASSERT_TRUE(server.waitDone());
    EXPECT_NE(server.failure().find("USER b"), std::string::npos);
}

TEST(ScriptedFtpServer, GeneratedSpansMatchTheByteFunction)
{
    const std::int64_t start = (std::int64_t{5} << 30) + 12345;
    const std::string_view span = ScriptedFtpServer::generatedSpan(start, 70000);
    for (std::size_t i = 0; i < span.size(); i += 997)
        EXPECT_EQ(span[i], ScriptedFtpServer::generatedByte(start + static_cast<std::int64_t>(i)));
}

} // namespace
