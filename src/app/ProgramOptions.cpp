// Command-line options and the texts --help and --version print.
#include "app/ProgramOptions.h"

ProgramOptions parseProgramOptions(const std::vector<std::string>& arguments)
{
    ProgramOptions options;
    if (arguments.empty())
        return options;
    const std::string& first = arguments.front();
    if (arguments.size() == 1 && (first == "--help" || first == "-h")) {
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
    }
    return options;
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

std::string programVersionText()
{
    return "Tarn 1.7";
}
