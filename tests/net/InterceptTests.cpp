// Intercepts: the order in which nested intercepts see blocks, the logging texts, and an
// inactive log passing nothing on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/IdComponent.h"
#include "net/IdLogEvent.h"

namespace {

using Lines = std::vector<std::string>;

// An intercept that notes each block it sees under its name.
struct NamedIntercept {
    NamedIntercept(const std::string& name, Lines& seen)
    {
        intercept.OnReceive = [&seen, name](TIdConnectionIntercept*, std::string& block) {
            seen.push_back(name + " received " + block);
        };
        intercept.OnSend = [&seen, name](TIdConnectionIntercept*, std::string& block) {
            seen.push_back(name + " sent " + block);
        };
    }
    TIdConnectionIntercept intercept;
};

TEST(InterceptTest, TheNestedInterceptSeesReceivedBlocksFirstAndSentBlocksLast)
{
    Lines seen;
    NamedIntercept outer("outer", seen);
    NamedIntercept inner("inner", seen);
    outer.intercept.SetIntercept(&inner.intercept);
    std::string received = "220 ready";
    outer.intercept.HandleReceive(received);
    std::string sent = "QUIT";
    outer.intercept.HandleSend(sent);
    EXPECT_EQ(seen, (Lines{"inner received 220 ready", "outer received 220 ready", "outer sent QUIT",
                           "inner sent QUIT"}));
}

TEST(InterceptTest, ASentBlockChangedByTheOuterInterceptReachesTheNestedOneChanged)
{
    Lines seen;
    NamedIntercept outer("outer", seen);
    NamedIntercept inner("inner", seen);
    outer.intercept.OnSend = [](TIdConnectionIntercept*, std::string& block) { block += "\r\n"; };
    outer.intercept.SetIntercept(&inner.intercept);
    std::string sent = "NOOP";
    outer.intercept.HandleSend(sent);
    EXPECT_EQ(sent, "NOOP\r\n");
    EXPECT_EQ(seen, Lines{"inner sent NOOP\r\n"});
}

TEST(InterceptTest, ConnectAndDisconnectRememberTheConnectionAndReachTheNestedIntercept)
{
    TIdComponent connection;
    Lines seen;
    TIdConnectionIntercept outer;
    TIdConnectionIntercept inner;
    outer.SetIntercept(&inner);
    outer.OnConnect = [&](TIdConnectionIntercept*) { seen.push_back("outer connect"); };
    inner.OnConnect = [&](TIdConnectionIntercept*) { seen.push_back("inner connect"); };
    outer.OnDisconnect = [&](TIdConnectionIntercept*) { seen.push_back("outer disconnect"); };
    inner.OnDisconnect = [&](TIdConnectionIntercept*) { seen.push_back("inner disconnect"); };
    outer.HandleConnect(&connection);
    EXPECT_EQ(outer.Connection(), &connection);
    EXPECT_EQ(inner.Connection(), &connection);
    outer.HandleDisconnect();
    EXPECT_EQ(outer.Connection(), nullptr);
    EXPECT_EQ(seen, (Lines{"outer connect", "inner connect", "inner disconnect", "outer disconnect"}));
}

TEST(InterceptTest, DestroyingTheNestedInterceptDetachesIt)
{
    TIdConnectionIntercept outer;
    {
        TIdConnectionIntercept inner;
        outer.SetIntercept(&inner);
    }
    EXPECT_EQ(outer.Intercept(), nullptr);
    std::string block = "x";
    outer.HandleReceive(block);  // must not reach the destroyed intercept
}

// A log that records what it writes, as the window's trace does.
struct RecordingLog {
    RecordingLog()
    {
        log.OnReceived = [this](TIdBaseComponent*, const std::string& time, const std::string& data) {
            lines.push_back("received [" + time + "] " + data);
        };
        log.OnSent = [this](TIdBaseComponent*, const std::string& time, const std::string& data) {
            lines.push_back("sent [" + time + "] " + data);
        };
        log.OnStatus = [this](TIdBaseComponent*, const std::string& text) { lines.push_back(text); };
    }
    TIdLogEvent log;
    Lines lines;
};

TEST(LogInterceptTest, ReplaceCRLFMakesLineEndsVisible)
{
    RecordingLog recording;
    recording.log.SetActive(true);
    recording.log.LogTime = false;
    std::string block = "\r\n\r\n\n";
    recording.log.HandleReceive(block);
    std::string mixed = "a\rb\r\nc";
    recording.log.HandleSend(mixed);
    EXPECT_EQ(recording.lines, (Lines{"received [] <EOL><EOL><LF>", "sent [] a<CR>b<EOL>c"}));
    EXPECT_EQ(block, "\r\n\r\n\n") << "the block itself is not changed";
}

TEST(LogInterceptTest, WithoutReplaceCRLFTheRawBytesAreLogged)
{
    RecordingLog recording;
    recording.log.SetActive(true);
    recording.log.LogTime = false;
    recording.log.ReplaceCRLF = false;
    std::string block("230 ok\r\n\0x", 10);
    recording.log.HandleReceive(block);
    EXPECT_EQ(recording.lines, Lines{"received [] " + block});
}

TEST(LogInterceptTest, LogTimeGivesATimeText)
{
    RecordingLog recording;
    recording.log.SetActive(true);
    std::string block = "x";
    recording.log.HandleReceive(block);
    ASSERT_EQ(recording.lines.size(), 1u);
    EXPECT_NE(recording.lines[0], "received [] x");
}

TEST(LogInterceptTest, ConnectAndDisconnectAreLoggedAsStatus)
{
    TIdComponent connection;
    RecordingLog recording;
    recording.log.SetActive(true);
    recording.log.HandleConnect(&connection);
    recording.log.HandleDisconnect();
    EXPECT_EQ(recording.lines, (Lines{"Connected.", "Disconnected."}));
}

TEST(LogInterceptTest, AnInactiveLogPassesNothingOn)
{
    TIdComponent connection;
    RecordingLog recording;
    Lines seen;
    NamedIntercept nested("nested", seen);
    bool ownEventFired = false;
    recording.log.OnReceive = [&](TIdConnectionIntercept*, std::string&) { ownEventFired = true; };
    recording.log.SetIntercept(&nested.intercept);
    std::string block = "220 ready\r\n";
    recording.log.HandleConnect(&connection);
    recording.log.HandleReceive(block);
    recording.log.HandleSend(block);
    recording.log.HandleDisconnect();
    EXPECT_TRUE(recording.lines.empty());
    EXPECT_TRUE(seen.empty());
    EXPECT_FALSE(ownEventFired);
    EXPECT_EQ(recording.log.Connection(), nullptr);
}

} // namespace
