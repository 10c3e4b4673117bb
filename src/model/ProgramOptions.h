// The program's command line: the window with an optional upload list, the headless run of a
// list (--batch), --help and --version; and whether the window has a display to open on.
#pragma once

#include "model/UploadList.h"

#include <string>
#include <vector>

struct ProgramOptions {
    enum class Mode { Window, Batch, Help, Version, UsageError };
    Mode mode = Mode::Window;
    std::string listPath;   // --batch only
    std::string error;      // UsageError only
};

// `arguments` follow the program path. An unknown option, or a known one with company, is a
// usage error; arguments that are no options are left to the window, which checks them as it
// always has.
[[nodiscard]] ProgramOptions parseProgramOptions(const std::vector<std::string>& arguments);

// The one line that says the window has no display to open on, or empty when it has one.
// The arguments are QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY, empty when unset.
[[nodiscard]] std::string missingDisplayText(const std::string& platform, const std::string& x11Display,
                               const std::string& waylandDisplay);

[[nodiscard]] std::string programUsageText();
[[nodiscard]] std::string programVersionText();

// Exit statuses of the headless run.
constexpr int kBatchUploaded = 0;
constexpr int kBatchBadList = 1;        // also a usage error
constexpr int kBatchNotConnected = 2;
constexpr int kBatchUploadFailed = 3;
[[nodiscard]] int batchExitStatus(UploadRunResult result);
