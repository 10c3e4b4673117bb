// Against the scripted server: a server without TLS under each explicit mode, and transfers
// whose byte count differs from the size the server stores or told.
#include "FtpScript.h"

#include <gtest/gtest.h>

using namespace ftptest;
using Lines = std::vector<std::string>;

namespace {

const Lines kPlainLogin{"AUTH TLS", "USER tarn", "PASS secret", "TYPE I", "SYST", "FEAT"};

struct NoTlsCase {
    TIdUseTLS mode;
    Lines transcript;
};

class FtpWithoutTls : public testing::TestWithParam<NoTlsCase> {};

TEST_P(FtpWithoutTls, RequireSendsNoLoginAndIfAvailableSaysItIsPlain)
{
    const bool connects = GetParam().transcript.size() > 1;
    ScriptedFtpServer server;
    server.send("220 ready\r\n").reply("AUTH TLS", "500 AUTH not understood\r\n");
    if (connects)
        server.reply("USER tarn", "331 pw\r\n").reply("PASS secret", "230 ok\r\n")
            .reply("TYPE I", "200 ok\r\n").reply("SYST", "215 UNIX\r\n").reply("FEAT", kNoFeatures);
    server.start();
    auto ftp = makeSession(server);
    ftp->TLSSettings.Mode = GetParam().mode;
    StatusLog statuses;
    statuses.attach(*ftp);
    if (connects)
        ftp->OpenSession();
    else
        EXPECT_THROW(ftp->OpenSession(), EIdFTPTLSRefused);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.transcript(), GetParam().transcript);
    EXPECT_EQ(ftp->IsConnected(), connects);
    EXPECT_FALSE(ftp->TLSActive());
    EXPECT_EQ(statuses.contains("The server does not offer TLS: this session is plain FTP, not encrypted."),
              connects);
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpWithoutTls,
                         testing::Values(NoTlsCase{TIdUseTLS::utUseRequireTLS, {"AUTH TLS"}},
                                         NoTlsCase{TIdUseTLS::utUseExplicitTLS, kPlainLogin}));

ScriptedFtpServer& loginWithSize(ScriptedFtpServer& server)
{
    return server.send("220 ready\r\n").reply("USER tarn", "331 pw\r\n").reply("PASS secret", "230 ok\r\n")
        .reply("TYPE I", "200 ok\r\n").reply("SYST", "215 UNIX\r\n")
        .reply("FEAT", "211-Features:\r\n SIZE\r\n211 End\r\n");
}

class FtpSizeCheck : public ScriptedServerTest {};

TEST_F(FtpSizeCheck, AnUploadTheServerStoredShortIsAFailure)
{
    startUpload(loginWithSize(server), true).receiveGeneratedData().send("226 Transfer complete\r\n")
        .reply("SIZE a.bin", "213 4190208\r\n");
    server.start();
    auto ftp = makeSession(server);
    StatusLog statuses;
    statuses.attach(*ftp);
    ftp->OpenSession();
    GeneratedSource source(10485760);
    try {
        ftp->UploadFromStream(source, "a.bin");
        FAIL() << "a short upload passed for complete";
    } catch (const EIdFTPSizeMismatch& error) {
        EXPECT_STREQ(error.what(), "The server stored 4,190,208 of 10,485,760 bytes.");
    }
    EXPECT_FALSE(statuses.contains("Transfer complete"));
}

TEST_F(FtpSizeCheck, ADownloadShorterThanItsSizeIsAFailure)
{
    ScriptedFtpServer server;
    startDownload(loginWithSize(server).reply("SIZE a.bin", "213 2000\r\n"), true)
        .sendData(std::string(1000, 'x')).closeData().send("226 Transfer complete\r\n");
    server.start();
    auto ftp = makeSession(server);
    StatusLog statuses;
    statuses.attach(*ftp);
    ftp->OpenSession();
    EXPECT_EQ(ftp->QueryFileSize("a.bin"), 2000);
    TIdMemoryStream stream;
    try {
        ftp->DownloadToStream("a.bin", stream);
        FAIL() << "a short download passed for complete";
    } catch (const EIdFTPSizeMismatch& error) {
        EXPECT_STREQ(error.what(), "The server sent 1,000 of 2,000 bytes.");
    }
    EXPECT_FALSE(statuses.contains("Transfer complete"));
    EXPECT_TRUE(server.waitDone());
}

} // namespace
