// Row comparison and column clicks of the file panes.
#include "app/PaneModel.h"
#include "app/PaneSort.h"
#include "app/PaneText.h"

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

PaneRow fileRow(const std::string& name, std::int64_t size, std::int64_t modified)
{
    PaneRow row;
    row.name = name;
    row.size = size;
    row.sizeText = sizeText(size, std::string(","));
    row.modified = modified;
    row.modifiedText = std::to_string(modified);
    row.typeText = kFileType;
    return row;
}

PaneRow directoryRow(const std::string& name, std::int64_t modified)
{
    PaneRow row = fileRow(name, 0, modified);
    row.size = -1;
    row.sizeText.clear();
    row.typeText = kDirectoryType;
    return row;
}

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

std::vector<std::string> namesOf(const PaneModel& model)
{
    std::vector<std::string> names;
    for (const PaneRow& row : model.rows())
        names.push_back(row.name);
    return names;
}

TEST(PaneModelSort, NameAscendingPutsUnderscoreAfterLetters)
{
    PaneModel model(4);
    model.setRows({fileRow("_x", 1, 1), fileRow("Zeta", 1, 1), fileRow("alpha", 1, 1),
                   fileRow("beta", 1, 1)});
    model.sortRows(kNameColumn, true);
    EXPECT_EQ(namesOf(model), (std::vector<std::string>{"alpha", "beta", "Zeta", "_x"}));
    model.sortRows(kNameColumn, false);
    EXPECT_EQ(namesOf(model), (std::vector<std::string>{"_x", "Zeta", "beta", "alpha"}));
}

TEST(PaneModelSort, SizeAscendingListsDirectoriesFirstThenBySize)
{
    PaneModel model(4);
    model.setRows({fileRow("big", 3221225472LL, 1), directoryRow("docs", 1),
                   fileRow("small", 10, 1), directoryRow("bin", 1), fileRow("mid", 1000000, 1)});
    model.sortRows(kSizeColumn, true);
    const auto names = namesOf(model);
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(model.row(0).typeText, kDirectoryType);
    EXPECT_EQ(model.row(1).typeText, kDirectoryType);
    EXPECT_EQ(std::vector<std::string>(names.begin() + 2, names.end()),
              (std::vector<std::string>{"small", "mid", "big"}));
}

TEST(PaneModelSort, EqualKeysKeepTheirOrder)
{
    PaneModel model(4);
    model.setRows({fileRow("c", 5, 1), fileRow("a", 5, 1), fileRow("b", 5, 1)});
    model.sortRows(kSizeColumn, true);
    EXPECT_EQ(namesOf(model), (std::vector<std::string>{"c", "a", "b"}));
}

TEST(PaneModelSort, PersistentIndexesFollowTheirRows)
{
    PaneModel model(4);
    model.setRows({fileRow("b", 1, 1), fileRow("c", 1, 1), fileRow("a", 1, 1)});
    const QPersistentModelIndex kept(model.index(2, 0));   // "a"
    model.sortRows(kNameColumn, true);
    EXPECT_EQ(kept.row(), 0);
    EXPECT_EQ(kept.data().toString(), QStringLiteral("a"));
}

TEST(PaneModelEdit, HandsTheEditOnAndKeepsTheCaption)
{
    PaneModel model(4);
    model.setRows({fileRow("a.txt", 1, 1)});
    int editedRow = -1;
    QString editedText;
    QObject::connect(&model, &PaneModel::nameEdited, [&](int row, const QString& text) {
        editedRow = row;
        editedText = text;
    });
    EXPECT_TRUE(model.setData(model.index(0, kNameColumn), QStringLiteral("b.txt")));
    EXPECT_EQ(editedRow, 0);
    EXPECT_EQ(editedText, QStringLiteral("b.txt"));
    EXPECT_EQ(model.row(0).name, "a.txt");
    EXPECT_FALSE(model.flags(model.index(0, kSizeColumn)) & Qt::ItemIsEditable);
}

TEST(PaneModelData, ShowsBytesThatAreNotUtf8AndKeepsThem)
{
    PaneModel model(5);
    const std::string raw = "caf\xe9.txt";   // Latin-1 e-acute: not valid UTF-8
    model.setRows({fileRow(raw, 1, 1)});
    EXPECT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Permissions"));
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QString::fromUtf8("caf\uFFFD.txt"));
    EXPECT_EQ(model.row(0).name, raw);
    EXPECT_EQ(model.findRow(raw), 0);
}

} // namespace

namespace {

// Rows whose texts and numbers collide often, with letters, brackets and high bytes.
std::vector<PaneRow> mixedRows()
{
    const char* const names[] = {"alpha", "Alpha", "ALPHA", "_x", "Zeta", "[b", "`c", "zz",
                                 "caf\xe9", "caf\xc3\xa9", "a", "", "b.txt", "B.TXT"};
    std::vector<PaneRow> rows;
    int i = 0;
    for (const char* name : names) {
        for (int copy = 0; copy < 3; ++copy, ++i) {
            PaneRow row = (i % 4 == 0) ? directoryRow(name, i % 5) : fileRow(name, (i * 7919) % 3000, i % 5);
            row.permissions = (i % 2) ? "rw-r--r--" : "rwxr-xr-x";
            rows.push_back(row);
        }
    }
    return rows;
}

TEST(PaneModelSort, OrdersEveryColumnAndDirectionAsLVCompareDoes)
{
    for (int column = kNameColumn; column <= kPermissionsColumn; ++column) {
        for (bool ascending : {true, false}) {
            PaneModel model(5);
            model.setRows(mixedRows());
            model.sortRows(column, ascending);
            const auto& rows = model.rows();
            for (std::size_t i = 1; i < rows.size(); ++i)
                EXPECT_LE(LVCompare(rows[i - 1], rows[i], column, ascending), 0)
                    << "column " << column << (ascending ? " ascending" : " descending")
                    << " at row " << i;
        }
    }
}

} // namespace
