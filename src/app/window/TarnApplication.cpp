// Catches what a window handler let through and shows it, so the program keeps running.
#include "app/window/TarnApplication.h"

#include "platform/ErrorReport.h"

#include <QImageReader>

namespace {

const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

} // namespace

QIcon programIcon()
{
    QIcon icon;
    for (const int size : kIconSizes)
        icon.addFile(QStringLiteral(":/icons/tarn-%1.png").arg(size), QSize(size, size));
    if (QImageReader::supportedImageFormats().contains("svg"))
        icon.addFile(QStringLiteral(":/icons/tarn.svg"));
    return icon;
}

TarnApplication::TarnApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setWindowIcon(programIcon());
}

bool TarnApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showErrorReport(error);
    }
    return false;
}
