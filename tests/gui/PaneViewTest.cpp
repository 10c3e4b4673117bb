// The file pane widget on its own, driven with the mouse and keyboard: columns, selection,
// the signals the window hooks, the column-click sort and in-place editing.
#include "app/panes/PaneView.h"
#include "model/PaneSort.h"

#include <QApplication>
#include <QHeaderView>
#include <QStyle>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

PaneRow row(const std::string& name, std::int64_t size, bool directory = false)
{
    PaneRow r;
    r.name = name;
    r.typeText = directory ? kDirectoryType : kFileType;
    r.size = directory ? -1 : size;
    r.sizeText = directory ? "" : std::to_string(size);
    r.modified = size;
    return r;
}

class PaneViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        SortColumn[0] = SortColumn[1] = 2;
        SortAscending[0] = SortAscending[1] = 0;
        m_view.resize(500, 300);
        m_view.setRows({row("b.txt", 20), row("sub", 0, true), row("a.txt", 10), row("c.txt", 30)});
        m_view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_view));
    }
    void TearDown() override { SetUp(); }

    QPoint centreOf(int index) const
    {
        return m_view.visualRect(m_view.model()->index(index, 0)).center();
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (int i = 0; i < m_view.rowCount(); ++i)
            result.push_back(m_view.row(i).name);
        return result;
    }

    PaneView m_view{kLocalPaneTag};
};

TEST(PaneViewColumns, LocalAndRemotePanesHaveTheirCaptionsAndWidths)
{
    PaneView local(kLocalPaneTag);
    PaneView remote(kRemotePaneTag);
    ASSERT_EQ(local.model()->columnCount(), 4);
    ASSERT_EQ(remote.model()->columnCount(), 5);
    const char* captions[] = {"Name", "Size", "Modified", "Type", "Permissions"};
    const int localWidths[] = {150, 55, 105, 55};
    const int remoteWidths[] = {150, 70, 105, 55, 68};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(remote.model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
        EXPECT_EQ(remote.columnWidth(c), remoteWidths[c]) << c;
        if (c < 4) {
            EXPECT_EQ(local.columnWidth(c), localWidths[c]) << c;
        }
    }
    EXPECT_EQ(local.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(local.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(local.focusPolicy() & Qt::TabFocus) << "Tab reaches the pane";
}

TEST_F(PaneViewTest, ClicksSelectWholeRowsAndAreReported)
{
    QSignalSpy clicks(&m_view, &PaneView::paneClicked);
    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, {}, centreOf(1));
    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(3));
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(m_view.selectedRowIndexes(), (std::vector<int>{1, 3}));
    EXPECT_EQ(m_view.firstSelected(), 1);
    EXPECT_TRUE(m_view.selectionModel()->isRowSelected(3, {}));

    QSignalSpy doubleClicks(&m_view, &PaneView::paneDoubleClicked);
    QTest::mouseDClick(m_view.viewport(), Qt::LeftButton, {}, centreOf(2));
    EXPECT_EQ(doubleClicks.count(), 1);
}

