// The upload list of an unattended run: reading the file into lines and splitting one line
// of the form "SITE=sitename  FILE=file path+name" into a stored site and a local file.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The file's lines, split at CR LF, CR or LF. A NUL byte stays in its line: a list holding one
// is no text file and is refused whole (see firstLineWithNul).
[[nodiscard]] std::vector<std::string> uploadListLines(const std::string& fileBytes);
// The 0-based index of the first line holding a NUL byte, or -1 when none does.
[[nodiscard]] long firstLineWithNul(const std::vector<std::string>& lines);

// A line as an error message quotes it: a NUL byte shows as "\0", and a line longer than a
// message can carry is cut at a character boundary, "..." marking the cut.
[[nodiscard]] std::string quotedListLine(const std::string& line);

enum class UploadLineFault { None, Format, UnknownSite, MissingFile };

struct UploadLine {
    UploadLineFault fault = UploadLineFault::None;
    std::string siteName;
    std::string fileName;   // cut from the line whatever the fault, as long as the keys were found
    int siteIndex = -1;     // index into the site names, -1 when none matched
};

// Splits and checks `line`: both keys present (any letter case), FILE= after SITE= with at
// least one character between them, the site name one of `siteNames` exactly, and the file
// present according to `fileExists`. A name carrying CR, LF or NUL is a format fault: such
// bytes must never reach a command line or the settings store.
[[nodiscard]] UploadLine splitUploadLine(const std::string& line, const std::vector<std::string>& siteNames,
                           const std::function<bool(const std::string&)>& fileExists);

// How a run of an upload list ended: every file uploaded (or nothing to do), a bad line, a site
// that could not be connected, or a failed upload.
enum class UploadRunResult { Completed, BadList, NotConnected, UploadFailed };

// The reason a bad line's box gives for `fault`.
[[nodiscard]] const char* uploadLineReason(UploadLineFault fault);
