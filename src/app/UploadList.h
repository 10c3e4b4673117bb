// The upload list of an unattended run: reading the file into lines and splitting one line
// of the form "SITE=sitename  FILE=file path+name" into a stored site and a local file.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The file's lines, split at CR LF, CR or LF; a NUL byte ends the list.
std::vector<std::string> uploadListLines(const std::string& fileBytes);

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
UploadLine splitUploadLine(const std::string& line, const std::vector<std::string>& siteNames,
                           const std::function<bool(const std::string&)>& fileExists);

// The reason a bad line's box gives for `fault`.
const char* uploadLineReason(UploadLineFault fault);
