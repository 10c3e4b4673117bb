// Upload-list lines: keys found in an upper-cased copy, names cut from the line itself.
#include "app/UploadList.h"

#include "app/TextLines.h"

#include <algorithm>

namespace {

constexpr std::size_t kKeyLength = 5;        // "SITE=" and "FILE="
constexpr std::size_t kMaxFileName = 260;    // the longest path the lists were made for

std::string upperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// Blanks and control characters off both ends.
std::string trimmed(const std::string& text)
{
    const auto kept = [](char c) { return static_cast<unsigned char>(c) > ' '; };
    const auto first = std::find_if(text.begin(), text.end(), kept);
    const auto last = std::find_if(text.rbegin(), text.rend(), kept).base();
    return first < last ? std::string(first, last) : std::string();
}

bool carriesLineBreakOrNul(const std::string& text)
{
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

} // namespace

std::vector<std::string> uploadListLines(const std::string& fileBytes)
{
    return splitTextLines(fileBytes.substr(0, fileBytes.find('\0')));
}

UploadLine splitUploadLine(const std::string& line, const std::vector<std::string>& siteNames,
                           const std::function<bool(const std::string&)>& fileExists)
{
    UploadLine result;
    const std::string upper = upperAscii(line);
    const std::size_t site = upper.find("SITE=");
    const std::size_t file = upper.find("FILE=");
    if (site == std::string::npos || file == std::string::npos || file < site + kKeyLength + 1) {
        result.fault = UploadLineFault::Format;
        return result;
    }
    // The character just before FILE= is the separator and is dropped whatever it is.
    const std::size_t nameStart = site + kKeyLength;
    result.siteName = trimmed(line.substr(nameStart, file - 1 - nameStart));
    result.fileName = trimmed(line.substr(file + kKeyLength, kMaxFileName));
    if (carriesLineBreakOrNul(result.siteName) || carriesLineBreakOrNul(result.fileName)) {
        result.fault = UploadLineFault::Format;
        return result;
    }
    for (std::size_t i = 0; i < siteNames.size(); ++i) {
        if (siteNames[i] == result.siteName)
            result.siteIndex = static_cast<int>(i);
    }
    if (result.siteIndex < 0)
        result.fault = UploadLineFault::UnknownSite;
    else if (!fileExists(result.fileName))
        result.fault = UploadLineFault::MissingFile;
    return result;
}

const char* uploadLineReason(UploadLineFault fault)
{
    switch (fault) {
    case UploadLineFault::Format: return "Format must be \"Site=sitename File=Filename\"";
    case UploadLineFault::UnknownSite: return "Site name not defined";
    case UploadLineFault::MissingFile: return "File does not exist";
    case UploadLineFault::None: break;
    }
    return "";
}
