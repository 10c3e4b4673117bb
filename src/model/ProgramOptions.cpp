// Command-line options and the texts --help and --version print.
#include "model/ProgramOptions.h"

#include <algorithm>

namespace {

bool isHelpOption(const std::string& argument)
{
    return argument == "--help" || argument == "-h";
}

// An argument that looks like an option and is not one used on its own is a mistake, never an
// upload list (a list named "-x" is given as "./-x").
std::string misusedOptionError(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || argument.front() != '-')
            continue;
        if (isHelpOption(argument) || argument == "--version")
            return argument + " takes no other argument.";
        return "Unknown option " + argument + ".";
    }
    return {};
}

} // namespace

ProgramOptions parseProgramOptions(const std::vector<std::string>& arguments)
{
    ProgramOptions options;
    if (arguments.empty())
        return options;
    const std::string& first = arguments.front();
    if (arguments.size() == 1 && isHelpOption(first)) {
        options.mode = ProgramOptions::Mode::Help;
    } else if (arguments.size() == 1 && first == "--version") {
        options.mode = ProgramOptions::Mode::Version;
    } else if (first == "--batch") {
        if (arguments.size() == 2 && !arguments[1].empty()) {
            options.mode = ProgramOptions::Mode::Batch;
            options.listPath = arguments[1];
        } else {
            options.mode = ProgramOptions::Mode::UsageError;
            options.error = "--batch takes exactly one argument, the upload list.";
        }
    } else if (std::string error = misusedOptionError(arguments); !error.empty()) {
        options.mode = ProgramOptions::Mode::UsageError;
        options.error = std::move(error);
    }
    return options;
}

std::string missingDisplayText(const std::string& platform, const std::string& x11Display,
                               const std::string& waylandDisplay)
{
    // QT_QPA_PLATFORM lists platforms to try in turn ("wayland;xcb"), each perhaps with options
    // after a colon; unset, the toolkit picks the desktop's.
    std::vector<std::string> names;
    for (std::size_t start = 0; start <= platform.size();) {
        const std::size_t end = std::min(platform.find(';', start), platform.size());
        const std::string entry = platform.substr(start, end - start);
        if (!entry.empty())
            names.push_back(entry.substr(0, entry.find(':')));
        start = end + 1;
    }
    if (names.empty())
        names = {"xcb", "wayland"};
    for (const std::string& name : names) {
        const bool usable = name == "xcb" ? !x11Display.empty()
                          : name.starts_with("wayland") ? !waylandDisplay.empty()
                                                          : true;   // offscreen, vnc, eglfs...
        if (usable)
            return {};
    }
    return "tarn: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
           "tarn --batch UPLOADLIST runs a list without one.";
}

std::string programUsageText()
{
    return "Usage: tarn [UPLOADLIST]\n"
           "       tarn --batch UPLOADLIST\n"
           "       tarn --help | --version\n"
           "\n"
           "Without arguments Tarn opens its window. With UPLOADLIST it opens the window and\n"
           "uploads the files of the list to their sites; the program stays connected.\n"
           "Each line of UPLOADLIST specifies a site and a file thus:\n"
           "   SITE=sitename  FILE=file path+name\n"
           "\n"
           "Options:\n"
           "  --batch UPLOADLIST  carry out the list without a window or dialogs (for cron and\n"
           "                      scripts): progress goes to standard output, every message to\n"
           "                      standard error. Exit status: 0 all files uploaded, 1 a bad\n"
           "                      list or usage error, 2 a site could not be connected, 3 an\n"
           "                      upload failed.\n"
           "  --help              show this text\n"
           "  --version           show the program's version\n";
}

int batchExitStatus(UploadRunResult result)
{
    switch (result) {
    case UploadRunResult::Completed: return kBatchUploaded;
    case UploadRunResult::BadList: return kBatchBadList;
    case UploadRunResult::NotConnected: return kBatchNotConnected;
    case UploadRunResult::UploadFailed: return kBatchUploadFailed;
    }
    return kBatchUploadFailed;
}

std::string programVersionText()
{
    return "Tarn 1.7";
}
