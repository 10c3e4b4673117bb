// The directory listing parser: a table of recorded listing lines of several servers, read
// line by line and as one listing, whole listings kept under tests/data/listings, format
// detection and the failure rules of loading.
#include "ftp/IdFTPList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Kind = TIdListEntryKind;
using Format = TIdFTPListFormat;

struct Stamp {
    int year, month, day, hour, minute, second, millisecond;
    TDateTime value() const { return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, millisecond); }
};

constexpr TIdCalendarDate kJune2024{2024, 6, 20};
constexpr TIdCalendarDate kMarch2024{2024, 3, 10};

struct LineCase {
    std::string id;
    Format format;
    TIdCalendarDate today;
    std::string line;
    Kind kind;
    std::string name;
    std::int64_t size;
    Stamp time;
    std::string linkTarget = "";
    std::string owner = "";
    std::string group = "";
    std::string rights = ""; // owner + group + other, as the remote pane shows them
    int linkCount = 0;
    bool detectable = true;  // DetectFormat of the line alone gives `format`
};

std::ostream& operator<<(std::ostream& out, const LineCase& c) { return out << c.id; }

const std::vector<LineCase> kLineCases = {
    {"unix-dir-time-of-day", Format::lfUnix, kJune2024,
     "drwxr-xr-x    2 ftp      ftp          4096 Mar 15 09:30 pub", Kind::ekDirectory, "pub", 4096,
     {2024, 3, 15, 9, 30, 0, 999}, "", "ftp", "ftp", "rwxr-xr-x", 2},
    {"unix-time-previous-year", Format::lfUnix, kMarch2024,
     "drwxr-xr-x    2 ftp      ftp          4096 Nov 02 09:30 pub", Kind::ekDirectory, "pub", 4096,
     {2023, 11, 2, 9, 30, 0, 999}, "", "ftp", "ftp", "rwxr-xr-x", 2},
    {"unix-time-same-month-this-year", Format::lfUnix, kMarch2024,
     "-rw-r--r--    1 ftp      ftp            12 Mar 09 23:59 late.log", Kind::ekFile, "late.log", 12,
     {2024, 3, 9, 23, 59, 0, 999}, "", "ftp", "ftp", "rw-r--r--", 1},
    {"unix-symlink", Format::lfUnix, kJune2024,
     "lrwxrwxrwx    1 root     root            7 Jan 01  2020 bin -> usr/bin", Kind::ekSymLink, "bin", 7,
     {2020, 1, 1, 0, 0, 0, 999}, "usr/bin", "root", "root", "rwxrwxrwx", 1},
    {"unix-symlink-blanks", Format::lfUnix, kJune2024,
     "lrwxrwxrwx    1 tarn     tarn           12 Jun 02 11:00 my link -> my target dir",
     Kind::ekSymLink, "my link", 12, {2024, 6, 2, 11, 0, 0, 999}, "my target dir", "tarn", "tarn",
     "rwxrwxrwx", 1},
    {"unix-symlink-without-arrow", Format::lfUnix, kJune2024,
     "lrwxrwxrwx    1 tarn     tarn            5 Jun 02 11:00 dangling", Kind::ekSymLink, "dangling", 5,
     {2024, 6, 2, 11, 0, 0, 999}, "", "tarn", "tarn", "rwxrwxrwx", 1},
    {"unix-device", Format::lfUnix, kJune2024,
     "crw-rw-rw-    1 root     tty        5,   0 Jun 10 08:15 tty", Kind::ekFile, "tty", 0,
     {2024, 6, 10, 8, 15, 0, 999}, "", "root", "tty", "rw-rw-rw-", 1},
    {"unix-device-glued-minor", Format::lfUnix, kJune2024,
     "brw-rw----    1 root     disk        8,0 May 30  2023 sda", Kind::ekFile, "sda", 0,
     {2023, 5, 30, 0, 0, 0, 999}, "", "root", "disk", "rw-rw----", 1},
    {"unix-no-group-column", Format::lfUnix, kJune2024,
     "-rw-r--r--   1 anonymous     1234 Mar 15  2020 readme", Kind::ekFile, "readme", 1234,
     {2020, 3, 15, 0, 0, 0, 999}, "", "", "anonymous", "rw-r--r--", 1},
    {"unix-name-with-blanks", Format::lfUnix, kJune2024,
     "-rw-r--r--    1 tarn     tarn        10240 Feb 29  2024 my  file with blanks.txt ", Kind::ekFile,
     "my  file with blanks.txt ", 10240, {2024, 2, 29, 0, 0, 0, 999}, "", "tarn", "tarn", "rw-r--r--", 1},
    {"unix-name-leading-blank", Format::lfUnix, kJune2024,
     "-rw-r--r--    1 tarn     tarn            3 Jun 01 10:00  lead", Kind::ekFile, " lead", 3,
     {2024, 6, 1, 10, 0, 0, 999}, "", "tarn", "tarn", "rw-r--r--", 1},
    {"unix-over-4gib", Format::lfUnix, kJune2024,
     "-rw-r--r--    1 tarn     tarn     6442450944 Apr 01  2024 disk.img", Kind::ekFile, "disk.img",
     6442450944LL, {2024, 4, 1, 0, 0, 0, 999}, "", "tarn", "tarn", "rw-r--r--", 1},
    {"unix-busybox-numeric-owner", Format::lfUnix, kJune2024,
     "-rw-r--r--    1 0        0             1234 Jun  3 10:07 busybox.txt", Kind::ekFile, "busybox.txt",
     1234, {2024, 6, 3, 10, 7, 0, 999}, "", "0", "0", "rw-r--r--", 1},
    {"unix-pyftpdlib", Format::lfUnix, kJune2024,
     "-rw-r--r--   1 tarn     tarn          123 Jun 19 14:05 hello.txt", Kind::ekFile, "hello.txt", 123,
     {2024, 6, 19, 14, 5, 0, 999}, "", "tarn", "tarn", "rw-r--r--", 1},
    {"unix-mac-folder", Format::lfUnix, kJune2024,
     "drwxr-xr-x   folder        0 Apr 16 10:15 Photos", Kind::ekDirectory, "Photos", 0,
     {2024, 4, 16, 10, 15, 0, 999}, "", "", "", "rwxr-xr-x", 0},
    {"unix-link-count-glued-to-owner", Format::lfUnix, kJune2024,
     "-rw-r--r-- 0ftpuser ftpgroup 100 Jan 05 2021 glued", Kind::ekFile, "glued", 100,
     {2021, 1, 5, 0, 0, 0, 999}, "", "ftpuser", "ftpgroup", "rw-r--r--", 0},
    {"unix-time-with-seconds", Format::lfUnix, kJune2024,
     "-rw-r--r--    1 a        b               5 Jun 01 12:34:56 x", Kind::ekFile, "x", 5,
     {2024, 6, 1, 12, 34, 56, 0}, "", "a", "b", "rw-r--r--", 1},
    {"unix-sticky-bit", Format::lfUnix, kJune2024,
     "drwxrwxrwt   10 root     root         4096 Jun 20 07:00 tmp", Kind::ekDirectory, "tmp", 4096,
     {2024, 6, 20, 7, 0, 0, 999}, "", "root", "root", "rwxrwxrwt", 10},
    {"vms-size-column-not-shifted", Format::lfVms, kJune2024,
     "-rw-r--r-- 1 SYSTEM STAFF N/A Mar 15 2020 LOGIN.COM", Kind::ekFile, "LOGIN.COM", 0,
     {2020, 3, 15, 0, 0, 0, 999}, "", "SYSTEM", "STAFF", "rw-r--r--", 1, false},
    {"dos-dir-ampm", Format::lfDos, kJune2024, "01-31-02  10:15AM       <DIR>          My Folder",
     Kind::ekDirectory, "My Folder", 0, {2002, 1, 31, 10, 15, 0, 0}, "", "????????", "????????",
     "?????????"},
    {"dos-file-comma-size-pm", Format::lfDos, kJune2024, "01-31-02  02:05PM                1,234 notes.txt",
     Kind::ekFile, "notes.txt", 1234, {2002, 1, 31, 14, 5, 0, 0}, "", "????????", "????????",
     "?????????"},
    {"dos-midnight-last-century", Format::lfDos, kJune2024, "12-25-99  12:00AM       <DIR>          midnight",
     Kind::ekDirectory, "midnight", 0, {1999, 12, 25, 0, 0, 0, 0}, "", "????????", "????????",
     "?????????"},
    {"dos-wide-size", Format::lfDos, kJune2024, "06-20-24  11:59PM            123456789 big.iso",
     Kind::ekFile, "big.iso", 123456789, {2024, 6, 20, 23, 59, 0, 0}, "", "????????", "????????",
     "?????????"},
    {"dos-file-name-blanks-24h", Format::lfDos, kJune2024, "07-04-23  21:00                      0 empty file.txt",
     Kind::ekFile, "empty file.txt", 0, {2023, 7, 4, 21, 0, 0, 0}, "", "????????", "????????",
     "?????????"},
    {"dos-dir-few-blanks", Format::lfDos, kJune2024, "01-31-02  10:15AM       <DIR> Short",
     Kind::ekDirectory, "Short", 0, {2002, 1, 31, 10, 15, 0, 0}, "", "????????", "????????",
     "?????????"},
    {"name-only", Format::lfNoDetails, kJune2024, "  report 2024.pdf \t", Kind::ekFile,
     "  report 2024.pdf \t", 0, {1899, 12, 30, 0, 0, 0, 0}, "", "????????", "????????", "?????????"},
};

