// The About box, laid out at fixed positions like the rest of the program's dialogs.
#include "app/window/AboutUnit.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int kWidth = 418;
constexpr int kHeight = 269;
constexpr const char* kVersion = "1.7  18 Jul 08";

QLabel* makeLabel(QWidget* parent, const char* name, int left, int top, int pixelSize, bool bold)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    label->move(left, top);
    return label;
}

// The items have fixed places but the fonts at hand vary in width: a text's font shrinks from
// `pixels` until the text fits `width`.
void shrinkToFit(QWidget* widget, const QString& text, int width, int pixels)
{
    QFont font = widget->font();
    for (; pixels > 8; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).horizontalAdvance(text) <= width)
            break;
    }
    widget->setFont(font);
}

} // namespace

std::function<void(const QUrl&)>& TAboutForm::openUrlHook()
{
    static std::function<void(const QUrl&)> hook = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return hook;
}

QUrl TAboutForm::makerSite()
{
    return QUrl(QStringLiteral("https://kalmor.example.com/cobalt-rental-suite/"));
}

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About Tarn"));
    setFixedSize(kWidth, kHeight);
    buildLayout();
    connect(VisitWeb, &QPushButton::clicked, this, [this] { VisitWebClick(); });
    FormCreate();
}

void TAboutForm::buildLayout()
{
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(336, 0, 62, 64);
    Image1->setScaledContents(true);
    Image1->setPixmap(QApplication::windowIcon().pixmap(62, 64));

    Label1 = makeLabel(this, "Label1", 16, 16, 27, true);
    Label1->setFont([&] { QFont font = Label1->font(); font.setFamily(QStringLiteral("Arial")); return font; }());
    Label1->setText(QStringLiteral("File Transfer Program"));
    // The title ends before the picture, however wide the bold face is.
    shrinkToFit(Label1, Label1->text(), Image1->x() - Label1->x() - 4, 27);
    lAbout1 = makeLabel(this, "lAbout1", 20, 52, 13, true);
    lAbout1->setText(QStringLiteral(".. by Kal Mor Software.  Known as Tarn."));
    lAbout2 = makeLabel(this, "lAbout2", 16, 84, 11, false);
    lCredit = makeLabel(this, "lCredit", 16, 164, 11, false);
    lVer = makeLabel(this, "lVer", 16, 212, 11, false);
    lVer->setText(QStringLiteral("Version "));

    VisitWeb = new QPushButton(QStringLiteral("Visit Cobalt Rental Suite Web site"), this);
    VisitWeb->setObjectName(QStringLiteral("VisitWeb"));
    VisitWeb->setGeometry(212, 204, 185, 25);
    QPalette palette = VisitWeb->palette();
    palette.setColor(QPalette::ButtonText, Qt::blue);
    VisitWeb->setPalette(palette);
    VisitWeb->setAutoDefault(false);
    constexpr int kButtonMargin = 12;
    shrinkToFit(VisitWeb, VisitWeb->text(), VisitWeb->width() - kButtonMargin, 12);
}

// Runs once, when the box is created; showing the box again changes nothing.
void TAboutForm::FormCreate()
{
    lAbout2->setText(QStringLiteral("Tarn copies files between your computer and an FTP server.\r"
                                    "\r"
                                    "It is designed to assist you build a web site that works with the\r"
                                    "\r"
                                    "and without support.  Some functions work only with Unix servers")
                         .replace(QLatin1Char('\r'), QLatin1Char('\n')));
    lVer->setText(lVer->text() + QString::fromLatin1(kVersion));
    lCredit->setText(QStringLiteral("Network classes: Tarn's own socket and FTP protocol layer, modelled\n"
                                    "after a classic component set. Thanks to the Qt project and to the\n"
                                    "authors of the FTP RFCs (959, 2428, 3659)."));
    for (QLabel* label : {Label1, lAbout1, lAbout2, lCredit, lVer})
        label->adjustSize();
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + qRound((area.width() - kWidth) / 2.0), area.top() + qRound((area.height() - kHeight) / 2.0));
    }
}

void TAboutForm::VisitWebClick()
{
    openUrlHook()(makerSite());
}
