// A file pane: a report list over PaneModel with whole-row multi-selection, grid lines,
// names editable in place, the column-click sort of its pane tag and the file-manager keys.
#pragma once

#include "app/panes/PaneModel.h"
#include "model/PaneRow.h"

#include <QTreeView>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QMimeData;

class PaneView : public QTreeView {
    Q_OBJECT
public:
    // `tag` 1 is the local pane (4 columns), 2 the remote pane (5 columns); the tag selects
    // the pane's SortColumn and SortAscending.
    explicit PaneView(int tag, QWidget* parent = nullptr);

    int tag() const { return m_tag; }
    PaneModel* paneModel() const { return m_model; }

    // Rows.
    void clearRows();
    // Replaces every row; the caller sorts (sortIfSorted) when it wants to.
    void setRows(std::vector<PaneRow> rows);
    int rowCount() const { return m_model->rowCount(); }
    const PaneRow& row(int index) const { return m_model->row(index); }
    int findRow(const std::string& name) const { return m_model->findRow(name); }

    // Selection, in list order (top to bottom).
    std::vector<int> selectedRowIndexes() const;
    int selectedCount() const;
    // Copies of the selected rows in list order: a question or a command may let events
    // through that change the pane while the caller still works on them.
    std::vector<PaneRow> selectedRows() const;
    // The selected row nearest the top, or -1.
    int firstSelected() const;
    // Selects row `index` (whole row), adding to the selection unless `add` is false.
    void selectRow(int index, bool add = true);

    // Sorts by the pane's sort state; sortIfSorted only when SortColumn is not negative.
    // Both also show the sort state in the header.
    void sortRows();
    void sortIfSorted();
    // The header's indicator shows SortColumn and SortAscending (none for a negative column).
    void showSortIndicator();

    // The column widths the user chose (or the default ones), for the settings store: the
    // widening for long texts listed is not kept from run to run.
    std::vector<int> columnWidths() const { return m_chosenWidths; }
    // Takes stored widths; a list of the wrong length, or a width out of reason, is ignored.
    void setColumnWidths(const std::vector<int>& widths);

    // The menu shown on a right click (after the click has selected); the window prepares it
    // from QMenu::aboutToShow.
    void setPopupMenu(QMenu* menu) { m_popupMenu = menu; }
    QMenu* popupMenu() const { return m_popupMenu; }

    // Starts editing the Name of row `index` in place.
    void editName(int index);

    // Dragging rows: what a drag from this pane carries (the pane's tag and the selected rows'
    // names), and reading it back where it is dropped.
    struct DraggedRows {
        int tag = 0;
        std::vector<std::string> names;
    };
    std::unique_ptr<QMimeData> dragData() const;
    static std::optional<DraggedRows> draggedRows(const QMimeData& data);
    // Decides on drops onto the pane: with `perform` false it only answers whether it would
    // take `data`; with true it takes it. No handler: the pane takes no drops.
    using DropHandler = std::function<bool(const QMimeData& data, bool perform)>;
    void setDropHandler(DropHandler handler);

    // The keys a file manager's list answers, each handed to the window as a command.
    enum class PaneKey { Up, Delete, Refresh };
    Q_ENUM(PaneKey)

signals:
    // A left click anywhere in the pane, or a key that moved the selection, after the
    // selection has followed it.
    void paneClicked();
    // A double click anywhere in the pane, or Enter.
    void paneDoubleClicked();
    // Backspace, Delete or F5 in the pane.
    void paneKeyCommand(PaneView::PaneKey key);
    // A click on a column header, after the pane has been sorted by it.
    void columnClicked(int column);
    // In-place editing of the Name of `row` started.
    void editBegun(int row);
    // In-place editing of `row` ended with `text` accepted (the editor is closed by then; the
    // handler compares the text with the caption). The caption changes only through
    // PaneModel::setName.
    void nameEdited(int row, const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    void setUpColumns();
    void onHeaderClicked(int column);
    // Widens the Size and Name columns (a name up to a cap) for the longest texts listed.
    void fitColumnsToTexts();
    void widenColumn(int column, int width);
    int longestSizeWidth() const;
    int longestNameWidth() const;

    struct PendingEdit {
        int row = -1;
        QString text;
    };

    int m_tag;
    PaneModel* m_model;
    QMenu* m_popupMenu = nullptr;
    DropHandler m_dropHandler;
    // The edit the model was handed, reported once the editor has closed.
    PendingEdit m_pendingEdit;
    // The press fell on a row of a selection of several rows: the release selects that row
    // alone and does not start a rename.
    bool m_pressInsideSelection = false;
    std::vector<int> m_chosenWidths;
    // The pane itself is widening columns for the texts listed.
    bool m_fitting = false;
};
