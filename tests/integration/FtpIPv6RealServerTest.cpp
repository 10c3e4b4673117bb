// The session over IPv6 against the real server listening on ::1, in passive (EPSV) and
// active (EPRT) mode: login, listing, byte-exact download and upload; the Host forms that
// lead there ("::1", "[::1]:port", a name that resolves to ::1 only).
#include "model/SiteAddress.h"
#include "ftp/IdFTP.h"
#include "net/IdIOHandlerSocket.h"
#include "support/FtpServerProcess.h"
#include "support/LoopbackPorts.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

// A host name that resolves to ::1 and to nothing else, if the system knows one.
std::optional<std::string> nameOfIPv6LoopbackOnly()
{
    for (const char* name : {"ip6-localhost", "ip6-loopback", "localhost6"}) {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(name, nullptr, &hints, &found) != 0)
            continue;
        bool onlyLoopback = found != nullptr;
        for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
            const auto* v6 = reinterpret_cast<const sockaddr_in6*>(entry->ai_addr);
            onlyLoopback = onlyLoopback && entry->ai_family == AF_INET6
                        && IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
        }
        ::freeaddrinfo(found);
        if (onlyLoopback)
            return name;
    }
    return std::nullopt;
}

class FtpIPv6RealServer : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (!ipv6LoopbackAvailable())
            GTEST_SKIP() << "this machine cannot listen on the IPv6 loopback ::1";
        m_server = std::make_unique<FtpServerProcess>(m_root.path(), "::1");
        m_ftp.Port = m_server->port();
        m_ftp.SetUsername(FtpServerProcess::kUser);
        m_ftp.SetPassword(FtpServerProcess::kPassword);
        m_ftp.Passive = GetParam();
        m_ftp.ReadTimeout = 10000;
    }
    void TearDown() override
    {
        if (m_ftp.IsConnected())
            m_ftp.CloseSession();
    }

    // Login, a listing, a download and an upload, each checked byte for byte.
    void exchangeFiles(const std::string& host)
    {
        m_ftp.Host = host;
        m_ftp.OpenSession();
        EXPECT_EQ(m_ftp.Socket()->Binding()->PeerIP(), "::1");
        writePatternFile(m_root.path() / "down.bin", 300000, 7);
        m_ftp.SetTransferType(TIdFTPTransferType::ftASCII);
        m_ftp.ListDirectory();
        const TIdFTPListItems& items = m_ftp.ParsedListing();
        ASSERT_EQ(items.Count(), 1);
        EXPECT_EQ(items[0].EntryName, "down.bin");
        EXPECT_EQ(items[0].ByteSize, 300000);

        m_ftp.SetTransferType(TIdFTPTransferType::ftBinary);
        const std::string downloaded = (m_local.path() / "down.bin").string();
        m_ftp.Download("down.bin", downloaded);
        EXPECT_EQ(readWholeFile(downloaded), readWholeFile(m_root.path() / "down.bin"));

        const fs::path upload = m_local.path() / "up.bin";
        writePatternFile(upload, 200000, 9);
        m_ftp.Upload(upload.string(), "up.bin");
        EXPECT_EQ(readWholeFile(m_root.path() / "up.bin"), readWholeFile(upload));
        EXPECT_EQ(m_ftp.UsesExtendedPassive(), true);
    }

    TempDir m_root{"tarn-ftp6-root"};
    TempDir m_local{"tarn-ftp6-local"};
    std::unique_ptr<FtpServerProcess> m_server;
    TIdFTP m_ftp;
};

TEST_P(FtpIPv6RealServer, LiteralAddress)
{
    exchangeFiles("::1");
}

TEST_P(FtpIPv6RealServer, BracketedAddressWithPortInTheSiteHost)
{
    const SiteAddress address = splitSiteHost("[::1]:" + std::to_string(m_server->port()));
    EXPECT_EQ(address.host, "::1");
    EXPECT_EQ(address.port, m_server->port());
    m_ftp.Port = address.port;
    exchangeFiles(address.host);
}

TEST_P(FtpIPv6RealServer, NameThatResolvesToTheIPv6LoopbackOnly)
{
    const std::optional<std::string> name = nameOfIPv6LoopbackOnly();
    if (!name)
        GTEST_SKIP() << "no host name on this machine resolves to ::1 alone (ip6-localhost missing)";
    exchangeFiles(*name);
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpIPv6RealServer, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "passive" : "active"; });

} // namespace