TEST_F(PaneViewTest, HeaderClickSortsAndTheSelectionFollowsItsRows)
{
    m_view.selectRow(m_view.findRow("c.txt"), false);
    QSignalSpy columnClicks(&m_view, &PaneView::columnClicked);
    QHeaderView* header = m_view.header();
    const QPoint nameHeader(header->sectionViewportPosition(kNameColumn) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
    ASSERT_EQ(columnClicks.count(), 1);
    EXPECT_EQ(columnClicks.at(0).at(0).toInt(), kNameColumn);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "sub"}));
    EXPECT_EQ(m_view.selectedRowIndexes(), std::vector<int>{2});

    const QPoint sizeHeader(header->sectionViewportPosition(kSizeColumn) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
    EXPECT_EQ(names(), (std::vector<std::string>{"sub", "a.txt", "b.txt", "c.txt"}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
    EXPECT_EQ(names(), (std::vector<std::string>{"c.txt", "b.txt", "a.txt", "sub"}));
}

TEST_F(PaneViewTest, RightClickSelectsAndOpensThePopupMenu)
{
    QMenu menu;
    menu.addAction(QStringLiteral("Refresh"));
    m_view.setPopupMenu(&menu);
    QSignalSpy shown(&menu, &QMenu::aboutToShow);
    const QPoint at = centreOf(2);
    QTest::mouseClick(m_view.viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, m_view.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(m_view.viewport(), &event);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(m_view.firstSelected(), 2);
    menu.close();
}

TEST_F(PaneViewTest, F2EditsTheNameAndEnterHandsTheTextOnWithoutChangingTheCaption)
{
    m_view.setFocus();
    m_view.selectRow(0, false);
    QSignalSpy begun(&m_view, &PaneView::editBegun);
    QSignalSpy edited(&m_view, &PaneView::nameEdited);
    QTest::keyClick(m_view.viewport(), Qt::Key_F2);
    ASSERT_EQ(begun.count(), 1);
    QPointer<QLineEdit> editor = m_view.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("b.txt"));
    editor->setText(QStringLiteral("new.txt"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return edited.count() == 1; }, 2000));
    EXPECT_EQ(edited.at(0).at(0).toInt(), 0);
    EXPECT_EQ(edited.at(0).at(1).toString(), QStringLiteral("new.txt"));
    EXPECT_EQ(m_view.row(0).name, "b.txt") << "only the handler renames";
}

TEST_F(PaneViewTest, EscapeCancelsAnEditWithoutReportingIt)
{
    QSignalSpy edited(&m_view, &PaneView::nameEdited);
    m_view.editName(0);
    QPointer<QLineEdit> editor = m_view.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("other"));
    QTest::keyClick(editor, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor || !editor->isVisible(); }, 2000));
    EXPECT_EQ(edited.count(), 0);
}

// Rows are tall enough for the font's whole height (descent included) and the grid line under
// them, for a normal and a doubled font; the same test runs again at a scale factor of 2.
TEST(PaneViewRows, EveryRowHoldsTheFontsFullHeightAndTheGridLine)
{
    for (const double factor : {1.0, 2.0}) {
        PaneView view(kRemotePaneTag);
        QFont font = view.font();
        font.setPointSizeF(font.pointSizeF() * factor);
        view.setFont(font);
        view.resize(600, 300);
        view.setRows({row("three_g.img", 1), row("_x.txt", 2), row("big5g.iso", 3)});
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        const QFontMetrics metrics(view.font());
        for (int r = 0; r < view.rowCount(); ++r) {
            const QRect cell = view.visualRect(view.model()->index(r, kNameColumn));
            EXPECT_GE(cell.height(), metrics.height() + 1)
                << "factor " << factor << " row " << r << ": ascent " << metrics.ascent()
                << " descent " << metrics.descent();
        }
    }
}

TEST(PaneViewRows, TheSizeColumnFitsTheLongestSizeListed)
{
    PaneView view(kRemotePaneTag);
    PaneRow big = row("twelve.raw", std::int64_t{12} * 1024 * 1024 * 1024);
    big.sizeText = "12,582,912k";
    view.setRows({row("small", 1), big});
    const int margins = 2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1);
    EXPECT_GE(view.columnWidth(kSizeColumn),
              view.fontMetrics().horizontalAdvance(QStringLiteral("12,582,912k")) + margins + 1);
    EXPECT_EQ(view.columnWidths()[kSizeColumn], 70) << "the widening is not kept as the user's width";
    view.setColumnWidth(kSizeColumn, 150);
    EXPECT_EQ(view.columnWidths()[kSizeColumn], 150);
}

TEST(PaneViewRows, TheNameColumnWidensForLongNamesUpToACap)
{
    PaneView view(kRemotePaneTag);
    const std::string name = "quarterly_report_2026.pdf";
    view.setRows({row("a", 1), row(name, 2)});
    EXPECT_GE(view.columnWidth(kNameColumn),
              view.fontMetrics().horizontalAdvance(QString::fromStdString(name)));
    view.setRows({row(std::string(500, 'w'), 3)});
    EXPECT_LT(view.columnWidth(kNameColumn), view.fontMetrics().averageCharWidth() * 60)
        << "one very long name does not take the whole pane";
}

