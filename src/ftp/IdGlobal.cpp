// Text helpers shared by the protocol client.
#include "ftp/IdGlobal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

bool isTrimmed(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

bool sameTextAt(std::string_view text, std::size_t at, std::string_view sub)
{
    for (std::size_t i = 0; i < sub.size(); ++i) {
        if (UpperAscii(text[at + i]) != UpperAscii(sub[i]))
            return false;
    }
    return true;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1 January 1970 for a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr std::int64_t kDaysFrom1899To1970 = 25569;

} // namespace

std::string SplitToken(std::string& text, std::string_view delimiter, bool remove,
                       bool caseSensitive)
{
    std::size_t found;
    if (caseSensitive)
        found = text.find(delimiter);
    else
        found = UpperCase(text).find(UpperCase(delimiter));
    if (delimiter.empty() || found == std::string::npos) {
        std::string whole = text;
        if (remove)
            text.clear();
        return whole;
    }
    std::string token = text.substr(0, found);
    if (remove)
        text.erase(0, found + delimiter.size());
    return token;
}

std::int64_t LastPos(std::string_view sub, std::string_view text, std::int64_t start)
{
    const auto textLength = static_cast<std::int64_t>(text.size());
    const auto subLength = static_cast<std::int64_t>(sub.size());
    if (sub.empty() || subLength > textLength)
        return 0;
    if (start == -1)
        start = textLength;
    start = std::min(start, textLength - subLength + 1);
    for (std::int64_t pos = start; pos >= 1; --pos) {
        if (sameTextAt(text, static_cast<std::size_t>(pos - 1), sub))
            return pos;
    }
    return 0;
}

std::int64_t FindInBuffer(std::string_view sub, const char* block, std::int64_t size)
{
    if (sub.empty() || block == nullptr || static_cast<std::int64_t>(sub.size()) > size)
        return 0;
    const std::string_view haystack(block, static_cast<std::size_t>(size));
    const std::size_t found = sub.size() == 1 ? haystack.find(sub[0]) : haystack.find(sub);
    return found == std::string_view::npos ? 0 : static_cast<std::int64_t>(found) + 1;
}

int IndexInList(std::string_view text, const std::vector<std::string>& list, bool caseSensitive)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (caseSensitive ? list[i] == text : SameText(list[i], text))
            return static_cast<int>(i);
    }
    return -1;
}

int MonthFromName(std::string_view token)
{
    static constexpr std::string_view kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                     "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (token.size() != 3)
        return 0;
    for (int i = 0; i < 12; ++i) {
        if (SameText(token, kMonths[i]))
            return i + 1;
    }
    return 0;
}

bool IsBlankLine(std::string_view line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::int64_t FileSizeOf(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    struct stat info {};
    const int result = ::fstat(fd, &info);
    const int savedErrno = errno;
    ::close(fd);
    if (result != 0)
        throw std::runtime_error("Cannot read the size of \"" + path + "\". " +
                                 std::strerror(savedErrno));
    return static_cast<std::int64_t>(info.st_size);
}

std::string ShownText(std::string_view text, std::size_t limit)
{
    std::string shown(text.substr(0, limit));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    if (text.size() > limit)
        shown += "...";
    return shown;
}

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string UpperCase(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = UpperAscii(c);
    return result;
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && sameTextAt(a, 0, b);
}

bool StartsText(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && sameTextAt(text, 0, prefix);
}

bool HoldsLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::vector<std::string> SplitTextLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines, std::string_view separator)
{
    std::string text;
    for (const std::string& line : lines) {
        if (&line != &lines.front())
            text += separator;
        text += line;
    }
    return text;
}

std::string_view TrimLeft(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isTrimmed(text[i]))
        ++i;
    return text.substr(i);
}

std::string_view TrimRight(std::string_view text)
{
    std::size_t n = text.size();
    while (n > 0 && isTrimmed(text[n - 1]))
        --n;
    return text.substr(0, n);
}

std::string_view Trim(std::string_view text)
{
    return TrimRight(TrimLeft(text));
}

void TrimLeftInPlace(std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && isTrimmed(text[i]))
        ++i;
    text.erase(0, i);
}

std::optional<std::int64_t> ParseInteger(std::string_view text)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    // Up to 18 plain digits cannot overflow: the common case (listing columns) needs no
    // general conversion.
    if (text.size() <= 18 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        for (char c : text)
            value = value * 10 + (c - '0');
        return value;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::int64_t StrToInt64Def(std::string_view text, std::int64_t fallback)
{
    return ParseInteger(text).value_or(fallback);
}

int StrToIntDef(std::string_view text, int fallback)
{
    const auto value = ParseInteger(text);
    if (!value || *value < INT32_MIN || *value > INT32_MAX)
        return fallback;
    return static_cast<int>(*value);
}

TDateTime EncodeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month))
        throw std::invalid_argument("Invalid argument to date encode");
    return static_cast<TDateTime>(daysFromCivil(year, month, day) + kDaysFrom1899To1970);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999)
        throw std::invalid_argument("Invalid argument to time encode");
    const double ms = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
    return ms / 86400000.0;
}

TIdCalendarDate DecodeDate(TDateTime value)
{
    // Civil date from a day count (inverse of daysFromCivil).
    const std::int64_t z = static_cast<std::int64_t>(std::floor(value)) - kDaysFrom1899To1970 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2));
    return {year, month, day};
}

TIdCalendarDate CurrentLocalDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string GroupedDigits(std::int64_t value, const std::string& separator, int* width)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const int count = static_cast<int>(end - digits);
    std::string grouped;
    grouped.reserve(static_cast<std::size_t>(count) + 8 * separator.size());
    int characters = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0 && digits[i - 1] != '-') {
            grouped += separator;
            ++characters;
        }
        grouped += digits[i];
        ++characters;
    }
    if (width != nullptr)
        *width = characters;
    return grouped;
}
