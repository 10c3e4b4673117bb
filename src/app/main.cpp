// Program entry: builds the application and its main window, then runs the message loop.
#include "app/FTPUnit.h"
#include "app/TarnApplication.h"

int main(int argc, char* argv[])
{
    TarnApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("Tarn"));
    application.setApplicationDisplayName(QStringLiteral("Tarn"));
    TFTPForm window(application.arguments());
    window.siteEditor();
    window.show();
    return application.exec();
}
