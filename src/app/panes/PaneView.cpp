// The file pane widget: report layout, whole-row selection, grid lines, in-place editing,
// the column-click sort and the keys of a file manager's list.
#include "app/panes/PaneView.h"

#include "model/PaneSort.h"
#include "platform/NameText.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QScopeGuard>
#include <QStyledItemDelegate>

#include <algorithm>
#include <utility>

namespace {

const int kLocalWidths[] = {150, 55, 105, 55};
const int kRemoteWidths[] = {150, 70, 105, 55, 68};
constexpr int kGridLine = 1;
constexpr std::size_t kNamesMeasured = 32;
constexpr int kNameColumnCapCharacters = 40;
constexpr int kTextMargin = 1;
// Stored widths outside this range come from a damaged store, not from a user.
constexpr int kSmallestStoredWidth = 8;
constexpr int kWidestStoredWidth = 4000;

// Rows are as tall as the font needs, descent included, with a margin above and below and the
// grid line under the row; the cell is drawn above that line, so the line never covers the
// bottom of an underscore or a "g".
class PaneRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int needed = option.fontMetrics.height() + 2 * kTextMargin + kGridLine;
        size.setHeight(std::max(size.height() + kGridLine, needed));
        return size;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem aboveGrid = option;
        aboveGrid.rect.setBottom(option.rect.bottom() - kGridLine);
        QStyledItemDelegate::paint(painter, aboveGrid, index);
    }
};

// A fifth of the way from the background to the text: visible in light and dark themes.
QColor gridColour(const QPalette& palette)
{
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    return QColor((base.red() * 4 + text.red()) / 5, (base.green() * 4 + text.green()) / 5,
                  (base.blue() * 4 + text.blue()) / 5);
}

} // namespace

PaneView::PaneView(int tag, QWidget* parent)
    : QTreeView(parent), m_tag(tag),
      m_model(new PaneModel(tag == kRemotePaneTag ? kRemotePaneColumns : kLocalPaneColumns, this))
{
    setModel(m_model);
    setItemDelegate(new PaneRowDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    // The selection stays as visible as in the active pane when the focus moves away.
    QPalette keep = palette();
    keep.setColor(QPalette::Inactive, QPalette::Highlight,
                  keep.color(QPalette::Active, QPalette::Highlight));
    keep.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  keep.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(keep);
    setUpColumns();
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setDropIndicatorShown(false);
}

namespace {

constexpr const char* kRowsMimeType = "application/x-tarn-pane-rows";

} // namespace

std::unique_ptr<QMimeData> PaneView::dragData() const
{
    QByteArray rows = QByteArray::number(m_tag);
    for (const PaneRow& row : selectedRows())
        rows.append('\0').append(row.name.data(), static_cast<qsizetype>(row.name.size()));
    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(kRowsMimeType), rows);
    return data;
}

std::optional<PaneView::DraggedRows> PaneView::draggedRows(const QMimeData& data)
{
    if (!data.hasFormat(QString::fromLatin1(kRowsMimeType)))
        return std::nullopt;
    const QList<QByteArray> parts = data.data(QString::fromLatin1(kRowsMimeType)).split('\0');
    DraggedRows rows;
    rows.tag = parts.front().toInt();
    for (qsizetype i = 1; i < parts.size(); ++i)
        rows.names.push_back(parts[i].toStdString());
    return rows;
}

void PaneView::setDropHandler(DropHandler handler)
{
    m_dropHandler = std::move(handler);
    setAcceptDrops(static_cast<bool>(m_dropHandler));
    viewport()->setAcceptDrops(static_cast<bool>(m_dropHandler));
}

