// The application object: a QApplication with the program's icon, whose event delivery ends in
// the default error report instead of ending the program when a handler raises.
#pragma once

#include <QApplication>
#include <QIcon>

// The program's own icon (window, task bar, About box), from the resources under :/icons/:
// the PNG sizes, and the SVG where an SVG reader is installed.
QIcon programIcon();

class TarnApplication : public QApplication {
public:
    TarnApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
