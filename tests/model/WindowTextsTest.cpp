// The window's pure texts of a session: trace lines from command-connection blocks, the speed
// and time remaining, the failure log line, a site's host and port, and remote rows.
#include "model/FailureLog.h"
#include "model/PaneText.h"
#include "model/RemoteRows.h"
#include "model/SiteAddress.h"
#include "model/TraceText.h"
#include "model/TransferProgress.h"
#include "support/FtpServerProcess.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TraceCase {
    const char* id;
    std::string block;
    std::vector<std::string> lines;
};

class TraceSplitTest : public testing::TestWithParam<TraceCase> {};

TEST_P(TraceSplitTest, SplitsAtCarriageReturns)
{
    EXPECT_EQ(splitTraceData(GetParam().block), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, TraceSplitTest,
    testing::Values(
        TraceCase{"one_reply", "230 Login successful.\r\n", {"230 Login successful."}},
        TraceCase{"greeting_of_three", "220-a\r\n220-b\r\n220 c\r\n", {"220-a", "220-b", "220 c"}},
        TraceCase{"cut_inside_a_line", "150 Opening da", {"150 Opening da"}},
        TraceCase{"lone_lf_stays_inside", "a\nb\r\n", {"a\nb"}},
        TraceCase{"empty_line_keeps_prefix_only", "x\r\n\r\n", {"x", ""}},
        TraceCase{"only_one_lf_dropped", "a\r\n\nb", {"a", "\nb"}},
        TraceCase{"cr_without_lf", "a\rb\r", {"a", "b"}}),
    [](const testing::TestParamInfo<TraceCase>& info) { return info.param.id; });

TEST(TraceMask, OnlyTheCapitalPassCommandIsMasked)
{
    EXPECT_TRUE(isPasswordCommand("PASS secret\r\n"));
    EXPECT_FALSE(isPasswordCommand("pass secret\r\n"));
    EXPECT_FALSE(isPasswordCommand("PASV\r\n"));
    EXPECT_FALSE(isPasswordCommand("PAS"));
}

struct SpeedCase {
    const char* id;
    std::int64_t total;
    std::int64_t done;
    double elapsed;
    const char* text;
};

class SpeedTextTest : public testing::TestWithParam<SpeedCase> {};

TEST_P(SpeedTextTest, ShowsSpeedAndTimeRemaining)
{
    const SpeedCase& c = GetParam();
    const double speed = kilobytesPerSecond(c.done, c.elapsed).value_or(0);
    EXPECT_EQ(speedText(speed, remainingSeconds(c.total, c.done, speed)), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, SpeedTextTest,
    testing::Values(
        SpeedCase{"before_any_time", 1048576, 0, 0, "0.00 KB/s; "},
        SpeedCase{"half_of_a_megabyte", 1048576, 524288, 2.5, "204.80 KB/s; Time remaining  0: 0: 2"},
        // 1 KB/s with 3,725 and 45,296 KB still to go.
        SpeedCase{"an_hour_and_more", 3726 * 1024, 1024, 1, "1.00 KB/s; Time remaining  1: 2: 5"},
        SpeedCase{"half_a_day", 45297 * 1024, 1024, 1, "1.00 KB/s; Time remaining 12:34:56"},
        SpeedCase{"total_unknown", 0, 4096, 1, "4.00 KB/s; "},
        SpeedCase{"total_already_passed", 1024, 4096, 1, "4.00 KB/s; "},
        SpeedCase{"exact_half_goes_up", 0, 1152, 1, "1.13 KB/s; "},
        // A transfer running past 18 hours keeps its true speed: nothing wraps at 16 bits or a day.
        SpeedCase{"past_eighteen_hours", 0, 8LL << 30, 72000, "116.51 KB/s; "}),
    [](const testing::TestParamInfo<SpeedCase>& info) { return info.param.id; });

TEST(ProgressScaleTest, SizesPastTheIntRangeScaleDown)
{
    EXPECT_EQ(progressScaleFor(1000).maximum, 1000);
    EXPECT_EQ(progressScaleFor(1000).position(400), 400);
    const std::int64_t huge = 6LL << 30;   // 6 GiB
    const ProgressScale scale = progressScaleFor(huge);
    EXPECT_LE(scale.maximum, INT_MAX);
    EXPECT_EQ(scale.position(huge / 2), scale.maximum / 2);
    EXPECT_EQ(scale.position(huge * 2), scale.maximum) << "a count past the total stays at the end";
    EXPECT_EQ(progressScaleFor(-1).maximum, 0);
}

TEST(FailureLogText, DetailsAndLineHaveTheirFixedForm)
{
    const std::string details = failureDetails("EIdSocketError", "tarn",
                                               "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(details, "Exception EIdSocketError in module tarn at 00000000. Socket Error # 10061  "
                       "Connection refused.");
    EXPECT_EQ(failureDetails("EIdException", "tarn", "No reply"),
              "Exception EIdException in module tarn at 00000000. No reply.");
    EXPECT_EQ(failureDetails("E", "tarn", std::string(900, 'x')).size(), 512u);
    std::tm when{};
    when.tm_year = 126, when.tm_mon = 11, when.tm_mday = 7, when.tm_hour = 15, when.tm_min = 44,
    when.tm_sec = 14;
    EXPECT_EQ(failureLogLine(when, "CF", "d"), "07/12/26 15:44:14  *CF* d\r\n");
}

TEST(FailureLogFile, AppendsAndRefusesLinksAndOtherFiles)
{
    TempDir folder("tarn-log");
    const std::string log = (folder.path() / "FTP-log.txt").string();
    appendFailureLog(log, "one\r\n");
    appendFailureLog(log, "two\r\n");
    EXPECT_EQ(readWholeFile(log), "one\r\ntwo\r\n");
    struct stat info {};
    ASSERT_EQ(stat(log.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const std::string victim = (folder.path() / "victim").string();
    writeWholeFile(victim, "mine");
    const std::string linked = (folder.path() / "linked.txt").string();
    std::filesystem::create_symlink(victim, linked);
    EXPECT_THROW(appendFailureLog(linked, "x\r\n"), EFailureLogError);
    EXPECT_EQ(readWholeFile(victim), "mine") << "the link's target is untouched";
    EXPECT_THROW(appendFailureLog(folder.path().string(), "x\r\n"), EFailureLogError);
    const std::string fifo = (folder.path() / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(appendFailureLog(fifo, "x\r\n"), EFailureLogError) << "refused, not waited on";
}

TEST(SiteHost, APortAfterTheLastColonSplitsOff)
{
    const struct {
        const char* host;
        const char* name;
        int port;
    } cases[] = {
        {"ftp.example.org", "ftp.example.org", 0},
        {"127.0.0.1:2121", "127.0.0.1", 2121},
        {"host:", "host:", 0},
        {"host:99999", "host:99999", 0},
        {"host:21x", "host:21x", 0},
        {"::1", "::1", 0},
        {"[::1]:2121", "::1", 2121},
        {"[fe80::1]", "fe80::1", 0},
    };
    for (const auto& c : cases) {
        const SiteAddress address = splitSiteHost(c.host);
        EXPECT_EQ(address.host, c.name) << c.host;
        EXPECT_EQ(address.port, c.port) << c.host;
    }
}

TEST(RemoteRows, ShowTrueSizesTypesAndPermissions)
{
    TIdFTPListItems items;
    items.SetToday({2026, 12, 9});
    items.SetLineFormat(TIdFTPListFormat::lfUnix);
    items.LoadLines({"-rw-r--r--   1 ann  staff 5368709120 Jan  2  2025 big.iso",
                     "drwxr-x---   2 ann  staff       4096 Mar  3 14:05 docs",
                     "lrwxrwxrwx   1 ann  staff          7 Mar  3 14:05 link -> big.iso"});
    const std::vector<PaneRow> rows = remoteRowsOf(items, ",");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].sizeText, sizeText(5368709120LL, ",")) << "5 GiB is not cut to 32 bits";
    EXPECT_EQ(rows[0].size, 5368709120LL);
    EXPECT_EQ(rows[0].permissions, "rw-r--r--");
    EXPECT_EQ(rows[0].modifiedText, "2025/01/02 00:00");
    EXPECT_EQ(rows[1].sizeText, " ");
    EXPECT_EQ(rows[1].typeText, "Directory");
    EXPECT_EQ(rows[1].modifiedText, "2026/03/03 14:05");
    EXPECT_EQ(rows[2].typeText, "Link");
    EXPECT_EQ(rows[2].sizeText, " ") << "the length of the target's path is no size";
}

TEST(RemoteRows, OnlyPlainNamesBecomeLocalNames)
{
    for (const char* name : {"a.txt", "with blank", ".hidden", "..x"})
        EXPECT_TRUE(isSafeLocalName(name)) << name;
    for (const char* name : {"", ".", "..", "../etc/passwd", "a/b", "/abs", "bell\a", "cr\r"})
        EXPECT_FALSE(isSafeLocalName(name)) << name;
}

} // namespace
