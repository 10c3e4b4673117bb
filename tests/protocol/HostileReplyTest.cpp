// Replies that never end properly: an over-long line, a reply beyond the size limit, endless
// blank lines. Each ends within the read time-out with the connection closed, so that no
// later command reads the rest of the bad reply as its own.
#include "FtpScript.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace ftptest;

namespace {

using Clock = std::chrono::steady_clock;

struct HostileCase {
    const char* id;
    std::function<void(ScriptedFtpServer&)> reply; // the server's answer to NOOP
    const char* message;
};

class HostileReply : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileReply, EndsWithinTheTimeOutAndClosesTheConnection)
{
    ScriptedFtpServer server;
    addLogin(server).expect("NOOP");
    GetParam().reply(server);
    auto ftp = openScriptedSession(server);
    ftp->ReadTimeout = 500;
    int disconnects = 0;
    ftp->OnDisconnected = [&](TIdComponent*) { ++disconnects; };
    const auto start = Clock::now();
    try {
        ftp->RawCommand("NOOP");
        FAIL() << "the bad reply was taken";
    } catch (const EIdException& error) {
        EXPECT_EQ(std::string(error.what()).rfind(GetParam().message, 0), 0u) << error.what();
    }
    EXPECT_LT(Clock::now() - start, kPromptly);
    EXPECT_FALSE(ftp->IsConnected());
    EXPECT_EQ(disconnects, 1);
    // The next command cannot meet the same bytes: there is no connection left to read.
    EXPECT_THROW(ftp->RawCommand("NOOP"), EIdException);
    ASSERT_TRUE(server.played(10000));
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileReply,
    testing::Values(
        HostileCase{"overlongLine",
                    [](ScriptedFtpServer& s) { s.send("200 " + std::string(20000, 'x') + "\r\n"); },
                    "Max line length exceeded."},
        HostileCase{"endlessMultiLineReply",
                    [](ScriptedFtpServer& s) { s.sendEndlessly("200-Here it comes\r\n", "200-and more\r\n"); },
                    "The server's reply is too long"},
        HostileCase{"floodOfBlankLines",
                    [](ScriptedFtpServer& s) { s.sendEndlessly("", "\r\n"); },
                    "The server's reply is too long"},
        // Too slow to reach the size limit, but never ending: the time-out ends it.
        HostileCase{"trickleOfBlankLines",
                    [](ScriptedFtpServer& s) { s.sendEndlessly("", "\r\n", 20); },
                    "Read Timeout"},
        HostileCase{"trickleOfBlankContinuationLines",
                    [](ScriptedFtpServer& s) { s.sendEndlessly("200-Status follows\r\n", "  \r\n", 20); },
                    "Read Timeout"}),
    [](const auto& info) { return std::string(info.param.id); });

} // namespace
