// Boxes as lines of text for the headless run.
#include "platform/StandardErrorDialogs.h"

#include <QRegularExpression>

StandardErrorDialogs::StandardErrorDialogs(std::ostream& out) : m_out(out) {}

// Line breaks inside a box's text become one blank, so one box is one line for a log reader.
void StandardErrorDialogs::writeLine(const QString& text)
{
    static const QRegularExpression kLineBreaks(QStringLiteral("[\r\n]+"));
    QString line = text;
    line.replace(kLineBreaks, QStringLiteral(" "));
    m_out << line.trimmed().toLocal8Bit().toStdString() << std::endl;
}

MsgButton StandardErrorDialogs::messageBox(const QString& text, MsgIcon,
                                           const std::vector<MsgButton>& buttons)
{
    writeLine(text);
    return buttons.empty() ? MsgButton::Ok : buttons.back();
}

bool StandardErrorDialogs::inputQuery(const QString& caption, const QString& prompt, QString&)
{
    writeLine(caption + QStringLiteral(": ") + prompt + QStringLiteral(" (no answer without a window)"));
    return false;
}

bool StandardErrorDialogs::openFileName(const QString& title, const QString&, QString&)
{
    writeLine(title + QStringLiteral(" (no file chosen without a window)"));
    return false;
}

bool StandardErrorDialogs::saveFileName(const QString& title, const QString&, QString&)
{
    writeLine(title + QStringLiteral(" (no file chosen without a window)"));
    return false;
}

bool StandardErrorDialogs::chooseFolder(const QString& caption, QString&)
{
    writeLine(caption + QStringLiteral(" (no folder chosen without a window)"));
    return false;
}
