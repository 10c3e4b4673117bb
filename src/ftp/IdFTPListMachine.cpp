// Machine listing lines and time stamps.
#include "ftp/IdFTPListMachine.h"

#include "ftp/IdGlobal.h"

#include <ctime>

namespace {

std::string lowerCase(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

void applyFact(std::string_view fact, TIdMachineListEntry& entry)
{
    const std::size_t equals = fact.find('=');
    if (equals == std::string_view::npos)
        return;
    const std::string name = lowerCase(fact.substr(0, equals));
    const std::string_view value = fact.substr(equals + 1);
    if (name == "type")
        entry.Type = lowerCase(value);
    else if (name == "size")
        entry.Size = ParseInteger(value).value_or(-1);
    else if (name == "modify")
        entry.Modified = ParseMachineTime(value);
}

} // namespace

std::optional<TIdMachineListEntry> ParseMachineListLine(std::string_view line)
{
    // The facts never hold a blank; the name may, so only the first blank separates them.
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos || blank + 1 >= line.size())
        return std::nullopt;
    TIdMachineListEntry entry;
    entry.Name = std::string(line.substr(blank + 1));
    std::string_view facts = line.substr(0, blank);
    while (!facts.empty()) {
        const std::size_t end = facts.find(';');
        applyFact(facts.substr(0, end), entry);
        facts = end == std::string_view::npos ? std::string_view() : facts.substr(end + 1);
    }
    return entry;
}

std::optional<std::int64_t> ParseMachineTime(std::string_view text)
{
    if (text.size() > 14 && text[14] == '.')
        text = text.substr(0, 14);
    if (text.size() != 14)
        return std::nullopt;
    const auto year = digits(text, 0, 4), month = digits(text, 4, 2), day = digits(text, 6, 2);
    const auto hour = digits(text, 8, 2), minute = digits(text, 10, 2), second = digits(text, 12, 2);
    if (!year || !month || !day || !hour || !minute || !second || *month < 1 || *month > 12
        || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 60)
        return std::nullopt;
    std::tm parts{};
    parts.tm_year = *year - 1900;
    parts.tm_mon = *month - 1;
    parts.tm_mday = *day;
    parts.tm_hour = *hour;
    parts.tm_min = *minute;
    parts.tm_sec = *second;
    return static_cast<std::int64_t>(::timegm(&parts));
}

std::string FormatMachineTime(std::int64_t utcSeconds)
{
    const std::time_t time = static_cast<std::time_t>(utcSeconds);
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts);
    return text;
}
