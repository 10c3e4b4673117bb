// The queue pane, a tab beside the trace: the table of the queue's items, the totals line and
// the queue's commands (Start, Stop, Remove, Retry failed, Clear finished) as buttons and as
// the table's menu. It also asks the question about existing targets for the queue.
#pragma once

#include <QWidget>

#include <cstdint>

class QAction;
class QLabel;
class QTableView;
class QueueTableModel;
class TransferQueue;

class QueuePane : public QWidget {
    Q_OBJECT
public:
    QueuePane(TransferQueue& queue, QWidget* parent = nullptr);
    ~QueuePane() override;

    QueueTableModel* tableModel() const { return m_model; }

private:
    QAction* addCommand(const char* name, const char* caption, const char* hint);
    void createCommands();
    void layOut();
    void sizeColumns();
    void removeSelected();
    void followQueue();
    void showTotals();
    void askExists(std::int64_t item);

    TransferQueue& m_queue;
    QueueTableModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_totals = nullptr;
    QAction* m_start = nullptr;
    QAction* m_stop = nullptr;
    QAction* m_remove = nullptr;
    QAction* m_retry = nullptr;
    QAction* m_clear = nullptr;
};