void expectEntry(const TIdFTPListItem& item, const LineCase& c)
{
    EXPECT_EQ(item.RawLine, c.line);
    EXPECT_EQ(item.EntryKind, c.kind);
    EXPECT_EQ(item.EntryName, c.name);
    EXPECT_EQ(item.ByteSize, c.size);
    EXPECT_DOUBLE_EQ(item.ModTime, c.format == Format::lfNoDetails ? 0.0 : c.time.value());
    EXPECT_EQ(item.LinkTarget, c.linkTarget);
    EXPECT_EQ(item.OwnerAccount, c.owner);
    EXPECT_EQ(item.GroupAccount, c.group);
    EXPECT_EQ(item.OwnerRights + item.GroupRights + item.OtherRights, c.rights);
    EXPECT_EQ(item.LinkCount, c.linkCount);
}

class ListingLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(ListingLines, ParsedOnItsOwn)
{
    const LineCase& c = GetParam();
    TIdFTPListItems items;
    items.SetToday(c.today);
    if (c.detectable) {
        EXPECT_EQ(items.DetectFormat(c.line, c.format != Format::lfNoDetails), c.format);
    }
    items.SetLineFormat(c.format);
    items.LoadLines({c.line});
    ASSERT_EQ(items.Count(), 1);
    expectEntry(items[0], c);
}

