// Line and reply reading of the connection on bytes alone: line ends, multi-line replies,
// the line-length limit, and every way of cutting the same bytes into receives.
#include "ScriptedIOHandler.h"

#include "ftp/IdTCPConnection.h"
#include "net/IdException.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// A connection reading the given blocks through a scripted handler.
struct ScriptedConnection {
    explicit ScriptedConnection(const std::vector<std::string>& blocks, bool closeAtEnd = true)
    {
        auto owned = std::make_unique<ScriptedIOHandler>();
        handler = owned.get();
        handler->CloseAtEnd = closeAtEnd;
        for (const std::string& block : blocks)
            handler->AddBlock(block);
        handler->OpenTransport();
        connection.SetIOHandler(std::move(owned));
    }
    TIdTCPConnection connection;
    ScriptedIOHandler* handler = nullptr;
};

struct ReplyCase {
    std::string id;
    std::string bytes;
    int code;
    std::vector<std::string> text;
};

std::ostream& operator<<(std::ostream& out, const ReplyCase& c) { return out << c.id; }

const std::vector<ReplyCase> kReplyCases = {
    {"single-crlf", "220 Service ready\r\n", 220, {"Service ready"}},
    {"single-lf", "220 Service ready\n", 220, {"Service ready"}},
    {"multi-line", "220-Welcome\r\n220-second\r\n220 ready\r\n", 220, {"Welcome", "second", "ready"}},
    {"multi-line-lf", "220-Welcome\n220-second\n220 ready\n", 220, {"Welcome", "second", "ready"}},
    {"multi-line-free-text", "211-Features:\r\n MDTM\r\n REST STREAM\r\n211 End\r\n", 211,
     {"Features:", "", " STREAM", "End"}},
    {"multi-line-other-code-inside", "150-first\r\n226 not the end\r\n150 end\r\n", 150,
     {"first", "not the end", "end"}},
    {"short-continuation-is-text", "211-Features:\r\n CCC\r\nok\r\n211 End\r\n", 211,
     {"Features:", "", "", "End"}},
    {"code-alone-ends", "230-hello\r\n230 \r\n", 230, {"hello", ""}},
    {"blank-lines-before", "\r\n  \r\n\n257 \"/\" is current\r\n", 257, {"\"/\" is current"}},
    {"lone-cr-inside", "200 a\rb\r\n", 200, {"a\rb"}},
    {"code-only", "200\r\n", 200, {""}},
    {"shell-prompt", "bash$ ls\r\n", 0, {"$ ls"}},
};

class ReplyTable : public ::testing::TestWithParam<ReplyCase> {};

void expectReply(const std::vector<std::string>& blocks, const ReplyCase& c)
{
    ScriptedConnection s(blocks);
    EXPECT_EQ(s.connection.ReadReply({}), static_cast<std::int16_t>(c.code));
    EXPECT_EQ(s.connection.LastReply().NumericCode(), c.code);
    EXPECT_EQ(s.connection.LastReply().Text(), c.text);
}

TEST_P(ReplyTable, ReadAsOneBlock)
{
    expectReply({GetParam().bytes}, GetParam());
}

TEST_P(ReplyTable, ReadInEveryTwoWaySplit)
{
    const std::string& bytes = GetParam().bytes;
    for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        expectReply({bytes.substr(0, cut), bytes.substr(cut)}, GetParam());
    }
}

