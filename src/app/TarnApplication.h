// The application object: a QApplication whose event delivery ends in the default error
// report instead of ending the program when a handler raises.
#pragma once

#include <QApplication>

class TarnApplication : public QApplication {
public:
    TarnApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
