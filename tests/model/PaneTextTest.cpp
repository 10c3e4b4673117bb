// Size and date texts of the file panes.
#include "model/PaneText.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

struct SizeCase {
    const char* id;
    std::int64_t bytes;
    const char* separator;
    const char* text;
};

class SizeTextTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeTextTest, ShowsKilobytesInTheirField)
{
    const SizeCase& c = GetParam();
    EXPECT_EQ(sizeText(c.bytes, std::string(c.separator)), c.text);
}

const SizeCase kSizeCases[] = {
    {"empty_file", 0, ",", "      1k"},
    {"just_under_floor", 511, ",", "      1k"},
    {"one_kilobyte", 1024, ",", "      1k"},
    {"just_under_half", 1535, ",", "      1k"},
    {"half_rounds_up", 1536, ",", "      2k"},
    {"million_bytes", 1000000, ",", "    977k"},
    {"one_mebibyte_grouped", 1048576, ",", "  1,024k"},
    {"ten_thousand_k", 10240000, ",", " 10,000k"},
    {"largest_32_bit", 2147483647, ",", "2,097,152k"},
    {"three_gibibytes_full_64_bit", 3221225472LL, ",", "3,145,728k"},
    {"four_gibibytes_not_wrapped", 4294967296LL, ",", "4,194,304k"},
    {"huge_file_no_overflow", 9223372036854775807LL, ",", "9,007,199,254,740,992k"},
    {"negative_counts_as_floor", -5, ",", "      1k"},
    {"dot_separator", 1048576, ".", "  1.024k"},
    {"wide_separator_counts_as_one", 1048576, "\u202f", "  1\u202f024k"},
};

INSTANTIATE_TEST_SUITE_P(Sizes, SizeTextTest, testing::ValuesIn(kSizeCases),
                         [](const auto& info) { return std::string(info.param.id); });

TEST(DateText, IsYearMonthDayHourMinuteZeroPadded)
{
    EXPECT_EQ(dateText(2003, 7, 14, 9, 5), "2003/07/14 09:05");
    EXPECT_EQ(dateText(1999, 12, 31, 23, 59), "1999/12/31 23:59");
}

TEST(DateText, LocalFileTimeShowsInLocalTime)
{
    std::tm local{};
    local.tm_year = 2003 - 1900;
    local.tm_mon = 6;
    local.tm_mday = 14;
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 30;
    local.tm_isdst = -1;
    const std::time_t time = std::mktime(&local);
    EXPECT_EQ(localDateText(time), "2003/07/14 09:05");
    EXPECT_EQ(localDateKey(time), dateKey(2003, 7, 14, 9, 5, 30));
}

struct KeyOrderCase {
    const char* id;
    int earlier[6];
    int later[6];
};

class DateKeyTest : public testing::TestWithParam<KeyOrderCase> {};

TEST_P(DateKeyTest, GrowsWithTime)
{
    const auto& e = GetParam().earlier;
    const auto& l = GetParam().later;
    EXPECT_LT(dateKey(e[0], e[1], e[2], e[3], e[4], e[5]), dateKey(l[0], l[1], l[2], l[3], l[4], l[5]));
}

const KeyOrderCase kKeyCases[] = {
    {"second", {2003, 7, 14, 9, 5, 0}, {2003, 7, 14, 9, 5, 1}},
    {"leap_second_before_next_minute", {2003, 7, 14, 9, 5, 60}, {2003, 7, 14, 9, 6, 0}},
    {"end_of_day", {2003, 7, 14, 23, 59, 59}, {2003, 7, 15, 0, 0, 0}},
    {"end_of_month", {2003, 7, 31, 23, 59, 59}, {2003, 8, 1, 0, 0, 0}},
    {"end_of_year", {2003, 12, 31, 23, 59, 59}, {2004, 1, 1, 0, 0, 0}},
};

INSTANTIATE_TEST_SUITE_P(Times, DateKeyTest, testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.id); });

} // namespace
