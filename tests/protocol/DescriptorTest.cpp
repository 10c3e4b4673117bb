// Failed transfers and connects leave no socket open behind them: every failure path closes
// the data connection, the active-mode listener and the connect's socket.
#include "FtpScript.h"
#include "SessionHooks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

using namespace ftptest;

namespace {

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

namespace {

struct StopCase {
    const char* id;
    bool passive;
    bool upload;
    bool fromPump; // else from a work handler
};

class StopDuringTransfer : public testing::TestWithParam<StopCase> {};

// The window's Reset, Quit and close: SendAbort, then CloseSession, while the transfer runs.
// The data connection goes with the session, nothing more reaches the local stream, and the
// transfer call raises once it unwinds.
TEST_P(StopDuringTransfer, ClosesTheDataConnectionAndStoresNothingMore)
{
    const StopCase& c = GetParam();
    const std::size_t before = openDescriptors();
    {
        ScriptedFtpServer server;
        addLogin(server);
        if (c.upload)
            startUpload(server, c.passive).receiveData();
        else
            startDownload(server, c.passive).sendGeneratedData(64 << 20);
        server.expect("ABOR").expect("QUIT");
        server.start();
        auto ftp = makeSession(server, c.passive);
        ftp->OpenSession();
        CountingSink sink;
        std::int64_t storedAtStop = -1;
        auto stop = [&] {
            ftp->SendAbort();
            ftp->CloseSession();
            storedAtStop = sink.written();
        };
        const TWorkMode mode = c.upload ? TWorkMode::wkWrite : TWorkMode::wkRead;
        std::optional<PumpHook> pump;
        if (c.fromPump)
            pump.emplace(stop, [&] {
                TIdTCPConnection* link = ftp->DataLink();
                return link != nullptr && link->IsBusy() && link->WorkCount(mode) > 0;
            });
        else
            ftp->OnWork = [&](TIdComponent*, TWorkMode, std::int64_t) {
                if (storedAtStop < 0)
                    stop();
            };
        if (c.upload) {
            GeneratedSource source(64 << 20);
            EXPECT_THROW(ftp->UploadFromStream(source, "a.bin"), EIdException);
        } else {
            EXPECT_THROW(ftp->DownloadToStream("a.bin", sink), EIdException);
        }
        EXPECT_GE(storedAtStop, 0);
        EXPECT_EQ(sink.written(), storedAtStop);
        EXPECT_EQ(ftp->DataLink(), nullptr);
        EXPECT_FALSE(ftp->IsConnected());
        ASSERT_TRUE(server.played());
    }
    EXPECT_EQ(openDescriptors(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, StopDuringTransfer,
    testing::Values(StopCase{"passiveDownloadFromWorkHandler", true, false, false},
                    StopCase{"activeDownloadFromWorkHandler", false, false, false},
                    StopCase{"passiveUploadFromWorkHandler", true, true, false},
                    StopCase{"passiveDownloadFromThePump", true, false, true},
                    StopCase{"activeUploadFromThePump", false, true, true}),
    [](const auto& info) { return std::string(info.param.id); });

} // namespace
