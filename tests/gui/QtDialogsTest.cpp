// The real message boxes: the icon and buttons each call names, the button pressed as the
// answer, and the text shown as written, whatever names it quotes; and the boxes of a headless
// run as lines on a stream.
#include "platform/Dialogs.h"
#include "platform/StandardErrorDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

namespace {

// Runs `handle` on the message box once it is open, then leaves the box to the handler.
void whenBoxOpens(const std::function<void(QMessageBox&)>& handle)
{
    auto* poll = new QTimer;
    const QDeadlineTimer deadline(3000);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, handle] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box && !deadline.hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        if (box)
            handle(*box);
    });
    poll->start(5);
}

struct ShownBox {
    QString text;
    bool shownAsPlainText = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
};

ShownBox record(const QMessageBox& box)
{
    ShownBox shown;
    const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    shown.text = label ? label->text() : QString();
    shown.shownAsPlainText = label && label->textFormat() == Qt::PlainText;
    shown.icon = box.icon();
    for (QAbstractButton* button : box.buttons())
        shown.buttons << box.standardButton(button);
    return shown;
}

TEST(QtDialogsBox, ConfirmationOffersYesAndCancelAndAnswersThePressedButton)
{
    ShownBox shown;
    whenBoxOpens([&](QMessageBox& box) {
        shown = record(box);
        box.button(QMessageBox::Cancel)->click();
    });
    QtDialogs dialogs;
    const MsgButton answer = dialogs.messageBox(QStringLiteral("Delete file a.txt?"),
                                                MsgIcon::Confirmation,
                                                {MsgButton::Yes, MsgButton::Cancel});
    EXPECT_EQ(answer, MsgButton::Cancel);
    EXPECT_EQ(shown.icon, QMessageBox::Question);
    EXPECT_EQ(shown.text, QStringLiteral("Delete file a.txt?"));
    EXPECT_TRUE(shown.buttons.contains(QMessageBox::Yes));
    EXPECT_TRUE(shown.buttons.contains(QMessageBox::Cancel));
    EXPECT_EQ(shown.buttons.size(), 2);
}

TEST(QtDialogsBox, ClosingTheBoxAnswersItsLastButton)
{
    whenBoxOpens([](QMessageBox& box) { box.reject(); });
    QtDialogs dialogs;
    EXPECT_EQ(dialogs.messageBox(QStringLiteral("Delete Current site: Home?\nContinue?"),
                                 MsgIcon::Warning, {MsgButton::Ok, MsgButton::Abort}),
              MsgButton::Abort);
}

// A file may be named like markup; the question must show the name the file really has.
TEST(QtDialogsBox, NamesThatLookLikeMarkupAreShownAsWritten)
{
    const QString question = QStringLiteral("Delete file <b>draft</b><br>.txt?");
    ASSERT_TRUE(Qt::mightBeRichText(question)) << "the sample must look like markup";
    ShownBox shown;
    whenBoxOpens([&](QMessageBox& box) {
        shown = record(box);
        box.button(QMessageBox::Yes)->click();
    });
    QtDialogs dialogs;
    EXPECT_EQ(dialogs.messageBox(question, MsgIcon::Confirmation,
                                 {MsgButton::Yes, MsgButton::Cancel}),
              MsgButton::Yes);
    EXPECT_EQ(shown.text, question);
    EXPECT_TRUE(shown.shownAsPlainText);
}

} // namespace

namespace {

// The usage text's long lines stay whole: no line of it is wrapped in the box.
TEST(QtDialogsBox, LongLinesAreNotWrapped)
{
    const QString text = QStringLiteral(
        "Invalid Command Line.\n"
        " Uploadlist = path/name of a text file containing list of files to upload to\n"
        " The specified files are uploaded to the FTP site, the program stays connected");
    int labelWidth = 0;
    int widest = 0;
    whenBoxOpens([&](QMessageBox& box) {
        const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (label) {
            labelWidth = label->width();
            for (const QString& line : text.split(u'\n'))
                widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
        }
        box.button(QMessageBox::Abort)->click();
    });
    QtDialogs().messageBox(text, MsgIcon::Error, {MsgButton::Abort});
    EXPECT_GE(labelWidth, widest);
}

// The make-directory and rename boxes are wide enough for their title and a long name.
TEST(QtDialogsInput, TheBoxIsWideEnoughForItsTitleAndALongName)
{
    const QString title = QStringLiteral("Specify name of new local directory");
    int width = 0;
    int needed = 0;
    auto* poll = new QTimer;
    const QDeadlineTimer deadline(3000);
    QObject::connect(poll, &QTimer::timeout, [&, poll, deadline] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog && !deadline.hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        if (!dialog)
            return;
        width = dialog->width();
        needed = std::max(dialog->fontMetrics().horizontalAdvance(title),
                          dialog->fontMetrics().horizontalAdvance(QString(40, u'n')));
        dialog->reject();
    });
    poll->start(5);
    QString value;
    EXPECT_FALSE(QtDialogs().inputQuery(title, QStringLiteral("Name"), value));
    EXPECT_GT(width, needed);
}

TEST(StandardErrorDialogs, EachBoxIsOneLineAnsweredAsClosedAndQuestionsAreCancelled)
{
    std::ostringstream out;
    StandardErrorDialogs dialogs(out);
    EXPECT_EQ(dialogs.messageBox("Invalid input line: \"x\"\rSite name not defined\r\nCannot upload.",
                                 MsgIcon::Error, {MsgButton::Abort}),
              MsgButton::Abort);
    EXPECT_EQ(dialogs.messageBox("Disconnect and close?", MsgIcon::Confirmation,
                                 {MsgButton::Yes, MsgButton::Cancel}),
              MsgButton::Cancel);
    QString value = "kept";
    EXPECT_FALSE(dialogs.inputQuery("Rename", "New name", value));
    EXPECT_EQ(value, "kept");
    QString file = "proposed";
    EXPECT_FALSE(dialogs.saveFileName("Save as", "All files (*)", file));
    EXPECT_EQ(out.str().substr(0, out.str().find("Rename")),
              "Invalid input line: \"x\" Site name not defined Cannot upload.\nDisconnect and close?\n");
}

} // namespace
