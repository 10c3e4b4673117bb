// The file pane widget on its own, driven with the mouse and keyboard: columns, selection,
// the signals the window hooks, the column-click sort and in-place editing.
#include "app/PaneSort.h"
#include "app/PaneView.h"

#include <QHeaderView>
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
    EXPECT_FALSE(local.focusPolicy() & Qt::TabFocus) << "the pane is not a tab stop";
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

} // namespace
