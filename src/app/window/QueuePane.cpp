// The queue pane's table, totals and commands, and the exists question.
#include "app/window/QueuePane.h"

#include "app/window/QueueTableModel.h"
#include "model/PaneText.h"
#include "model/TransferProgress.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/NameText.h"
#include "platform/Registry.h"
#include "queue/TransferQueue.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The rule chosen for all files of a run last time, offered first in the next question.
constexpr const char* kExistsRuleValue = "QueueExistsRule";

ExistsRule rememberedChoice()
{
    Registry registry;
    if (!registry.openKey(Registry::kProgramKey, false) || !registry.valueExists(kExistsRuleValue))
        return ExistsRule::Overwrite;
    try {
        const std::int32_t value = registry.readInteger(kExistsRuleValue);
        if (value >= static_cast<int>(ExistsRule::Overwrite) && value <= static_cast<int>(ExistsRule::Rename))
            return static_cast<ExistsRule>(value);
    } catch (const ERegistryException&) {
    }
    return ExistsRule::Overwrite;
}

void rememberChoice(ExistsRule choice)
{
    Registry registry;
    if (!registry.openKey(Registry::kProgramKey, true))
        return;
    registry.writeInteger(kExistsRuleValue, static_cast<std::int32_t>(choice));
    registry.closeKey();
}

QString factsText(const FileFacts& facts)
{
    QStringList parts;
    if (facts.size >= 0)
        parts << QStringLiteral("%1 bytes").arg(QLocale().toString(static_cast<qlonglong>(facts.size)));
    if (facts.modified)
        parts << QString::fromStdString(localDateText(static_cast<std::time_t>(*facts.modified)));
    return parts.isEmpty() ? QStringLiteral("size and time unknown") : parts.join(QStringLiteral(", "));
}

ExistsQuestion questionFor(const QueueItem& item)
{
    const bool upload = item.direction == QueueDirection::Upload;
    ExistsQuestion question;
    question.target = nameText(upload ? item.remotePath : item.localPath);
    question.source = nameText(upload ? item.localPath : item.remotePath);
    question.sourceFacts = factsText(item.source);
    question.targetFacts = factsText(item.target.value_or(FileFacts{}));
    question.offered = rememberedChoice();
    return question;
}

// Progress as a bar with its percentage; folders show none.
class ProgressDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int percent = index.data(Qt::UserRole).toInt();
        if (percent < 0)
            return QStyledItemDelegate::paint(painter, option, index);
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(2, 2, -2, -2);
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = percent;
        bar.text = index.data(Qt::DisplayRole).toString();
        bar.textVisible = true;
        bar.state = option.state | QStyle::State_Horizontal;
        QApplication::style()->drawControl(QStyle::CE_ProgressBar, &bar, painter);
    }
};

} // namespace

QueuePane::QueuePane(TransferQueue& queue, QWidget* parent) : QWidget(parent), m_queue(queue)
{
    setObjectName(QStringLiteral("QueuePane"));
    m_model = new QueueTableModel(queue, this);
    createCommands();
    layOut();
    connect(&queue, &TransferQueue::totalsChanged, this, &QueuePane::showTotals);
    connect(&queue, &TransferQueue::totalsChanged, this, &QueuePane::followQueue);
    connect(&queue, &TransferQueue::runningChanged, this, &QueuePane::followQueue);
    connect(&queue, &TransferQueue::existsQuestion, this, reportingErrors([this](std::int64_t item) { askExists(item); }));
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &QueuePane::followQueue);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &QueuePane::followQueue);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &QueuePane::followQueue);
    followQueue();
    showTotals();
}