INSTANTIATE_TEST_SUITE_P(Listing, ListingLines, ::testing::ValuesIn(kLineCases), [](const auto& info) {
    std::string name = info.param.id;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(ListingLinesTogether, EachFormatReadAsOneListingGivesTheSameEntries)
{
    for (Format format : {Format::lfUnix, Format::lfDos, Format::lfVms, Format::lfNoDetails}) {
        for (const TIdCalendarDate& today : {kJune2024, kMarch2024}) {
            std::vector<const LineCase*> cases;
            std::vector<std::string> lines;
            for (const LineCase& c : kLineCases) {
                if (c.format == format && c.today.month == today.month) {
                    cases.push_back(&c);
                    lines.push_back(c.line);
                    lines.push_back(""); // blank lines between entries make none
                }
            }
            if (cases.empty())
                continue;
            TIdFTPListItems items;
            items.SetToday(today);
            items.SetLineFormat(format);
            items.LoadLines(lines);
            ASSERT_EQ(items.Count(), static_cast<std::int64_t>(cases.size()));
            for (std::size_t i = 0; i < cases.size(); ++i) {
                SCOPED_TRACE(cases[i]->id);
                expectEntry(items[static_cast<std::int64_t>(i)], *cases[i]);
            }
        }
    }
}

// --- format detection ---

struct DetectCase {
    std::string id;
    std::string line;
    Format format;
};

class FormatDetection : public ::testing::TestWithParam<DetectCase> {};

TEST_P(FormatDetection, FirstLineDecides)
{
    TIdFTPListItems items;
    EXPECT_EQ(items.DetectFormat(GetParam().line, true), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(
    Listing, FormatDetection,
    ::testing::Values(DetectCase{"unix-file", "-rw-r--r-- 1 a b 1 Jan 1 2020 x", Format::lfUnix},
                      DetectCase{"unix-pipe", "prw-------   1 a b 0 Jan 1 2020 fifo", Format::lfUnix},
                      DetectCase{"unix-setuid", "-rwsr-sr-x 1 a b 1 Jan 1 2020 x", Format::lfUnix},
                      DetectCase{"total", "total 48", Format::lfUnix},
                      DetectCase{"total-lower-case", "Total 3", Format::lfUnix},
                      DetectCase{"total-after-blanks", "  total 48", Format::lfUnknown},
                      DetectCase{"short-permissions", "-rw-r--r", Format::lfUnknown},
                      DetectCase{"vms-disk", "Directory DSK:[USERS.TARN]", Format::lfVms},
                      DetectCase{"dos-dir", "01-31-02  10:15AM       <DIR>          My Folder", Format::lfDos},
                      DetectCase{"dos-slashes", "01/31/02  10:15AM                1,234 a.txt", Format::lfDos},
                      DetectCase{"dos-wide-size", "06-20-24  11:59PM            123456789 big.iso", Format::lfDos},
                      DetectCase{"dos-no-size", "01-31-02  10:15AM                      a.txt", Format::lfUnknown},
                      DetectCase{"banner", "Welcome to the archive", Format::lfUnknown},
                      DetectCase{"empty", "", Format::lfUnknown}),
    [](const auto& info) {
        std::string name = info.param.id;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(FormatDetection, WithoutDetailsEveryListingIsNameOnly)
{
    TIdFTPListItems items;
    EXPECT_EQ(items.DetectFormat("drwxr-xr-x 2 a b 1 Jan 1 2020 x", false), Format::lfNoDetails);
}

// --- loading rules ---

std::vector<std::string> names(const TIdFTPListItems& items)
{
    std::vector<std::string> result;
    for (const TIdFTPListItem& item : items)
        result.push_back(item.EntryName);
    return result;
}

TEST(ListingLoad, LeadingTotalLineIsSkipped)
{
    TIdFTPListItems items;
    items.SetToday(kJune2024);
    const std::vector<std::string> lines = {"total 8", "-rw-r--r-- 1 a b 1 Jun 01 10:00 x"};
    items.SetLineFormat(items.DetectFormat(lines.front(), true));
    items.LoadLines(lines);
    EXPECT_EQ(names(items), std::vector<std::string>{"x"});
}

TEST(ListingLoad, UnknownFirstLineStillGivesTheReadableEntries)
{
    TIdFTPListItems items;
    const std::vector<std::string> lines = {"  total 8", "-rw-r--r-- 1 a b 1 Jun 01 10:00 x"};
    items.SetLineFormat(items.DetectFormat(lines.front(), true));
    EXPECT_EQ(items.LineFormat(), Format::lfUnknown);
    EXPECT_NO_THROW(items.LoadLines(lines));
    EXPECT_EQ(names(items), std::vector<std::string>{"x"});
    EXPECT_EQ(items.SkippedLines(), 1);
}

TEST(ListingLoad, UnreadableLineCostsOnlyItsOwnEntry)
{
    TIdFTPListItems items;
    items.SetToday(kJune2024);
    items.LoadLines({"-rw-r--r-- 1 a b 1 Jun 01 10:00 first",
                     "-rw-r--r-- 1 a b 1 Jun 02 10:00 second",
                     "-rw-r--r-- 1 a b 1 Foo 01 10:00 broken",
                     "-rw-r--r-- 1 a b 1 Jun 03 10:00 third",
                     "-rw-r--r-- 1 a b 1 Jun 04 10:00 fourth"});
    EXPECT_EQ(names(items), (std::vector<std::string>{"first", "second", "third", "fourth"}));
    EXPECT_EQ(items.SkippedLines(), 1);
}

TEST(ListingLoad, BlankAndTabLinesMakeNoEntries)
{
    TIdFTPListItems items;
    items.SetLineFormat(Format::lfNoDetails);
    items.LoadLines({"", " \t ", "a", "\t", "b"});
    EXPECT_EQ(names(items), (std::vector<std::string>{"a", "b"}));
}

TEST(ListingLoad, LoadingStartsFromAnEmptyCollection)
{
    TIdFTPListItems items;
    items.SetLineFormat(Format::lfNoDetails);
    items.LoadLines({"a", "b"});
    items.LoadLines({"c"});
    EXPECT_EQ(names(items), std::vector<std::string>{"c"});
}

TEST(ListingLoad, FormatNoneKeepsTheRawLinesOnly)
{
    TIdFTPListItems items;
    items.SetLineFormat(Format::lfNone);
    items.LoadLines({"total 3", "whatever"});
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items[1].RawLine, "whatever");
    EXPECT_EQ(items[1].EntryName, "");
}

TEST(ListingLoad, CustomFormatUsesTheApplicationsParser)
{
    TIdFTPListItems items;
    items.SetLineFormat(Format::lfCustom);
    items.LoadLines({"a;1", "b;2"});
    EXPECT_EQ(items.Count(), 0) << "no parser: every line fails";

    items.SetOnParseCustomListFormat([](TIdFTPListItem& AItem) {
        std::string rest = AItem.RawLine;
        AItem.EntryName = SplitToken(rest, ";");
        AItem.ByteSize = std::stoll(rest);
    });
    items.LoadLines({"a;1", "b;2"});
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items[1].EntryName, "b");
    EXPECT_EQ(items[1].ByteSize, 2);
}

TEST(ListingLoad, VmsListingStartsWithItsDiskBanner)
{
    TIdFTPListItems items;
    items.SetToday(kJune2024);
    const std::vector<std::string> lines = {"Directory DSK:[FTP.PUB]", "",
                                            "-rw-r--r-- 1 SYSTEM STAFF 2048 Mar 15 2020 LOGIN.COM",
                                            "drwxr-xr-x 2 SYSTEM STAFF 512 Jun 01 10:00 SUBDIR.DIR"};
    items.SetLineFormat(items.DetectFormat(lines.front(), true));
    ASSERT_EQ(items.LineFormat(), Format::lfVms);
    items.LoadLines(lines);
    EXPECT_EQ(names(items), (std::vector<std::string>{"LOGIN.COM", "SUBDIR.DIR"}));
    EXPECT_EQ(items[0].ByteSize, 2048);
    EXPECT_EQ(items[1].EntryKind, Kind::ekDirectory);
}

// --- date and time pieces ---

TEST(ListingDates, TwoDigitYearsExpandAroundTheCurrentCentury)
{
    TIdFTPListItems items;
    items.SetToday(kJune2024);
    const std::vector<std::pair<int, int>> years = {{0, 2000}, {2, 2002}, {50, 2050}, {51, 1951},
                                                    {99, 1999}, {100, 100}, {1987, 1987}};
    for (const auto& [given, expanded] : years)
        EXPECT_EQ(items.ExpandYear(given), expanded) << given;
}

TEST(ListingDates, TimePartsReadTwelveAndTwentyFourHourClocks)
{
    const std::vector<std::pair<std::string, Stamp>> times = {
        {"10:15AM", {0, 0, 0, 10, 15, 0, 0}}, {"10:15PM", {0, 0, 0, 22, 15, 0, 0}},
        {"12:00AM", {0, 0, 0, 0, 0, 0, 0}},   {"12:30PM", {0, 0, 0, 12, 30, 0, 0}},
        {"23:59", {0, 0, 0, 23, 59, 0, 0}},   {"01:02:03", {0, 0, 0, 1, 2, 3, 0}},
        {"9.05pm", {0, 0, 0, 21, 5, 0, 0}}};
    for (const auto& [text, t] : times)
        EXPECT_DOUBLE_EQ(TIdFTPListItems::ParseTimePart(text), EncodeTime(t.hour, t.minute, t.second, 0))
            << text;
    EXPECT_THROW(TIdFTPListItems::ParseTimePart("25:00"), std::invalid_argument);
}

TEST(ListingDates, UnreadableDosDateOnlyClearsTheTime)
{
    TIdFTPListItems items;
    items.SetLineFormat(Format::lfDos);
    items.LoadLines({"13-45-02  10:15AM                  100 odd.txt"});
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items[0].ModTime, 0.0);
    EXPECT_EQ(items[0].EntryName, "odd.txt");
    EXPECT_EQ(items[0].ByteSize, 100);
}

// --- whole recorded listings ---

// Each listing file has a companion ".expected" file: one line per entry, tab-separated
// kind (d, f or l), name, size, link target and "yyyy-mm-dd hh:mm".
struct ListingFile {
    std::string id;
};

std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    while (fields.size() < 5)
        fields.emplace_back();
    return fields;
}

std::string formatStamp(TDateTime value)
{
    const TIdCalendarDate date = DecodeDate(value);
    const int minutes = static_cast<int>((value - std::floor(value)) * 24 * 60 + 1e-6);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", date.year, date.month, date.day,
                  minutes / 60, minutes % 60);
    return text;
}

class RecordedListings : public ::testing::TestWithParam<std::string> {};

TEST_P(RecordedListings, EveryEntryAsExpected)
{
    const std::string base = std::string(TARN_TEST_DATA_DIR) + "/listings/" + GetParam();
    const std::vector<std::string> lines = readLines(base + ".txt");
    const std::vector<std::string> expected = readLines(base + ".expected");
    ASSERT_FALSE(lines.empty());
    TIdFTPListItems items;
    items.SetToday(kJune2024);
    items.SetLineFormat(items.DetectFormat(lines.front(), true));
    items.LoadLines(lines);
    ASSERT_EQ(items.Count(), static_cast<std::int64_t>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::vector<std::string> want = splitTabs(expected[i]);
        const TIdFTPListItem& item = items[static_cast<std::int64_t>(i)];
        SCOPED_TRACE(item.RawLine);
        const char kind = item.EntryKind == Kind::ekDirectory ? 'd'
                          : item.EntryKind == Kind::ekSymLink ? 'l'
                                                               : 'f';
        EXPECT_EQ(std::string(1, kind), want[0]);
        EXPECT_EQ(item.EntryName, want[1]);
        EXPECT_EQ(std::to_string(item.ByteSize), want[2]);
        EXPECT_EQ(item.LinkTarget, want[3]);
        EXPECT_EQ(formatStamp(item.ModTime), want[4]);
    }
}

INSTANTIATE_TEST_SUITE_P(Listing, RecordedListings,
                         ::testing::Values("gnu-ls", "busybox", "pyftpdlib", "iis-dos"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
