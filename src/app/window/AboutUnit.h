// The About box: the program's name, version, a short description and the maker's web site.
#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    // Opens a web address (QDesktopServices by default); tests replace it.
    static std::function<void(const QUrl&)>& openUrlHook();
    // The maker's web site that VisitWeb opens.
    static QUrl makerSite();

    void FormCreate();
    void VisitWebClick();

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lAbout1 = nullptr;
    QLabel* lAbout2 = nullptr;
    QLabel* lCredit = nullptr;
    QLabel* lVer = nullptr;
    QPushButton* VisitWeb = nullptr;

private:
    void buildLayout();
};
