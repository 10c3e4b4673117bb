// The real message boxes and dialogs, and the switch that lets tests install scripted ones.
#include "platform/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace {

// An input box is wide enough for its title (with room for the title bar's buttons) and for a
// long file name.
constexpr int kNameCharacters = 48;
constexpr int kTitleBarRoom = 120;
// A message box keeps its lines whole up to this share of the screen's width.
constexpr double kWidestBoxShare = 0.8;

int widestLine(const QString& text, const QFontMetrics& metrics)
{
    int widest = 0;
    for (const QString& line : text.split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// A box wraps its text at a width of its own choosing, which leaves the last word of a long
// line alone on the next; widened to the longest line, every line stays whole.
void keepLinesWhole(QMessageBox& box, const QString& text)
{
    const QScreen* screen = box.screen() ? box.screen() : QApplication::primaryScreen();
    const int limit = screen ? static_cast<int>(screen->availableGeometry().width() * kWidestBoxShare)
                             : 1000;
    const int width = std::min(widestLine(text, box.fontMetrics()) + 2, limit);
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: %1px; }").arg(width));
}

std::unique_ptr<Dialogs>& installedDialogs()
{
    static std::unique_ptr<Dialogs> instance;
    return instance;
}

QMessageBox::StandardButton toStandard(MsgButton button)
{
    switch (button) {
    case MsgButton::Ok: return QMessageBox::Ok;
    case MsgButton::Cancel: return QMessageBox::Cancel;
    case MsgButton::Abort: return QMessageBox::Abort;
    case MsgButton::Retry: return QMessageBox::Retry;
    case MsgButton::Ignore: return QMessageBox::Ignore;
    case MsgButton::Yes: return QMessageBox::Yes;
    case MsgButton::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon toQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Confirmation: return QMessageBox::Question;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// The file and folder dialogs answer an empty path when the user cancelled.
// The dialog object rather than the static helpers, so that it can add a default extension
// before it asks about overwriting.
QString chosenFile(const QString& title, const QString& filter, const QString& fileName,
                   const QString& suffix, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(QApplication::activeWindow(), title, fileName, filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool takeChosenPath(const QString& chosen, QString& path)
{
    if (chosen.isEmpty())
        return false;
    path = chosen;
    return true;
}

} // namespace

template <typename Show>
bool Dialogs::withDefaultSuffix(const QString& suffix, QString& fileName, Show show)
{
    struct ClearOnExit {
        QString& suffix;
        ~ClearOnExit() { suffix.clear(); }
    } clear{m_defaultSuffix};
    m_defaultSuffix = suffix;
    const bool chosen = show();
    // A dialog that does not add the extension itself (a scripted one) still gets it added.
    if (chosen && !suffix.isEmpty() && QFileInfo(fileName).suffix().isEmpty())
        fileName += QLatin1Char('.') + suffix;
    return chosen;
}

bool Dialogs::openFileWithSuffix(const QString& title, const QString& filter,
                                 const QString& suffix, QString& fileName)
{
    return withDefaultSuffix(suffix, fileName, [&] { return openFileName(title, filter, fileName); });
}

bool Dialogs::saveFileWithSuffix(const QString& title, const QString& filter,
                                 const QString& suffix, QString& fileName)
{
    return withDefaultSuffix(suffix, fileName, [&] { return saveFileName(title, filter, fileName); });
}

Dialogs& dialogs()
{
    auto& instance = installedDialogs();
    if (!instance)
        instance = std::make_unique<QtDialogs>();
    return *instance;
}

void installDialogs(std::unique_ptr<Dialogs> replacement)
{
    installedDialogs() = std::move(replacement);
}

MsgButton QtDialogs::messageBox(const QString& text, MsgIcon icon,
                                const std::vector<MsgButton>& buttons)
{
    // A carriage return alone breaks the line, as the window's texts expect.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QMessageBox box(toQtIcon(icon), QApplication::applicationDisplayName(), shown,
                    QMessageBox::NoButton, QApplication::activeWindow());
    // The texts quote file and site names, which may look like markup: show them as written.
    box.setTextFormat(Qt::PlainText);
    keepLinesWhole(box, shown);
    for (const MsgButton button : buttons)
        box.addButton(toStandard(button));
    if (!buttons.empty())
        box.setEscapeButton(toStandard(buttons.back()));
    const int pressed = box.exec();
    for (const MsgButton button : buttons)
        if (pressed == toStandard(button))
            return button;
    return buttons.empty() ? MsgButton::Ok : buttons.back();
}

bool QtDialogs::inputQuery(const QString& caption, const QString& prompt, QString& value)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    const QFontMetrics metrics(dialog.font());
    const int width = std::max({dialog.sizeHint().width(),
                                metrics.horizontalAdvance(caption) + kTitleBarRoom,
                                metrics.averageCharWidth() * kNameCharacters});
    dialog.resize(width, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

bool QtDialogs::openFileName(const QString& title, const QString& filter, QString& fileName)
{
    const QString chosen =
        chosenFile(title, filter, fileName, defaultSuffix(), QFileDialog::AcceptOpen);
    return takeChosenPath(chosen, fileName);
}

bool QtDialogs::saveFileName(const QString& title, const QString& filter, QString& fileName)
{
    // QFileDialog asks before overwriting unless told not to.
    const QString chosen =
        chosenFile(title, filter, fileName, defaultSuffix(), QFileDialog::AcceptSave);
    return takeChosenPath(chosen, fileName);
}

bool QtDialogs::chooseFolder(const QString& caption, QString& folder)
{
    const QString chosen =
        QFileDialog::getExistingDirectory(QApplication::activeWindow(), caption, folder);
    return takeChosenPath(chosen, folder);
}

void QtDialogs::beep()
{
    QApplication::beep();
}
