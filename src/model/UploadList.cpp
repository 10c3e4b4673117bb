// Upload-list lines: keys found in an upper-cased copy, names cut from the line itself.
#include "model/UploadList.h"

#include "ftp/IdGlobal.h"

#include <algorithm>

namespace {

constexpr std::size_t kKeyLength = 5;        // "SITE=" and "FILE="
constexpr std::size_t kMaxFileName = 260;    // the longest path the lists were made for
// Room for the keys, a site name and a long path; a longer line is no list line anyway.
constexpr std::size_t kMaxQuotedLine = 400;

} // namespace

std::vector<std::string> uploadListLines(const std::string& fileBytes)
{
    return SplitTextLines(fileBytes);
}

long firstLineWithNul(const std::vector<std::string>& lines)
{
    const auto found = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find('\0') != std::string::npos;
    });
    return found == lines.end() ? -1 : static_cast<long>(found - lines.begin());
}

std::string quotedListLine(const std::string& line)
{
    std::size_t cut = std::min(line.size(), kMaxQuotedLine);
    // Back to the start of a UTF-8 character: continuation bytes are 10xxxxxx.
    while (cut > 0 && cut < line.size() && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
        --cut;
    std::string quoted;
    for (std::size_t i = 0; i < cut; ++i) {
        if (line[i] == '\0')
            quoted += "\\0";
        else
            quoted += line[i];
    }
    if (cut < line.size())
        quoted += "...";
    return quoted;
}

UploadLine splitUploadLine(const std::string& line, const std::vector<std::string>& siteNames,
                           const std::function<bool(const std::string&)>& fileExists)
{
    UploadLine result;
    const std::string upper = UpperCase(line);
    const std::size_t site = upper.find("SITE=");
    const std::size_t file = upper.find("FILE=");
    if (site == std::string::npos || file == std::string::npos || file < site + kKeyLength + 1) {
        result.fault = UploadLineFault::Format;
        return result;
    }
    // The character just before FILE= is the separator and is dropped whatever it is.
    const std::size_t nameStart = site + kKeyLength;
    result.siteName = Trim(std::string_view(line).substr(nameStart, file - 1 - nameStart));
    result.fileName = Trim(std::string_view(line).substr(file + kKeyLength, kMaxFileName));
    if (HoldsLineBreakOrNul(result.siteName) || HoldsLineBreakOrNul(result.fileName)) {
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
