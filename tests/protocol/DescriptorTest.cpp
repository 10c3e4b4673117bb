// Failed transfers and connects leave no socket open behind them: every failure path closes
// the data connection, the active-mode listener and the connect's socket.
#include "FtpScript.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace ftptest;

namespace {

std::size_t openDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

struct FailureCase {
    const char* id;
    bool passive;
    std::function<void(ScriptedFtpServer&)> script;
    std::function<void(TIdFTP&)> operation;
};

class FailedTransferDescriptors : public testing::TestWithParam<FailureCase> {};

TEST_P(FailedTransferDescriptors, AreAllClosed)
{
    const FailureCase& c = GetParam();
    const std::size_t before = openDescriptors();
    {
        ScriptedFtpServer server;
        addLogin(server);
        c.script(server);
        server.start();
        auto ftp = makeSession(server, c.passive);
        ftp->OpenSession();
        EXPECT_THROW(c.operation(*ftp), std::exception);
        ftp->CloseConnection();
        ASSERT_TRUE(server.waitDone());
    }
    EXPECT_EQ(openDescriptors(), before);
}

void download(TIdFTP& ftp)
{
    TIdMemoryStream data;
    ftp.DownloadToStream("a.txt", data);
}

void upload(TIdFTP& ftp)
{
    TIdMemoryStream data("contents");
    ftp.UploadFromStream(data, "a.txt");
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedTransferDescriptors,
    testing::Values(
        FailureCase{"passiveRetrRefused", true,
                    [](ScriptedFtpServer& s) { s.pasv().acceptData().reply("RETR a.txt", "550 No such file\r\n"); },
                    download},
        FailureCase{"passiveDataPortClosed", true,
                    // Port 1 on loopback: nothing listens there, the data connect is refused.
                    [](ScriptedFtpServer& s) { s.reply("PASV", "227 Passive (127,0,0,1,0,1)\r\n"); },
                    download},
        FailureCase{"activeRetrRefused", false,
                    [](ScriptedFtpServer& s) {
                        s.expectPrefix("PORT ").send("200 ok\r\n").reply("RETR a.txt", "550 No such file\r\n");
                    },
                    download},
        FailureCase{"activePortRefused", false,
                    [](ScriptedFtpServer& s) { s.expectPrefix("PORT ").send("500 No PORT here\r\n"); },
                    download},
        FailureCase{"passiveStorRefused", true,
                    [](ScriptedFtpServer& s) {
                        s.pasv().expect("STOR a.txt").acceptData().send("553 Not allowed\r\n");
                    },
                    upload},
        FailureCase{"activeStorRefused", false,
                    [](ScriptedFtpServer& s) {
                        s.expectPrefix("PORT ").send("200 ok\r\n").reply("STOR a.txt", "553 Not allowed\r\n");
                    },
                    upload},
        FailureCase{"finalReplyRefused", true,
                    [](ScriptedFtpServer& s) {
                        s.pasv().acceptData().reply("RETR a.txt", "150 ok\r\n").sendData("x").closeData()
                            .send("451 Local error\r\n");
                    },
                    download}),
    [](const auto& info) { return std::string(info.param.id); });

} // namespace