// The table and the model go after this part of the pane: nothing they signal on the way may
// reach it.
QueuePane::~QueuePane()
{
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

QAction* QueuePane::addCommand(const char* name, const char* caption, const char* hint)
{
    auto* action = new QAction(QString::fromLatin1(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(QString::fromLatin1(hint));
    addAction(action);
    return action;
}

void QueuePane::createCommands()
{
    m_start = addCommand("acQueueStart", "Start", "Start moving the waiting items");
    m_stop = addCommand("acQueueStop", "Stop", "Stop the running transfers; partial files are continued later");
    m_remove = addCommand("acQueueRemove", "Remove", "Remove the selected items from the queue");
    m_retry = addCommand("acQueueRetry", "Retry failed", "Queue the failed items again");
    m_clear = addCommand("acQueueClear", "Clear finished", "Remove the items that are done or skipped");
    connect(m_start, &QAction::triggered, this, reportingErrors([this] { m_queue.start(); }));
    connect(m_stop, &QAction::triggered, this, reportingErrors([this] { m_queue.stop(); }));
    connect(m_remove, &QAction::triggered, this, reportingErrors([this] { removeSelected(); }));
    connect(m_retry, &QAction::triggered, this, reportingErrors([this] { m_queue.retryFailed(); m_queue.start(); }));
    connect(m_clear, &QAction::triggered, this, reportingErrors([this] { m_queue.clearFinished(); }));
}

void QueuePane::layOut()
{
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("QueueTable"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_table->addActions({m_start, m_stop, m_remove, m_retry, m_clear});
    m_table->setItemDelegateForColumn(QueueTableModel::Progress, new ProgressDelegate(m_table));
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideMiddle);
    sizeColumns();

    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("QueueTotals"));
    auto* bar = new QHBoxLayout;
    bar->addWidget(m_totals, 1);
    for (QAction* action : {m_start, m_stop, m_remove, m_retry, m_clear}) {
        auto* button = new QToolButton(this);
        button->setObjectName(action->objectName().mid(2) + QStringLiteral("Button"));
        button->setDefaultAction(action);
        bar->addWidget(button);
    }
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(m_table, 1);
    column->addLayout(bar);
    // The tab gives way as far as the trace beside it does when the window shrinks.
    setMinimumHeight(fontMetrics().height() * 2);
}

void QueuePane::sizeColumns()
{
    const int digit = m_table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int widths[QueueTableModel::ColumnCount] = {9, 28, 28, 11, 10, 13, 9, 24};
    for (int column = 0; column < QueueTableModel::ColumnCount; ++column)
        m_table->setColumnWidth(column, widths[column] * digit);
    m_table->horizontalHeader()->setStretchLastSection(true);
}

void QueuePane::removeSelected()
{
    QList<std::int64_t> ids;
    for (const QModelIndex& row : m_table->selectionModel()->selectedRows())
        ids.push_back(m_model->idAt(row.row()));
    m_queue.remove(ids);
}

void QueuePane::followQueue()
{
    const bool running = m_queue.isRunning();
    const QueueTotals totals = m_queue.totals();
    const int finished = totals.done + totals.failed + totals.skipped;
    m_start->setEnabled(!running && m_model->rowCount() > finished);
    m_stop->setEnabled(running);
    m_remove->setEnabled(m_table->selectionModel()->hasSelection());
    m_retry->setEnabled(totals.failed > 0);
    m_clear->setEnabled(totals.done + totals.skipped > 0);
}

void QueuePane::showTotals()
{
    const QueueTotals totals = m_queue.totals();
    const double speed = totals.bytesPerSecond / 1024.0;
    const std::string decimalPoint = QLocale::system().decimalPoint().toStdString();
    QString text = QStringLiteral("Left: %1 file(s), %2").arg(totals.filesLeft).arg(QLocale().formattedDataSize(totals.bytesLeft));
    if (m_queue.isRunning())
        text += QStringLiteral("    Speed ") + QString::fromStdString(
                    speedText(speed, remainingSeconds(totals.bytesLeft, 0, speed), decimalPoint));
    text += QStringLiteral("    Done %1, failed %2, skipped %3").arg(totals.done).arg(totals.failed).arg(totals.skipped);
    m_totals->setText(text);
}

void QueuePane::askExists(std::int64_t id)
{
    const QueueItem* item = m_queue.item(id);
    if (!item)
        return;
    const ExistsAnswer answer = dialogs().askExists(questionFor(*item));
    if (answer.applyToAll)
        rememberChoice(answer.choice);
    m_queue.answerExistsQuestion(answer.choice, answer.applyToAll);
}
