// Row comparison and column clicks of the file panes.
#include "model/PaneSort.h"
#include "support/PaneRows.h"

#include <gtest/gtest.h>

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

struct KeyCase {
    const char* id;
    const char* key1;
    const char* key2;
    int expected;   // sign of the comparison
};

class CompareKeysTest : public testing::TestWithParam<KeyCase> {};

TEST_P(CompareKeysTest, ComparesBytesFoldingOnlyAsciiLetters)
{
    const KeyCase& c = GetParam();
    EXPECT_EQ(sign(compareKeys(c.key1, c.key2)), c.expected);
    EXPECT_EQ(sign(compareKeys(c.key2, c.key1)), -c.expected);
}

const KeyCase kKeyCases[] = {
    {"zeta_after_alpha", "Zeta", "alpha", 1},
    {"underscore_after_letters", "_x", "Zeta", 1},
    {"bracket_after_lower_z", "[a", "zz", 1},
    {"backquote_after_letters", "`", "z", 1},
    {"case_ignored", "README.txt", "readme.TXT", 0},
    {"prefix_first", "abc", "abcd", -1},
    {"empty_first", "", "a", -1},
    {"digits_before_letters", "9", "a", -1},
    {"high_bytes_after_ascii", "\xc3\xa9t\xc3\xa9", "zoo", 1},
    {"high_bytes_not_folded", "\xc3\xa9", "\xc3\x89", 1},
    {"blank_before_digit", "      1k", "    977k", -1},
};

INSTANTIATE_TEST_SUITE_P(Keys, CompareKeysTest, testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.id); });

TEST(LVCompare, DescendingSwapsTheOperands)
{
    const PaneRow a = fileRow("alpha", 1, 1);
    const PaneRow z = fileRow("Zeta", 2, 2);
    for (int column : {kNameColumn, kSizeColumn, kModifiedColumn}) {
        EXPECT_LT(LVCompare(a, z, column, true), 0) << column;
        EXPECT_GT(LVCompare(a, z, column, false), 0) << column;
    }
}

TEST(LVCompare, DirectoriesComeFirstBySizeAscendingAndLastDescending)
{
    const PaneRow directory = directoryRow("dir", 0);
    const PaneRow empty = fileRow("empty", 0, 0);
    EXPECT_LT(LVCompare(directory, empty, kSizeColumn, true), 0);
    EXPECT_GT(LVCompare(directory, empty, kSizeColumn, false), 0);
}

TEST(LVCompare, SizesPastTheFieldStillSortBySize)
{
    // "3,145,728k" would sort before "    977k" by its text alone.
    const PaneRow big = fileRow("big", 3221225472LL, 0);
    const PaneRow medium = fileRow("medium", 1023999000LL, 0);
    const PaneRow small = fileRow("small", 1000000, 0);
    EXPECT_GT(LVCompare(big, small, kSizeColumn, true), 0);
    EXPECT_GT(LVCompare(big, medium, kSizeColumn, true), 0);
    EXPECT_GT(LVCompare(medium, small, kSizeColumn, true), 0);
}

TEST(LVCompare, TypeAndPermissionsCompareTheirTexts)
{
    PaneRow file = fileRow("f", 1, 1);
    PaneRow directory = directoryRow("d", 1);
    file.permissions = "rw-r--r--";
    directory.permissions = "rwxr-xr-x";
    EXPECT_LT(LVCompare(directory, file, kTypeColumn, true), 0);
    EXPECT_LT(LVCompare(file, directory, kPermissionsColumn, true), 0);
}

struct ClickCase {
    const char* id;
    std::vector<int> clicks;
    int column;
    int ascending;
};

class ColumnClickTest : public testing::TestWithParam<ClickCase> {
protected:
    void SetUp() override
    {
        SortColumn[0] = SortColumn[1] = 2;
        SortAscending[0] = SortAscending[1] = 0;
    }
    void TearDown() override { SetUp(); }
};

TEST_P(ColumnClickTest, SameColumnFlipsAnotherSortsAscending)
{
    const ClickCase& c = GetParam();
    for (int column : c.clicks)
        LVColumnClick(kLocalPaneTag, column);
    EXPECT_EQ(SortColumn[0], c.column);
    EXPECT_EQ(SortAscending[0], c.ascending);
    EXPECT_EQ(SortColumn[1], 2) << "the remote pane keeps its own sort";
    EXPECT_EQ(SortAscending[1], 0);
}

const ClickCase kClickCases[] = {
    {"no_click_newest_first", {}, 2, 0},
    {"modified_again_flips_to_ascending", {2}, 2, 1},
    {"name_sorts_ascending", {0}, 0, 1},
    {"name_twice_descending", {0, 0}, 0, 0},
    {"name_name_size_ascending", {0, 0, 1}, 1, 1},
    {"three_times_back_to_ascending", {0, 0, 0}, 0, 1},
};

INSTANTIATE_TEST_SUITE_P(Clicks, ColumnClickTest, testing::ValuesIn(kClickCases),
                         [](const auto& info) { return std::string(info.param.id); });

} // namespace
