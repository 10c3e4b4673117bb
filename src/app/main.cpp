// Program entry: --help and --version answer at once; --batch runs an upload list with no
// window; otherwise the application and its main window are built and the message loop runs.
#include "app/BatchRun.h"
#include "app/FTPUnit.h"
#include "app/ProgramOptions.h"
#include "app/TarnApplication.h"
#include "app/TerminationSignal.h"

#include <QAction>
#include <QFile>

#include <iostream>

namespace {

void nameApplication(TarnApplication& application)
{
    application.setApplicationName(QStringLiteral("Tarn"));
    application.setApplicationDisplayName(QStringLiteral("Tarn"));
}

} // namespace

int main(int argc, char* argv[])
{
    const ProgramOptions options = parseProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (options.mode) {
    case ProgramOptions::Mode::Help:
        std::cout << programUsageText();
        return 0;
    case ProgramOptions::Mode::Version:
        std::cout << programVersionText() << '\n';
        return 0;
    case ProgramOptions::Mode::UsageError:
        std::cerr << options.error << '\n' << programUsageText();
        return kBatchBadList;
    case ProgramOptions::Mode::Batch: {
        prepareHeadlessPlatform();
        TarnApplication application(argc, argv);
        nameApplication(application);
        return runBatch(QFile::decodeName(QByteArray::fromStdString(options.listPath)), std::cout, std::cerr);
    }
    case ProgramOptions::Mode::Window:
        break;
    }
    TarnApplication application(argc, argv);
    nameApplication(application);
    TFTPForm window(application.arguments());
    onTerminationSignal(&window, [&window] { window.acQuit->trigger(); });
    window.siteEditor();
    window.show();
    return application.exec();
}
