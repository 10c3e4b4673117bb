// FTP over TLS against the real server (pyftpdlib's TLS handler) in every combination of
// explicit and implicit TLS, passive and active mode, IPv4 and IPv6, TLS 1.2 and 1.3, with a
// server that refuses data connections which do not resume the command connection's session.
#include "ftp/IdFTP.h"
#include "support/FtpServerProcess.h"
#include "support/LoopbackPorts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct TlsCase {
    TIdUseTLS mode;
    bool passive;
    std::string host;
    std::string version;
};

class FtpTlsServer : public testing::TestWithParam<TlsCase> {
protected:
    void start(const TlsCase& tls, bool requireReuse = true)
    {
        if (tls.host == "::1" && !ipv6LoopbackAvailable())
            GTEST_SKIP() << "no IPv6 loopback";
        std::vector<std::string> options{
            "--tls", tls.mode == TIdUseTLS::utUseImplicitTLS ? "implicit" : "explicit", "--tls-cert",
            (m_local.path() / "cert.pem").string(), "--tls-version", tls.version, "--plaintext-log",
            (m_local.path() / "plain.log").string()};
        if (requireReuse)
            options.push_back("--tls-require-reuse");
        m_server = std::make_unique<FtpServerProcess>(m_root.path(), tls.host, options);
        aimAtServer(m_ftp, *m_server, tls.host);
        m_ftp.Passive = tls.passive;
        m_ftp.ReadTimeout = 20000;
        m_ftp.TLSSettings.Mode = tls.mode;
        m_ftp.TLSSettings.OnVerifyPeer = [this](const TIdTLSCertificateInfo& certificate,
                                                const std::string&, int) {
            m_certificate = certificate;
            return true;
        };
        m_ftp.OnStatus = [this](TIdComponent*, TIdStatus, const std::string& text) {
            m_statuses.push_back(text);
        };
        m_ftp.OpenSession();
    }
    void TearDown() override
    {
        if (m_ftp.IsConnected())
            m_ftp.CloseSession();
    }
    bool sawStatus(const std::string& start) const
    {
        return std::any_of(m_statuses.begin(), m_statuses.end(),
                           [&](const std::string& status) { return status.starts_with(start); });
    }
    std::string local(const std::string& name) const { return (m_local.path() / name).string(); }
    fs::path remote(const std::string& name) const { return m_root.path() / name; }

    TempDir m_root{"tarn-tls-root"};
    TempDir m_local{"tarn-tls-local"};
    std::unique_ptr<FtpServerProcess> m_server;
    TIdFTP m_ftp;
    TIdTLSCertificateInfo m_certificate;
    std::vector<std::string> m_statuses;
};

TEST_P(FtpTlsServer, EveryDataConnectionIsEncryptedAndResumesTheSession)
{
    start(GetParam());
    ASSERT_TRUE(m_ftp.TLSActive());
    EXPECT_TRUE(m_ftp.DataProtected());
    EXPECT_FALSE(m_certificate.Verified);
    EXPECT_EQ(m_certificate.Reason, "self-signed certificate");
    EXPECT_EQ(m_certificate.Fingerprint.size(), 95u);
    EXPECT_TRUE(sawStatus("TLS: TLSv" + GetParam().version + ", ")) << m_statuses.front();

    writePatternFile(remote("down.bin"), 3 << 20, 7);
    writePatternFile(local("up.bin"), (2 << 20) + 17, 8);
    std::vector<std::string> names;
    m_ftp.ListDirectory(&names, "", false);
    EXPECT_EQ(names, (std::vector<std::string>{"down.bin"}));
    m_ftp.Download("down.bin", local("down.bin"));
    EXPECT_EQ(readWholeFile(local("down.bin")), readWholeFile(remote("down.bin")));
    m_ftp.Upload(local("up.bin"), "up.bin");
    EXPECT_EQ(readWholeFile(remote("up.bin")), readWholeFile(local("up.bin")));

    // Resume: the first half is there, the rest comes after REST.
    const std::string whole = readWholeFile(remote("down.bin"));
    writeWholeFile(local("half.bin"), whole.substr(0, whole.size() / 2));
    m_ftp.Download("down.bin", local("half.bin"), false, true);
    EXPECT_TRUE(readWholeFile(local("half.bin")) == whole);

    // Abort, then the next command gets its own reply.
    writePatternFile(remote("big.bin"), 24 << 20, 9);
    bool aborted = false;
    m_ftp.OnWork = [&](TIdComponent*, TWorkMode mode, std::int64_t count) {
        if (mode == TWorkMode::wkRead && count > 0 && !aborted) {
            aborted = true;
            m_ftp.SendAbort();
        }
    };
    m_ftp.Download("big.bin", local("big.bin"));
    m_ftp.OnWork = nullptr;
    EXPECT_TRUE(m_ftp.LastTransferAborted());
    EXPECT_EQ(m_ftp.QueryCurrentDirectory(), "/");

    EXPECT_FALSE(sawStatus("The data connection did not resume"));
    // Nothing of the login crossed in clear.
    const std::string plain = readWholeFile(local("plain.log"));
    EXPECT_EQ(plain.find("USER"), std::string::npos) << plain;
    EXPECT_EQ(plain.find(FtpServerProcess::kPassword), std::string::npos) << plain;
}

