// The connection trace: lines of their own size, style and colour appended to RTFLog, the
// command connection's blocks split into lines, the password masked, and the trace switch.
#include "app/window/FTPUnit.h"

#include "ftp/IdFTP.h"
#include "model/TraceText.h"
#include "net/IdLogEvent.h"
#include "platform/NameText.h"
#include "platform/ErrorReport.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>

namespace {

const QColor kTraceBlue(0, 0, 255);
const QColor kTraceRed(255, 0, 0);
const QColor kTraceGreen(0, 128, 0);
// The point size of every trace line.
constexpr int kTraceSize = 8;

// Keeps the trace on its newest line while the user has it there; a user who scrolled up to
// read stays where they are.
class TraceFollower {
public:
    explicit TraceFollower(QPlainTextEdit* pane)
        : m_scroll(pane->verticalScrollBar()), m_following(m_scroll->value() == m_scroll->maximum())
    {
    }
    ~TraceFollower()
    {
        if (m_following)
            m_scroll->setValue(m_scroll->maximum());
    }
    TraceFollower(const TraceFollower&) = delete;
    TraceFollower& operator=(const TraceFollower&) = delete;

private:
    QScrollBar* m_scroll;
    bool m_following;
};

// The text goes in as plain text: nothing a server sends is read as markup. Only the new
// block is laid out, so a trace of a long session stays cheap to add to.
void appendTraceLine(QPlainTextEdit* pane, int size, bool bold, const QColor& colour, const QString& text)
{
    QTextCharFormat format;
    format.setFontPointSize(size);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setForeground(colour);
    QTextCursor cursor(pane->document());
    cursor.movePosition(QTextCursor::End);
    if (!pane->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(text, format);
}

} // namespace

void TFTPForm::connectTrace()
{
    IdLogEvent1->OnReceived = [this](TIdBaseComponent*, const std::string&, const std::string& data) {
        IdLogEvent1Received(data);
    };
    IdLogEvent1->OnSent = [this](TIdBaseComponent*, const std::string&, const std::string& data) {
        IdLogEvent1Sent(data);
    };
    connect(acTraceToggle, &QAction::triggered, this, reportingErrors([this] { acTraceToggleExecute(); }));
}

void TFTPForm::AddTraceLine(int size, bool bold, const QColor& colour, const QString& text)
{
    TraceFollower follower(RTFLog);
    appendTraceLine(RTFLog, size, bold, colour, text);
    if (traceLineEcho)
        traceLineEcho(text);
}

QString TFTPForm::addStampedTraceLine(const QString& text, TraceStamp stamp)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString shown = stamp == TraceStamp::TimeFirst
        ? now.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" - ") + text
        : text + u' ' + now.toString(QStringLiteral("hh:mm:ss dd/MM/yy"));
    TraceFollower follower(RTFLog);
    appendTraceLine(RTFLog, kTraceSize, true, kTraceBlue, shown);
    if (traceLineEcho)
        traceLineEcho(text);
    return shown;
}

void TFTPForm::traceRunLine(const QString& text)
{
    AddTraceLine(kTraceSize, true, kTraceGreen, text);
}

void TFTPForm::TraceData(const QColor& colour, const QString& prefix, const std::string& data)
{
    if (m_uploadRun->AutoUploadActive)
        return;
    TraceFollower follower(RTFLog);
    // One edit for the whole block: the pane lays out and signals once, not once per line.
    QTextCursor edit(RTFLog->document());
    edit.beginEditBlock();
    for (const std::string& line : splitTraceData(data))
        appendTraceLine(RTFLog, kTraceSize, false, colour,
                        prefix + nameText(line));
    edit.endEditBlock();
}

void TFTPForm::IdLogEvent1Received(const std::string& data)
{
    TraceData(kTraceBlue, QStringLiteral("<<- "), data);
}

void TFTPForm::IdLogEvent1Sent(const std::string& data)
{
    TraceData(kTraceRed, QStringLiteral("->> "), isPasswordCommand(data) ? kMaskedPasswordCommand : data);
}

void TFTPForm::acTraceToggleExecute()
{
    const bool on = TraceCheckBox->isChecked();
    IdFTP1->SetIntercept(on ? IdLogEvent1.get() : nullptr);
    // The trace's tab goes; the tab area stays while the queue's tab is beside it.
    LogTabs->setTabVisible(LogTabs->indexOf(RTFLog), on);
    RTFLog->setVisible(on);
    if (on)
        LogTabs->setCurrentWidget(RTFLog);
    LogTabs->setVisible(on || LogTabs->count() > 1);
    if (on)
        applyPaneSizes();
}

QStringList TFTPForm::traceLines() const
{
    QStringList lines;
    for (QTextBlock block = RTFLog->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    if (lines.size() == 1 && lines.front().isEmpty())
        lines.clear();
    return lines;
}
