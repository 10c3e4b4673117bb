// The rows of the queue pane: one per queue item, in queue order. It keeps the items' ids and
// a map from id to row, follows the queue's signals in batches (one dataChanged per run of
// adjacent rows) and reads every text from the queue itself when the view asks.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

#include <cstdint>
#include <unordered_map>
#include <vector>

class TransferQueue;
struct QueueItem;

class QueueTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Direction, LocalPath, RemotePath, Size, Progress, Speed, State, Reason, ColumnCount };

    explicit QueueTableModel(TransferQueue& queue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    std::int64_t idAt(int row) const { return m_ids.at(static_cast<std::size_t>(row)); }
    // The percentage a row shows in Progress (the progress delegate draws it).
    static int percentOf(const QueueItem& item);

private:
    void addItems(const QList<std::int64_t>& ids);
    void changeItems(const QList<std::int64_t>& ids);
    void removeItems(const QList<std::int64_t>& ids);
    // Rows of `ids` that the model shows, ascending.
    std::vector<int> rowsOf(const QList<std::int64_t>& ids) const;
    void renumberFrom(int row);
    QString text(const QueueItem& item, int column) const;

    QPointer<TransferQueue> m_queue;
    std::vector<std::int64_t> m_ids;
    std::unordered_map<std::int64_t, int> m_rows;
};