std::vector<TlsCase> allCases()
{
    std::vector<TlsCase> cases;
    for (TIdUseTLS mode : {TIdUseTLS::utUseRequireTLS, TIdUseTLS::utUseImplicitTLS})
        for (bool passive : {true, false})
            for (const char* host : {"127.0.0.1", "::1"})
                for (const char* version : {"1.2", "1.3"})
                    cases.push_back({mode, passive, host, version});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Matrix, FtpTlsServer, testing::ValuesIn(allCases()), [](const auto& info) {
    const TlsCase& c = info.param;
    std::string name = std::string(c.mode == TIdUseTLS::utUseImplicitTLS ? "implicit" : "explicit")
        + (c.passive ? "_passive" : "_active") + (c.host == "::1" ? "_ipv6" : "_ipv4") + "_tls"
        + c.version;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
});

class FtpTlsSession : public FtpTlsServer {};

TEST_F(FtpTlsSession, AServerThatRequiresReuseRefusesADataConnectionThatDoesNotResume)
{
    m_ftp.TLSSettings.ReuseSession = false;
    start({TIdUseTLS::utUseRequireTLS, true, "127.0.0.1", "1.3"});
    try {
        m_ftp.ListDirectory();
        FAIL() << "the listing went through without a resumed session";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_EQ(error.ReplyErrorCode(), 522);
    }
    EXPECT_TRUE(sawStatus("The data connection did not resume"));
    EXPECT_EQ(m_ftp.QueryCurrentDirectory(), "/");
}

TEST_F(FtpTlsSession, AFailedHandshakeEndsTheConnectionWithItsReasonAndNeverFallsBackToPlain)
{
    m_ftp.TLSSettings.Versions.Min = 0x0304; // TLS 1.3 at least, against a server of TLS 1.2
    try {
        start({TIdUseTLS::utUseExplicitTLS, true, "127.0.0.1", "1.2"});
        FAIL() << "connected without a handshake";
    } catch (const EIdOSSLError& error) {
        EXPECT_STREQ(error.what(), "TLS handshake failed: tlsv1 alert protocol version.");
    }
    EXPECT_FALSE(m_ftp.IsConnected());
    EXPECT_EQ(readWholeFile(local("plain.log")), "AUTH TLS\n");
}

TEST_F(FtpTlsSession, TwentyUploadsInARowLandByteExact)
{
    start({TIdUseTLS::utUseRequireTLS, true, "127.0.0.1", "1.3"}, true);
    for (int i = 0; i < 20; ++i) {
        const std::string name = "file" + std::to_string(i) + ".bin";
        writePatternFile(local(name), (3 << 20) + i * 4099, static_cast<unsigned>(i + 20));
        m_ftp.Upload(local(name), name);
        EXPECT_TRUE(readWholeFile(remote(name)) == readWholeFile(local(name))) << name;
    }
}

} // namespace