TEST_P(ReplyTable, ReadOneByteAtATime)
{
    std::vector<std::string> blocks;
    for (char c : GetParam().bytes)
        blocks.emplace_back(1, c);
    expectReply(blocks, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyTable, ::testing::ValuesIn(kReplyCases),
                         [](const auto& info) {
                             std::string name = info.param.id;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(ReplyReading, SeveralRepliesInOneBlockAreReadOneByOne)
{
    ScriptedConnection s({"331 Password required\r\n230-Hi\r\n230 Logged in\r\n221 Bye\r\n"});
    EXPECT_EQ(s.connection.ReadReply({331}), 331);
    EXPECT_EQ(s.connection.ReadReply({230}), 230);
    EXPECT_EQ(s.connection.LastReply().Text(), (std::vector<std::string>{"Hi", "Logged in"}));
    EXPECT_EQ(s.connection.ReadReply({}), 221);
}

TEST(ReplyReading, CodeOutsideTheAcceptedListRaisesWithCodeAndText)
{
    ScriptedConnection s({"530-Login incorrect.\r\n530 Try again.\r\n"});
    try {
        s.connection.ReadReply({230, 331});
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode(), 530);
        EXPECT_STREQ(e.what(), "Login incorrect.\r\nTry again.\r\n");
    }
    EXPECT_EQ(s.connection.LastReply().NumericCode(), 530) << "the offending reply stays";
}

TEST(ReplyReading, ShellPromptFailsEveryAcceptedList)
{
    ScriptedConnection s({"bash$ \r\n"});
    EXPECT_THROW(s.connection.ReadReply({220}), EIdProtocolReplyError);
}

// No usable code: the message says what came, without control bytes and not at any length.
TEST(ReplyReading, GarbageReplyNamesWhatTheServerSent)
{
    const std::pair<std::string, std::string> cases[] = {
        {"OK\r\n", "\"OK\""},
        {"999\r\n", "\"999\""},
        {"HTTP/1.1 400 Bad\x01Request\r\n", "\"HTTP/1.1 400 Bad?Request\""},
        {std::string(5000, 'z') + "\r\n", "zzz...\""},
    };
    for (const auto& [bytes, shown] : cases) {
        ScriptedConnection s({bytes});
        try {
            s.connection.ReadReply({220});
            FAIL() << bytes;
        } catch (const EIdProtocolReplyError& e) {
            EXPECT_NE(std::string(e.what()).find(shown), std::string::npos) << e.what();
            EXPECT_LT(std::string(e.what()).size(), 200u);
        }
    }
}

TEST(ReplyReading, SingleCodeMinusOneAcceptsAnyReply)
{
    ScriptedConnection s({"502 Not implemented\r\n"});
    EXPECT_EQ(s.connection.SendCommand("FEAT"), 502);
    EXPECT_EQ(s.handler->Sent, "FEAT\r\n");
}

TEST(ReplyReading, SendCommandWithOneCodeChecksIt)
{
    ScriptedConnection s({"550 No such file\r\n"});
    EXPECT_THROW(s.connection.SendCommand("SIZE x", std::int16_t{213}), EIdProtocolReplyError);
}

TEST(ReplyRecord, CodeAndTextCodeFollowEachOther)
{
    TIdRFCReply reply;
    reply.SetNumericCode(226);
    EXPECT_EQ(reply.TextCode(), "226");
    reply.SetTextCode("abc");
    EXPECT_EQ(reply.NumericCode(), 0) << "a text code that is no number";
    reply.SetTextCode("331");
    EXPECT_EQ(reply.NumericCode(), 331);
    reply.SetNumericCode(0);
    EXPECT_EQ(reply.TextCode(), "331") << "0 does not set the text code";
    reply.SetNumericCode(421);
    reply.SetTextCode("");
    EXPECT_EQ(reply.NumericCode(), 421) << "an empty text code leaves the number";

    reply.LoadFromLines({"250-CWD ok", "250 done"});
    EXPECT_EQ(reply.DisplayName(), "250 CWD ok");
    TIdRFCReply copy;
    copy.Assign(reply);
    EXPECT_EQ(copy.Text(), reply.Text());
    copy.ClearReply();
    EXPECT_EQ(copy.NumericCode(), 0);
    EXPECT_TRUE(copy.Text().empty());
    EXPECT_EQ(copy.DisplayName(), "");
}

// --- lines ---

TEST(LineReading, MaximumLengthCountsTheCarriageReturn)
{
    const std::string line(16384, 'a');
    {
        ScriptedConnection s({line + "\n"});
        EXPECT_EQ(s.connection.ReadLine(), line);
    }
    {
        ScriptedConnection s({line + "\r\n"});
        try {
            s.connection.ReadLine();
            FAIL() << "no exception";
        } catch (const EIdReadLnMaxLineLengthExceeded& e) {
            EXPECT_STREQ(e.what(), "Max line length exceeded.");
        }
    }
}

TEST(LineReading, OverlongLineIsFoundWithoutItsTerminatorArriving)
{
    // the peer never ends the line; the reader must not wait for more
    ScriptedConnection s({std::string(20000, 'x')}, false);
    EXPECT_THROW(s.connection.ReadLine(), EIdReadLnMaxLineLengthExceeded);
}

TEST(LineReading, SplitActionReturnsTheFirstPartAndKeepsTheRest)
{
    ScriptedConnection s({std::string(10, 'a') + std::string(5, 'b') + "\r\n"});
    s.connection.MaxLineAction = TIdMaxLineAction::maSplit;
    s.connection.MaxLineLength = 10;
    EXPECT_EQ(s.connection.ReadLine(), std::string(10, 'a'));
    EXPECT_EQ(s.connection.ReadLine(), "bbbbb");
}

TEST(LineReading, ZeroMaximumMeansNoLimit)
{
    const std::string line(100000, 'z');
    ScriptedConnection s({line + "\r\n"});
    s.connection.MaxLineLength = 0;
    EXPECT_EQ(s.connection.ReadLine(), line);
}

TEST(LineReading, TerminatorSplitAcrossReceivesIsFound)
{
    ScriptedConnection s({"first||", "|second|", "||"});
    EXPECT_EQ(s.connection.ReadLine("|||"), "first");
    EXPECT_EQ(s.connection.ReadLine("|||"), "second");
}

TEST(LineReading, DefaultTimeOutRaisesAndExplicitTimeOutAnswersEmpty)
{
    ScriptedConnection s({"partial"}, false);
    EXPECT_EQ(s.connection.ReadLine("\n", 10), "");
    try {
        s.connection.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdReadTimeout& e) {
        EXPECT_STREQ(e.what(), "Read Timeout");
    }
}

TEST(LineReading, PeerClosingMidLineRaisesClosedGracefully)
{
    ScriptedConnection s({"220 partial line without end"});
    int disconnected = 0;
    s.connection.OnDisconnected = [&](TIdComponent*) { ++disconnected; };
    try {
        s.connection.ReadReply({});
        FAIL() << "no exception";
    } catch (const EIdConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
    EXPECT_EQ(disconnected, 1);
    EXPECT_FALSE(s.connection.IsConnected());
}

TEST(LineReading, ConsumedLinesAreCountedAsReadWork)
{
    ScriptedConnection s({"one\r\ntwo\r\n"});
    std::vector<std::int64_t> counts;
    s.connection.OnWork = [&](TIdComponent*, TWorkMode, std::int64_t count) { counts.push_back(count); };
    s.connection.StartWork(TWorkMode::wkRead);
    s.connection.ReadLine();
    s.connection.ReadLine();
    s.connection.FinishWork(TWorkMode::wkRead);
    EXPECT_EQ(counts, (std::vector<std::int64_t>{5, 10}));
}

TEST(LineReading, AsciiFilterClearsTheTopBit)
{
    ScriptedConnection s({std::string("\xC1\xE2", 2) + "c\r\n"});
    s.connection.ASCIIFilter = true;
    EXPECT_EQ(s.connection.ReadLine(), "Abc");
}

// --- commands ---

std::string injectionCaseName(const ::testing::TestParamInfo<std::string>& info)
{
    static const std::vector<std::string> kNames = {"crlf", "lf", "cr", "nul"};
    return kNames.at(info.index);
}

class CommandInjection : public ::testing::TestWithParam<std::string> {};

TEST_P(CommandInjection, RefusedBeforeAnythingIsSent)
{
    ScriptedConnection s({"200 never read\r\n"});
    try {
        s.connection.SendCommand(GetParam(), std::int16_t{200});
        FAIL() << "no exception";
    } catch (const EIdException& e) {
        EXPECT_NE(std::string(e.what()).find("was not sent"), std::string::npos) << e.what();
    }
    EXPECT_EQ(s.handler->Sent, "");
    EXPECT_THROW(s.connection.SendLine(GetParam()), EIdException);
    EXPECT_EQ(s.handler->Sent, "");
    EXPECT_EQ(s.connection.SendCommand("NOOP", std::int16_t{200}), 200) << "the session still works";
    EXPECT_EQ(s.handler->Sent, "NOOP\r\n");
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandInjection,
                         ::testing::Values(std::string("RETR a\r\nDELE b"), std::string("DELE x\ny"),
                                           std::string("USER me\r"), std::string("PASS a\0b", 8)),
                         injectionCaseName);

} // namespace
