// The rows of a file pane and their sort.
#include "app/panes/PaneModel.h"

#include "model/PaneSort.h"
#include "platform/NameText.h"

#include <algorithm>
#include <utility>

namespace {

const char* const kCaptions[] = {"Name", "Size", "Modified", "Type", "Permissions"};

} // namespace

PaneModel::PaneModel(int columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::clamp(columns, 1, kRemotePaneColumns))
{
}

void PaneModel::clear()
{
    setRows({});
}

void PaneModel::setRows(std::vector<PaneRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void PaneModel::appendRow(PaneRow row)
{
    const int at = rowCount();
    beginInsertRows({}, at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

int PaneModel::findRow(const std::string& name) const
{
    const auto found = std::find_if(m_rows.begin(), m_rows.end(),
                                    [&](const PaneRow& row) { return row.name == name; });
    return found == m_rows.end() ? -1 : static_cast<int>(found - m_rows.begin());
}

void PaneModel::setName(int index, std::string name)
{
    if (index < 0 || index >= rowCount())
        return;
    m_rows[static_cast<std::size_t>(index)].name = std::move(name);
    emit dataChanged(this->index(index, kNameColumn), this->index(index, kNameColumn));
}

void PaneModel::sortRows(int column, bool ascending)
{
    const std::vector<int> order = sortedRowOrder(m_rows, column, ascending);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newPlace(order.size());
    std::vector<PaneRow> sorted;
    sorted.reserve(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newPlace[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(order[i])]));
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after << index(newPlace[static_cast<std::size_t>(old.row())], old.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int PaneModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PaneModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant PaneModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= m_columns)
        return {};
    const PaneRow& row = m_rows[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return nameText(columnText(row, index.column()));
    if (role == Qt::TextAlignmentRole && index.column() == kSizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant PaneModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= m_columns)
        return {};
    return QString::fromLatin1(kCaptions[section]);
}

Qt::ItemFlags PaneModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Rows drag onto the other pane (the pane's view packs what a drag carries).
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
    if (index.column() == kNameColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool PaneModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != kNameColumn)
        return false;
    emit nameEdited(index.row(), value.toString());
    return true;
}