void PaneView::startDrag(Qt::DropActions)
{
    // The drag takes the release: the press must not select its row alone afterwards.
    m_pressInsideSelection = false;
    if (selectedCount() == 0)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(dragData().release());
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void PaneView::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_dropHandler && m_dropHandler(*event->mimeData(), false))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PaneView::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_dropHandler && m_dropHandler(*event->mimeData(), false))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PaneView::dropEvent(QDropEvent* event)
{
    if (m_dropHandler && m_dropHandler(*event->mimeData(), true))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PaneView::setUpColumns()
{
    QHeaderView* top = header();
    top->setStretchLastSection(false);
    top->setSectionsMovable(false);
    top->setSectionsClickable(true);
    top->setSortIndicatorShown(true);
    top->setSectionResizeMode(QHeaderView::Interactive);
    const int* widths = m_tag == kRemotePaneTag ? kRemoteWidths : kLocalWidths;
    for (int column = 0; column < m_model->columnCount(); ++column)
        setColumnWidth(column, widths[column]);
    m_chosenWidths.assign(widths, widths + m_model->columnCount());
    connect(top, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!m_fitting && column >= 0 && column < static_cast<int>(m_chosenWidths.size()))
            m_chosenWidths[static_cast<std::size_t>(column)] = width;
    });
    connect(top, &QHeaderView::sectionClicked, this, &PaneView::onHeaderClicked);
    connect(m_model, &PaneModel::nameEdited, this,
            [this](int row, const QString& text) { m_pendingEdit = {row, text}; });
}

void PaneView::clearRows()
{
    m_model->clear();
}

void PaneView::setRows(std::vector<PaneRow> rows)
{
    m_model->setRows(std::move(rows));
    fitColumnsToTexts();
}

void PaneView::fitColumnsToTexts()
{
    if (m_model->rows().empty())
        return;
    m_fitting = true;
    const auto fitted = qScopeGuard([this] { m_fitting = false; });
    // The margins the style keeps on both sides of a cell's text, and the grid line.
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1)
                        + kGridLine + kTextMargin;
    widenColumn(kSizeColumn, longestSizeWidth() + margins);
    // One very long name must not push the other columns out of sight.
    const int cap = fontMetrics().averageCharWidth() * kNameColumnCapCharacters;
    widenColumn(kNameColumn, std::min(longestNameWidth() + margins, cap));
}

void PaneView::widenColumn(int column, int width)
{
    if (columnWidth(column) < width)
        setColumnWidth(column, width);
}

int PaneView::longestSizeWidth() const
{
    const std::vector<PaneRow>& rows = m_model->rows();
    const auto longest = std::max_element(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return a.sizeText.size() < b.sizeText.size();
    });
    return longest == rows.end() ? 0 : fontMetrics().horizontalAdvance(QString::fromStdString(longest->sizeText));
}

// Only the longest few names are measured, so 100,000 rows still list at once.
int PaneView::longestNameWidth() const
{
    std::vector<const std::string*> names;
    names.reserve(m_model->rows().size());
    for (const PaneRow& listed : m_model->rows())
        names.push_back(&listed.name);
    const std::size_t measured = std::min<std::size_t>(names.size(), kNamesMeasured);
    std::partial_sort(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(measured), names.end(),
                      [](const std::string* a, const std::string* b) { return a->size() > b->size(); });
    int widest = 0;
    for (std::size_t i = 0; i < measured; ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(nameText(*names[i])));
    return widest;
}

void PaneView::setColumnWidths(const std::vector<int>& widths)
{
    if (static_cast<int>(widths.size()) != m_model->columnCount())
        return;
    for (const int width : widths)
        if (width < kSmallestStoredWidth || width > kWidestStoredWidth)
            return;
    for (int column = 0; column < m_model->columnCount(); ++column)
        setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
}

std::vector<int> PaneView::selectedRowIndexes() const
{
    std::vector<int> rows;
    if (!selectionModel())
        return rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.parent().isValid())
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<PaneRow> PaneView::selectedRows() const
{
    std::vector<PaneRow> rows;
    for (const int index : selectedRowIndexes())
        rows.push_back(row(index));
    return rows;
}

int PaneView::selectedCount() const
{
    return static_cast<int>(selectedRowIndexes().size());
}

int PaneView::firstSelected() const
{
    const std::vector<int> rows = selectedRowIndexes();
    return rows.empty() ? -1 : rows.front();
}

void PaneView::selectRow(int index, bool add)
{
    if (index < 0 || index >= rowCount())
        return;
    auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    if (!add)
        flags |= QItemSelectionModel::Clear;
    selectionModel()->select(m_model->index(index, 0), flags);
    selectionModel()->setCurrentIndex(m_model->index(index, 0), QItemSelectionModel::NoUpdate);
}

