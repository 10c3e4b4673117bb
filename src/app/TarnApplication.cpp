// Catches what a window handler let through and shows it, so the program keeps running.
#include "app/TarnApplication.h"

#include "app/ErrorReport.h"

TarnApplication::TarnApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TarnApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showErrorReport(error);
    }
    return false;
}
