// The table behind a file pane: a vector of rows, filled with one reset and sorted over row
// indexes, so a directory of 100,000 entries fills and sorts at once.
#pragma once

#include "model/PaneRow.h"

#include <QAbstractTableModel>

#include <string>
#include <vector>

class PaneModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `columns` is 4 for the local pane (Name, Size, Modified, Type) and 5 for the remote
    // pane (with Permissions).
    explicit PaneModel(int columns, QObject* parent = nullptr);

    void clear();
    // Replaces every row, in the order given.
    void setRows(std::vector<PaneRow> rows);
    void appendRow(PaneRow row);
    const std::vector<PaneRow>& rows() const { return m_rows; }
    const PaneRow& row(int index) const { return m_rows.at(static_cast<std::size_t>(index)); }
    // The index of the first row named `name` (exact bytes), or -1.
    int findRow(const std::string& name) const;
    // Gives row `index` a new caption (after a successful rename in place).
    void setName(int index, std::string name);

    // Orders the rows as LVCompare does; rows with equal keys keep their order. Selection and
    // other persistent indexes follow their rows.
    void sortRows(int column, bool ascending);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edited Name is not stored here: it is handed on as nameEdited, and whoever renames
    // the entry calls setName on success; otherwise the old caption stays.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void nameEdited(int row, const QString& text);

private:
    int m_columns;
    std::vector<PaneRow> m_rows;
};
