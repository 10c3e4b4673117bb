// The text helpers of every layer, by table.
#include "ftp/IdGlobal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct SplitCase {
    std::string id;
    std::string input;
    std::string delimiter;
    bool caseSensitive;
    std::string token;
    std::string rest;
};

class SplitTokenTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTokenTable, CutsAtTheFirstDelimiter)
{
    const SplitCase& c = GetParam();
    std::string text = c.input;
    EXPECT_EQ(SplitToken(text, c.delimiter, true, c.caseSensitive), c.token);
    EXPECT_EQ(text, c.rest);

    std::string kept = c.input;
    EXPECT_EQ(SplitToken(kept, c.delimiter, false, c.caseSensitive), c.token);
    EXPECT_EQ(kept, c.input) << "without remove the input stays";
}

INSTANTIATE_TEST_SUITE_P(
    Helpers, SplitTokenTable,
    ::testing::Values(SplitCase{"blank", "drwxr-xr-x 2 ftp", " ", true, "drwxr-xr-x", "2 ftp"},
                      SplitCase{"absent", "pub", " ", true, "pub", ""},
                      SplitCase{"empty", "", " ", true, "", ""},
                      SplitCase{"leading", " x", " ", true, "", "x"},
                      SplitCase{"long-delimiter", "a -> b -> c", " -> ", true, "a", "b -> c"},
                      SplitCase{"case-insensitive", "10:15pm rest", "PM", false, "10:15", " rest"},
                      SplitCase{"case-sensitive-misses", "10:15pm", "PM", true, "10:15pm", ""}),
    [](const auto& info) {
        std::string name = info.param.id;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(TextHelpers, LastPosSearchesBackwardsWithoutRegardToCase)
{
    EXPECT_EQ(LastPos("(", "227 Entering Passive Mode (127,0,0,1,4,1)"), 27);
    EXPECT_EQ(LastPos("ab", "xxABxxab"), 7);
    EXPECT_EQ(LastPos("ab", "xxABxxab", 6), 3) << "start limits the search";
    EXPECT_EQ(LastPos("ab", "ab", 100), 1) << "start is lowered to the last possible place";
    EXPECT_EQ(LastPos("q", "abc"), 0);
    EXPECT_EQ(LastPos("", "abc"), 0);
    EXPECT_EQ(LastPos("abcd", "abc"), 0);
}

TEST(TextHelpers, FindInBufferAnswersOneBasedPositions)
{
    const std::string block = "line one\r\nline two\n";
    EXPECT_EQ(FindInBuffer("\n", block.data(), static_cast<std::int64_t>(block.size())), 10);
    EXPECT_EQ(FindInBuffer("\r\n", block.data(), static_cast<std::int64_t>(block.size())), 9);
    EXPECT_EQ(FindInBuffer("two", block.data(), 15), 0) << "only the given size is searched";
    EXPECT_EQ(FindInBuffer("", block.data(), 5), 0);
    EXPECT_EQ(FindInBuffer("longer", block.data(), 3), 0);
    const std::string withNul("a\0b\n", 4);
    EXPECT_EQ(FindInBuffer("\n", withNul.data(), 4), 4) << "a NUL byte is an ordinary byte";
}

TEST(TextHelpers, IndexInListAndMonthNames)
{
    const std::vector<std::string> list = {"alpha", "Beta", "beta"};
    EXPECT_EQ(IndexInList("beta", list), 2);
    EXPECT_EQ(IndexInList("BETA", list, false), 1);
    EXPECT_EQ(IndexInList("gamma", list), -1);

    const std::vector<std::pair<std::string, int>> months = {
        {"Jan", 1}, {"feb", 2}, {"MAR", 3}, {"Sep", 9}, {"dec", 12}, {"Sept", 0}, {"", 0}, {"Ja", 0}};
    for (const auto& [name, month] : months)
        EXPECT_EQ(MonthFromName(name), month) << name;
}

TEST(TextHelpers, BlankLinesHoldOnlyBlanksAndTabs)
{
    EXPECT_TRUE(IsBlankLine(""));
    EXPECT_TRUE(IsBlankLine(" \t  "));
    EXPECT_FALSE(IsBlankLine(" x "));
    EXPECT_FALSE(IsBlankLine("\r")) << "a carriage return is not a blank";
}

TEST(TextHelpers, FileSizeOfIsSixtyFourBit)
{
    const auto path = std::filesystem::temp_directory_path() /
                      ("tarn-filesize-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    {
        std::ofstream out(path, std::ios::binary);
        out << "12345";
    }
    EXPECT_EQ(FileSizeOf(path.string()), 5);
    // a sparse file beyond 4 GiB costs no disk space
    std::filesystem::resize_file(path, (std::int64_t{5} << 30) + 7);
    EXPECT_EQ(FileSizeOf(path.string()), (std::int64_t{5} << 30) + 7);
    std::filesystem::remove(path);
    EXPECT_THROW(FileSizeOf(path.string()), std::runtime_error);
}

TEST(TextHelpers, DateEncodingCountsDaysFrom1899)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(2024, 2, 29), 45351.0);
    EXPECT_THROW(EncodeDate(2023, 2, 29), std::invalid_argument);
    EXPECT_THROW(EncodeDate(2020, 0, 1), std::invalid_argument);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), std::invalid_argument);
    const TIdCalendarDate back = DecodeDate(EncodeDate(2031, 7, 4) + 0.75);
    EXPECT_EQ(back.year, 2031);
    EXPECT_EQ(back.month, 7);
    EXPECT_EQ(back.day, 4);
}

// Upload lists, site files and listings: every kind of line end, a missing last one, empty
// lines kept.
struct LinesCase {
    const char* id;
    std::string text;
    std::vector<std::string> lines;
};

class TextLinesTest : public testing::TestWithParam<LinesCase> {};

TEST_P(TextLinesTest, SplitsIntoLines)
{
    EXPECT_EQ(SplitTextLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TextLinesTest,
    testing::Values(
        LinesCase{"empty_file", "", {}},
        LinesCase{"crlf", "SITE=a  FILE=/x\r\nSITE=b  FILE=/y\r\n", {"SITE=a  FILE=/x", "SITE=b  FILE=/y"}},
        LinesCase{"lf", "one\ntwo\n", {"one", "two"}},
        LinesCase{"cr", "one\rtwo\r", {"one", "two"}},
        LinesCase{"no_final_line_end", "one\r\ntwo", {"one", "two"}},
        LinesCase{"empty_lines_kept", "one\n\n\ntwo\n", {"one", "", "", "two"}},
        LinesCase{"lone_empty_line", "\r\n", {""}},
        LinesCase{"cr_then_crlf", "a\r\r\nb", {"a", "", "b"}},
        LinesCase{"lf_cr_is_two_line_ends", "a\n\rb", {"a", "", "b"}},
        LinesCase{"two_empty_lines", "\r\n\r\n", {"", ""}},
        LinesCase{"every_kind_mixed", "a\r\r\nb\n\n", {"a", "", "b", ""}}),
    [](const testing::TestParamInfo<LinesCase>& info) { return info.param.id; });

} // namespace