TEST_F(PaneViewTest, TheHeaderShowsTheSortColumnAndDirection)
{
    QHeaderView* header = m_view.header();
    m_view.sortRows();
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), kModifiedColumn);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    const QPoint nameHeader(header->sectionViewportPosition(kNameColumn) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
    EXPECT_EQ(header->sortIndicatorSection(), kNameColumn);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
    EXPECT_EQ(header->sortIndicatorSection(), kNameColumn);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    SortColumn[0] = -1;
    m_view.sortIfSorted();
    EXPECT_FALSE(header->isSortIndicatorShown()) << "unsorted rows show no indicator";
}

TEST_F(PaneViewTest, AClickInsideASelectionSelectsThatRowAloneAndDoesNotRename)
{
    m_view.setFocus();
    for (int r = 0; r < 3; ++r)
        m_view.selectRow(r);
    QSignalSpy begun(&m_view, &PaneView::editBegun);
    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, {}, centreOf(1));
    EXPECT_EQ(m_view.selectedRowIndexes(), std::vector<int>{1});
    // A rename would start after the double-click interval: wait past it for one.
    EXPECT_FALSE(QTest::qWaitFor([&] { return begun.count() > 0; },
                                 QApplication::doubleClickInterval() + 200));
    EXPECT_EQ(m_view.viewport()->findChild<QLineEdit*>(), nullptr);
}

struct PaneKeyCase {
    Qt::Key key;
    PaneView::PaneKey command;
};

TEST_F(PaneViewTest, FileManagerKeysAreHandedToTheWindow)
{
    m_view.setFocus();
    m_view.selectRow(1, false);
    qRegisterMetaType<PaneView::PaneKey>();
    QSignalSpy commands(&m_view, &PaneView::paneKeyCommand);
    const PaneKeyCase cases[] = {{Qt::Key_Backspace, PaneView::PaneKey::Up},
                                 {Qt::Key_Delete, PaneView::PaneKey::Delete},
                                 {Qt::Key_F5, PaneView::PaneKey::Refresh}};
    for (const PaneKeyCase& keyCase : cases) {
        commands.clear();
        QTest::keyClick(m_view.viewport(), keyCase.key);
        ASSERT_EQ(commands.count(), 1) << keyCase.key;
        EXPECT_EQ(commands.at(0).at(0).value<PaneView::PaneKey>(), keyCase.command);
    }
    QSignalSpy opened(&m_view, &PaneView::paneDoubleClicked);
    QTest::keyClick(m_view.viewport(), Qt::Key_Return);
    QTest::keyClick(m_view.viewport(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(opened.count(), 2);
}

TEST_F(PaneViewTest, KeysThatMoveTheSelectionAreReportedLikeClicks)
{
    m_view.setFocus();
    m_view.selectRow(0, false);
    QSignalSpy clicks(&m_view, &PaneView::paneClicked);
    QTest::keyClick(m_view.viewport(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_view.selectedCount(), 4);
    QTest::keyClick(m_view.viewport(), Qt::Key_Down);
    EXPECT_EQ(m_view.selectedCount(), 1);
    EXPECT_EQ(clicks.count(), 2);
}

TEST(PaneViewColumns, StoredWidthsAreTakenOnlyWhenTheyFitThePane)
{
    PaneView view(kLocalPaneTag);
    view.setColumnWidths({200, 90, 120, 70});
    EXPECT_EQ(view.columnWidths(), (std::vector<int>{200, 90, 120, 70}));
    view.setColumnWidths({10, 10});
    view.setColumnWidths({200, -5, 120, 70});
    EXPECT_EQ(view.columnWidths(), (std::vector<int>{200, 90, 120, 70}));
}

} // namespace