void PaneView::sortRows()
{
    const int pane = m_tag - 1;
    if (pane < 0 || pane > 1)
        return;
    m_model->sortRows(SortColumn[pane], SortAscending[pane] != 0);
    showSortIndicator();
}

void PaneView::sortIfSorted()
{
    const int pane = m_tag - 1;
    if (pane >= 0 && pane <= 1 && SortColumn[pane] >= 0)
        sortRows();
    else
        showSortIndicator();
}

void PaneView::showSortIndicator()
{
    const int pane = m_tag - 1;
    if (pane < 0 || pane > 1)
        return;
    const bool sorted = SortColumn[pane] >= 0 && SortColumn[pane] < m_model->columnCount();
    header()->setSortIndicatorShown(sorted);
    header()->setSortIndicator(sorted ? SortColumn[pane] : -1,
                               SortAscending[pane] != 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void PaneView::editName(int index)
{
    if (index < 0 || index >= rowCount())
        return;
    const QModelIndex name = m_model->index(index, kNameColumn);
    setCurrentIndex(name);
    edit(name, QAbstractItemView::EditKeyPressed, nullptr);
}

void PaneView::onHeaderClicked(int column)
{
    LVColumnClick(m_tag, column);
    sortRows();
    emit columnClicked(column);
}

void PaneView::keyPressEvent(QKeyEvent* event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && state() != EditingState) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            emit paneDoubleClicked();
            return;
        case Qt::Key_Backspace:
            event->accept();
            emit paneKeyCommand(PaneKey::Up);
            return;
        case Qt::Key_Delete:
            event->accept();
            emit paneKeyCommand(PaneKey::Delete);
            return;
        case Qt::Key_F5:
            event->accept();
            emit paneKeyCommand(PaneKey::Refresh);
            return;
        default:
            break;
        }
    }
    // Arrow keys, Ctrl+A and the like: a selection moved by the keyboard switches the commands
    // as a click does.
    const QItemSelection before = selectionModel()->selection();
    QTreeView::keyPressEvent(event);
    if (selectionModel()->selection() != before)
        emit paneClicked();
}

void PaneView::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex at = indexAt(event->position().toPoint());
    m_pressInsideSelection = event->button() == Qt::LeftButton
                             && event->modifiers() == Qt::NoModifier && at.isValid()
                             && selectionModel()->isRowSelected(at.row(), {})
                             && selectedCount() > 1;
    QTreeView::mousePressEvent(event);
}

void PaneView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    if (std::exchange(m_pressInsideSelection, false)) {
        const QModelIndex at = indexAt(event->position().toPoint());
        if (at.isValid())
            selectRow(at.row(), false);
    }
    if (event->button() == Qt::LeftButton)
        emit paneClicked();
}

void PaneView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit paneDoubleClicked();
}

void PaneView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_popupMenu) {
        QTreeView::contextMenuEvent(event);
        return;
    }
    m_popupMenu->popup(event->globalPos());
    event->accept();
}

bool PaneView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Only the Name is editable; a key press on another cell of the row edits the Name.
    const QModelIndex name = index.isValid() ? index.siblingAtColumn(kNameColumn) : index;
    if (trigger == QAbstractItemView::SelectedClicked
        && (index.column() != kNameColumn || m_pressInsideSelection))
        return false;
    const bool started = QTreeView::edit(name, trigger, event);
    if (started && state() == QAbstractItemView::EditingState)
        emit editBegun(name.row());
    return started;
}

void PaneView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeView::closeEditor(editor, hint);
    if (m_pendingEdit.row < 0)
        return;
    const PendingEdit finished = std::exchange(m_pendingEdit, PendingEdit{});
    emit nameEdited(finished.row, finished.text);
}

void PaneView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const
{
    QTreeView::drawRow(painter, option, index);
    // Grid lines: one under the row across all columns, one at the right edge of each column.
    painter->save();
    painter->setPen(gridColour(palette()));
    const int top = option.rect.top();
    const int bottom = option.rect.bottom();
    const int left = -header()->offset();
    painter->drawLine(left, bottom, left + header()->length() - 1, bottom);
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const int x = columnViewportPosition(column) + columnWidth(column) - 1;
        painter->drawLine(x, top, x, bottom);
    }
    painter->restore();
}
