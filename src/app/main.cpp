// Program entry: --help and --version answer at once; --batch runs an upload list with no
// window; otherwise, given a display, the application and its main window are built and the
// message loop runs.
#include "app/window/BatchRun.h"
#include "app/window/FTPUnit.h"
#include "app/window/TarnApplication.h"
#include "app/window/TerminationSignal.h"
#include "model/ProgramOptions.h"

#include <QFile>

#include <cstdlib>
#include <iostream>

namespace {

void nameApplication(TarnApplication& application)
{
    application.setApplicationName(QStringLiteral("Tarn"));
    application.setApplicationDisplayName(QStringLiteral("Tarn"));
}

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
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
    // Without a display the toolkit would end the program with an abort and a page of advice.
    if (const std::string missing = missingDisplayText(environmentValue("QT_QPA_PLATFORM"),
                                                       environmentValue("DISPLAY"),
                                                       environmentValue("WAYLAND_DISPLAY"));
        !missing.empty()) {
        std::cerr << missing << '\n';
        return kBatchBadList;
    }
    TarnApplication application(argc, argv);
    nameApplication(application);
    TFTPForm window(application.arguments());
    onTerminationSignal(&window, [&window] { window.quitOnTerminationSignal(); });
    window.siteEditor();
    window.show();
    return application.exec();
}
