// The queue pane's rows and their texts.
#include "app/window/QueueTableModel.h"

#include "app/panes/LocalFiles.h"
#include "model/PaneText.h"
#include "model/TransferProgress.h"
#include "platform/NameText.h"
#include "queue/TransferQueue.h"

#include <QLocale>

#include <algorithm>

namespace {

// Adjacent rows of an ascending list, as [first, last] pairs.
template <typename Visit>
void forEachRun(const std::vector<int>& rows, Visit visit)
{
    for (std::size_t start = 0; start < rows.size();) {
        std::size_t end = start;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1)
            ++end;
        visit(rows[start], rows[end]);
        start = end + 1;
    }
}

QString stateText(QueueItemState state)
{
    switch (state) {
    case QueueItemState::Waiting: return QStringLiteral("Waiting");
    case QueueItemState::Running: return QStringLiteral("Running");
    case QueueItemState::Done: return QStringLiteral("Done");
    case QueueItemState::Failed: return QStringLiteral("Failed");
    case QueueItemState::Skipped: return QStringLiteral("Skipped");
    }
    return {};
}

} // namespace

QueueTableModel::QueueTableModel(TransferQueue& queue, QObject* parent)
    : QAbstractTableModel(parent), m_queue(&queue)
{
    const std::vector<std::int64_t> ids = queue.itemIds();
    addItems(QList<std::int64_t>(ids.begin(), ids.end()));
    connect(&queue, &TransferQueue::itemsAdded, this, &QueueTableModel::addItems);
    connect(&queue, &TransferQueue::itemsChanged, this, &QueueTableModel::changeItems);
    connect(&queue, &TransferQueue::itemsRemoved, this, &QueueTableModel::removeItems);
}

int QueueTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_ids.size());
}

int QueueTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

int QueueTableModel::percentOf(const QueueItem& item)
{
    if (item.state == QueueItemState::Done)
        return 100;
    if (item.source.size <= 0)
        return 0;
    return static_cast<int>(std::clamp<std::int64_t>(item.transferred * 100 / item.source.size, 0, 100));
}

QString QueueTableModel::text(const QueueItem& item, int column) const
{
    const bool folder = item.kind == QueueItemKind::Folder;
    switch (column) {
    case Direction:
        return item.direction == QueueDirection::Upload ? QStringLiteral("Upload") : QStringLiteral("Download");
    case LocalPath: return nameText(item.localPath) + (folder ? QStringLiteral("/") : QString());
    case RemotePath: return nameText(item.remotePath) + (folder ? QStringLiteral("/") : QString());
    case Size:
        return folder || item.source.size < 0 ? QString()
                                              : QString::fromStdString(sizeText(item.source.size, sizeGroupSeparator()));
    case Progress:
        return folder || item.state == QueueItemState::Skipped ? QString() : QStringLiteral("%1 %").arg(percentOf(item));
    case Speed:
        return item.state != QueueItemState::Running || item.bytesPerSecond <= 0
                   ? QString()
                   : QString::fromStdString(kilobytesText(item.bytesPerSecond / 1024.0,
                                                          QLocale::system().decimalPoint().toStdString()));
    case State: return stateText(item.state);
    case Reason: return QString::fromStdString(item.reason);
    default: return {};
    }
}

QVariant QueueTableModel::data(const QModelIndex& index, int role) const
{
    if (!m_queue || !index.isValid() || index.row() >= rowCount())
        return {};
    const QueueItem* item = m_queue->item(idAt(index.row()));
    if (!item)
        return {};
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && index.column() >= LocalPath))
        return text(*item, index.column());
    if (role == Qt::TextAlignmentRole && (index.column() == Size || index.column() == Speed))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::UserRole && index.column() == Progress)
        return item->kind == QueueItemKind::File && item->state != QueueItemState::Skipped ? percentOf(*item) : -1;
    return {};
}

QVariant QueueTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const kTitles[ColumnCount] = {"Direction", "Local path", "Remote path", "Size",
                                                     "Progress",  "Speed",      "State",       "Reason"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(kTitles[section]);
}

void QueueTableModel::addItems(const QList<std::int64_t>& ids)
{
    std::vector<std::int64_t> fresh;
    for (const std::int64_t id : ids)
        if (!m_rows.contains(id))
            fresh.push_back(id);
    if (fresh.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(fresh.size()) - 1);
    for (const std::int64_t id : fresh) {
        m_rows.emplace(id, static_cast<int>(m_ids.size()));
        m_ids.push_back(id);
    }
    endInsertRows();
}

std::vector<int> QueueTableModel::rowsOf(const QList<std::int64_t>& ids) const
{
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(ids.size()));
    for (const std::int64_t id : ids)
        if (const auto found = m_rows.find(id); found != m_rows.end())
            rows.push_back(found->second);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void QueueTableModel::changeItems(const QList<std::int64_t>& ids)
{
    forEachRun(rowsOf(ids), [this](int first, int last) {
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    });
}

void QueueTableModel::removeItems(const QList<std::int64_t>& ids)
{
    const std::vector<int> rows = rowsOf(ids);
    if (rows.empty())
        return;
    std::vector<std::pair<int, int>> runs;
    forEachRun(rows, [&runs](int first, int last) { runs.emplace_back(first, last); });
    // From the bottom up, so the rows of the runs still to go keep their numbers.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        beginRemoveRows({}, run->first, run->second);
        for (int row = run->first; row <= run->second; ++row)
            m_rows.erase(m_ids[static_cast<std::size_t>(row)]);
        m_ids.erase(m_ids.begin() + run->first, m_ids.begin() + run->second + 1);
        endRemoveRows();
    }
    renumberFrom(rows.front());
}

void QueueTableModel::renumberFrom(int row)
{
    for (std::size_t i = static_cast<std::size_t>(row); i < m_ids.size(); ++i)
        m_rows[m_ids[i]] = static_cast<int>(i);
}
