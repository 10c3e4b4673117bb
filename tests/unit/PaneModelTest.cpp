// The table behind a file pane: its sort, the edit it hands on, and names that are not UTF-8.
#include "app/panes/PaneModel.h"
#include "model/PaneSort.h"
#include "support/PaneRows.h"

#include <gtest/gtest.h>

namespace {

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
