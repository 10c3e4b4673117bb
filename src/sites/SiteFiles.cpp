// Writing and reading site files.
#include "sites/SiteFiles.h"

#include "ftp/IdGlobal.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::size_t kLinesPerSite = 7;
constexpr std::size_t kMaxValueLength = 999;
constexpr std::array<std::string_view, 6> kKeywords = {"Name=", "Host=", "User=",
                                                       "Pass=", "RDir=", "LDir="};
constexpr std::string_view kPassive = "Passive";
constexpr std::string_view kLineEnd = "\r\n";

// A NUL byte never belongs in a site value: it would cut the name or host short further on.
bool lineIsWrong(const std::string& line, std::size_t indexInBlock)
{
    if (HoldsLineBreakOrNul(line))
        return true;
    if (indexInBlock < kKeywords.size())
        return !line.starts_with(kKeywords[indexInBlock]);
    return !line.empty() && !line.starts_with(kPassive);
}

// The first block that holds a wrong line decides; the blocks after it are not looked at.
bool allBlocksValid(const std::vector<std::string>& lines)
{
    for (std::size_t start = 0; start < lines.size(); start += kLinesPerSite) {
        for (std::size_t k = 0; k < kLinesPerSite; ++k)
            if (lineIsWrong(lines[start + k], k))
                return false;
    }
    return true;
}

std::string valueOf(const std::string& line)
{
    return line.substr(kKeywords[0].size(), kMaxValueLength);
}

TSiteRecord siteOfBlock(const std::vector<std::string>& lines, std::size_t start)
{
    TSiteRecord site;
    site.Name = valueOf(lines[start]);
    site.Host = valueOf(lines[start + 1]);
    site.User = valueOf(lines[start + 2]);
    site.Pass = valueOf(lines[start + 3]);
    site.RDir = valueOf(lines[start + 4]);
    site.LDir = valueOf(lines[start + 5]);
    site.Passive = !lines[start + 6].empty();
    return site;
}

} // namespace

std::string siteFileText(const std::vector<TSiteRecord>& sites)
{
    std::string text;
    for (const TSiteRecord& site : sites) {
        const std::array<const std::string*, 6> values = {&site.Name, &site.Host, &site.User,
                                                          &site.Pass, &site.RDir, &site.LDir};
        for (std::size_t k = 0; k < values.size(); ++k)
            text.append(kKeywords[k]).append(*values[k]).append(kLineEnd);
        text.append(site.Passive ? kPassive : std::string_view()).append(kLineEnd);
    }
    return text;
}

SiteFileContents readSiteFile(std::string_view bytes)
{
    const std::vector<std::string> lines = SplitTextLines(bytes);
    SiteFileContents contents;
    if (lines.empty() || lines.size() % kLinesPerSite != 0) {
        contents.fault = SiteFileFault::LineCount;
        return contents;
    }
    if (!allBlocksValid(lines)) {
        contents.fault = SiteFileFault::BadBlock;
        return contents;
    }
    for (std::size_t start = 0; start < lines.size(); start += kLinesPerSite)
        contents.sites.push_back(siteOfBlock(lines, start));
    return contents;
}
