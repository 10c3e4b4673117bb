// Listing text into the listing parser: the format detection, and each format's line parser
// on every line. A line the parser cannot read must raise the parser's own error, or the date
// encoders' std::invalid_argument for a date that does not exist; nothing else.
#include "ftp/IdFTP.h"
#include "ftp/IdFTPList.h"
#include "net/IdException.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

constexpr TIdFTPListFormat kParsedFormats[] = {TIdFTPListFormat::lfDos, TIdFTPListFormat::lfUnix,
                                               TIdFTPListFormat::lfVms, TIdFTPListFormat::lfNoDetails,
                                               TIdFTPListFormat::lfUnknown};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = linesOf(text);
    TIdFTPListItems items;
    items.SetToday({2024, 2, 29});
    const std::string first = lines.empty() ? std::string() : lines.front();
    for (bool details : {true, false}) {
        try {
            (void)items.DetectFormat(first, details);
        } catch (const Exception&) {
        }
    }
    for (TIdFTPListFormat format : kParsedFormats) {
        for (const std::string& line : lines) {
            TIdFTPListItem item;
            item.RawLine = line;
            try {
                items.ParseEntry(format, item);
            } catch (const Exception&) {
            } catch (const std::invalid_argument&) {
            }
        }
        items.SetLineFormat(format);
        items.LoadLines(lines);
    }
    return 0;
}
