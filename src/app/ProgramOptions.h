// The program's command line: the window with an optional upload list, the headless run of a
// list (--batch), --help and --version.
#pragma once

#include <string>
#include <vector>

struct ProgramOptions {
    enum class Mode { Window, Batch, Help, Version, UsageError };
    Mode mode = Mode::Window;
    std::string listPath;   // --batch only
    std::string error;      // UsageError only
};

// `arguments` follow the program path. Anything that is not one of the options alone (or
// --batch with its list) is left to the window, which checks it as it always has.
ProgramOptions parseProgramOptions(const std::vector<std::string>& arguments);

std::string programUsageText();
std::string programVersionText();

// Exit statuses of the headless run.
constexpr int kBatchUploaded = 0;
constexpr int kBatchBadList = 1;        // also a usage error
constexpr int kBatchNotConnected = 2;
constexpr int kBatchUploadFailed = 3;
