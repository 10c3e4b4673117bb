// Tokens of a listing line, sizes, and the date shapes servers send: "Mar 15 09:30", "Oct 08,
// 2002 09:47", "01 oct 2004", "26. Juli, 20:10", "09-26 13:45", "3 29 03:26", "2005-06-07
// 21:22", "1999/10/12", "2004.07.15", "24-04-2003 17:12", "01-jun-99", "3月 29日 03:26",
// "7月 26日", "2014년 3월 29일".
#include "ftp/IdFTPListDate.h"

#include <charconv>
#include <cmath>
#include <string>

namespace listing {
namespace {

constexpr std::string_view kYearMarks[] = {"\xE5\xB9\xB4", "\xEB\x85\x84"};  // 年 년
constexpr std::string_view kMonthMarks[] = {"\xE6\x9C\x88", "\xEC\x9B\x94"}; // 月 월
constexpr std::string_view kDayMarks[] = {"\xE6\x97\xA5", "\xEC\x9D\xBC"};   // 日 일

struct MonthName {
    std::string_view name;
    int month;
};

// The English abbreviations, which nearly every line uses, each as one number.
constexpr std::uint32_t packedName(const char* name)
{
    return static_cast<std::uint32_t>(name[0]) | static_cast<std::uint32_t>(name[1]) << 8
         | static_cast<std::uint32_t>(name[2]) << 16;
}

constexpr std::uint32_t kEnglishMonths[] = {
    packedName("jan"), packedName("feb"), packedName("mar"), packedName("apr"),
    packedName("may"), packedName("jun"), packedName("jul"), packedName("aug"),
    packedName("sep"), packedName("oct"), packedName("nov"), packedName("dec"),
};

constexpr std::size_t kLongestMonthName = 9;

// Lower-case names after the trailing dot is removed; the English abbreviations are above.
constexpr MonthName kMonthNames[] = {
    // English and German full names ("26. Juli, 20:10")
    {"january", 1}, {"february", 2}, {"march", 3}, {"april", 4}, {"june", 6}, {"july", 7},
    {"august", 8}, {"september", 9}, {"october", 10}, {"november", 11}, {"december", 12},
    {"januar", 1}, {"februar", 2}, {"m\xC3\xA4rz", 3}, {"juni", 6}, {"juli", 7},
    {"oktober", 10}, {"dezember", 12},
    // German, Dutch, Swedish, Hungarian, Portuguese and friends
    {"m\xC3\xA4r", 3}, {"mrz", 3}, {"mai", 5}, {"okt", 10}, {"dez", 12}, {"mrt", 3}, {"mei", 5},
    {"maj", 5}, {"sept", 9}, {"febr", 2}, {"m\xC3\xA1rc", 3}, {"marc", 3}, {"\xC3\xA1pr", 4},
    {"m\xC3\xA1j", 5}, {"j\xC3\xBAn", 6}, {"j\xC3\xBAl", 7}, {"szept", 9}, {"fev", 2},
    {"abr", 4}, {"ago", 8}, {"set", 9}, {"out", 10},
    // French
    {"janv", 1}, {"f\xC3\xA9vr", 2}, {"fevr", 2}, {"mars", 3}, {"avr", 4}, {"juin", 6},
    {"juil", 7}, {"ao\xC3\xBBt", 8}, {"aout", 8}, {"d\xC3\xA9" "c", 12},
    // Spanish, Italian
    {"ene", 1}, {"dic", 12}, {"gen", 1}, {"mag", 5}, {"giu", 6}, {"lug", 7}, {"ott", 10},
    // Polish
    {"sty", 1}, {"lut", 2}, {"kwi", 4}, {"cze", 6}, {"lip", 7}, {"sie", 8}, {"wrz", 9},
    {"pa\xC5\xBA", 10}, {"lis", 11}, {"gru", 12},
    // Russian
    {"\xD1\x8F\xD0\xBD\xD0\xB2", 1}, {"\xD1\x84\xD0\xB5\xD0\xB2", 2}, {"\xD0\xBC\xD0\xB0\xD1\x80", 3},
    {"\xD0\xB0\xD0\xBF\xD1\x80", 4}, {"\xD0\xBC\xD0\xB0\xD0\xB9", 5}, {"\xD0\xB8\xD1\x8E\xD0\xBD", 6},
    {"\xD0\xB8\xD1\x8E\xD0\xBB", 7}, {"\xD0\xB0\xD0\xB2\xD0\xB3", 8}, {"\xD1\x81\xD0\xB5\xD0\xBD", 9},
    {"\xD0\xBE\xD0\xBA\xD1\x82", 10}, {"\xD0\xBD\xD0\xBE\xD1\x8F", 11}, {"\xD0\xB4\xD0\xB5\xD0\xBA", 12},
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

// The value of 1 to maxDigits decimal digits, nothing else.
std::optional<int> smallNumber(std::string_view text, std::size_t maxDigits)
{
    if (text.size() > maxDigits || !allDigits(text))
        return std::nullopt;
    int value = 0;
    for (char c : text)
        value = value * 10 + (c - '0');
    return value;
}

// Removes the first of the marks that ends the text; false when none does.
bool dropSuffix(std::string_view& text, const std::string_view (&marks)[2])
{
    for (std::string_view mark : marks) {
        if (text.size() > mark.size() && text.ends_with(mark)) {
            text.remove_suffix(mark.size());
            return true;
        }
    }
    return false;
}

// "15", "15,", "15.", "15日", "15일".
std::optional<int> dayOf(std::string_view text)
{
    if (!dropSuffix(text, kDayMarks) && !text.empty() && (text.back() == ',' || text.back() == '.'))
        text.remove_suffix(1);
    const auto day = smallNumber(text, 2);
    return day && *day >= 1 && *day <= 31 ? day : std::nullopt;
}

// A four-digit year, also "2014年" and "2014년".
std::optional<int> yearOf(std::string_view text)
{
    dropSuffix(text, kYearMarks);
    return text.size() == 4 ? smallNumber(text, 4) : std::nullopt;
}

bool validMonth(int month)
{
    return month >= 1 && month <= 12;
}

// The token after a month and day: a time of day or a year.
bool readTimeOrYear(const Tokens& tokens, std::size_t i, ListingDate& date)
{
    if (i >= tokens.count)
        return false;
    if (ParseClock(tokens[i].text, date))
        return true;
    if (const auto year = yearOf(tokens[i].text)) {
        date.year = *year;
        return true;
    }
    return false;
}

// A time of day may follow a date that has its year.
void readOptionalClock(const Tokens& tokens, ListingDate& date)
{
    if (date.last + 1 < tokens.count && ParseClock(tokens[date.last + 1].text, date))
        ++date.last;
}

// "Mar 15 09:30", "Mar 15  2020", "Oct 08, 2002 09:47", "Mär 15 09:30".
std::optional<ListingDate> namedMonthFirst(const Tokens& tokens, std::size_t i)
{
    if (i + 2 >= tokens.count)
        return std::nullopt;
    const auto day = dayOf(tokens[i + 1].text);
    if (!day)
        return std::nullopt;
    ListingDate date;
    date.month = LocalMonthFromName(tokens[i].text);
    date.day = *day;
    if (date.month == 0 || !readTimeOrYear(tokens, i + 2, date))
        return std::nullopt;
    date.last = i + 2;
    if (tokens[i + 1].text.back() == ',' && !date.hasTime)
        readOptionalClock(tokens, date);
    return date;
}

// "01 oct 2004", "15. Mär 09:30", "29 Jul 02:27 2014".
std::optional<ListingDate> dayFirst(const Tokens& tokens, std::size_t i)
{
    if (i + 2 >= tokens.count)
        return std::nullopt;
    const auto day = dayOf(tokens[i].text);
    if (!day)
        return std::nullopt;
    ListingDate date;
    date.day = *day;
    date.month = LocalMonthFromName(tokens[i + 1].text);
    if (date.month == 0 || !readTimeOrYear(tokens, i + 2, date))
        return std::nullopt;
    date.last = i + 2;
    // A year after a full time ("29 Jul 02:27:00 2014"); after "02:27" a number is the name's.
    if (date.hasSeconds && i + 3 < tokens.count) {
        if (const auto year = yearOf(tokens[i + 3].text)) {
            date.year = *year;
            date.last = i + 3;
        }
    }
    return date;
}

// " 3月 29 03:26", "3月 29日  2014", "2014年 3月 29日 10:00", "3월 29일 03:26", and "7月 26日"
// alone: a day with its mark needs no time or year after it.
std::optional<ListingDate> cjkDate(const Tokens& tokens, std::size_t i)
{
    ListingDate date;
    std::size_t at = i;
    if (const auto year = [&]() -> std::optional<int> {
            std::string_view text = tokens[i].text;
            return dropSuffix(text, kYearMarks) ? yearOf(text) : std::nullopt;
        }()) {
        date.year = *year;
        ++at;
    }
    if (at + 1 >= tokens.count)
        return std::nullopt;
    std::string_view monthText = tokens[at].text;
    if (!dropSuffix(monthText, kMonthMarks))
        return std::nullopt;
    const auto month = smallNumber(monthText, 2);
    const auto day = dayOf(tokens[at + 1].text);
    if (!month || !validMonth(*month) || !day)
        return std::nullopt;
    date.month = *month;
    date.day = *day;
    date.last = at + 1;
    if (date.year != 0) {
        readOptionalClock(tokens, date);
        return date;
    }
    if (readTimeOrYear(tokens, at + 2, date)) {
        date.last = at + 2;
        return date;
    }
    std::string_view dayText = tokens[at + 1].text;
    return dropSuffix(dayText, kDayMarks) ? std::optional<ListingDate>(date) : std::nullopt;
}

// Splits "2005-06-07", "09/26", "2004.07.15" at one kind of separator into up to three numbers.
struct NumericParts {
    std::array<std::string_view, 3> part{};
    std::size_t count = 0;
};

NumericParts numericPartsOf(std::string_view text)
{
    NumericParts parts;
    if (text.empty() || !isDigit(text.front()))
        return parts;
    const std::size_t first = text.find_first_of("-/.");
    if (first == std::string_view::npos)
        return parts;
    const char separator = text[first];
    while (parts.count < 3) {
        const std::size_t cut = text.find(separator);
        parts.part[parts.count++] = text.substr(0, cut);
        if (cut == std::string_view::npos)
            return parts;
        text.remove_prefix(cut + 1);
    }
    parts.count = 0; // more than three parts: not a date
    return parts;
}

// "2005-06-07 21:22", "1999/10/12 17:12", "2004.07.15", "24-04-2003 17:12", "09-26 2000",
// "09-26 13:45".
std::optional<ListingDate> numericDate(const Tokens& tokens, std::size_t i)
{
    const NumericParts parts = numericPartsOf(tokens[i].text);
    if (parts.count < 2)
        return std::nullopt;
    std::optional<int> a = smallNumber(parts.part[0], 4);
    std::optional<int> b = smallNumber(parts.part[1], 2);
    if (!a || !b)
        return std::nullopt;
    ListingDate date;
    date.last = i;
    if (parts.count == 2) {
        if (parts.part[0].size() > 2)
            return std::nullopt;
        date.month = *a;
        date.day = *b;
        if (!readTimeOrYear(tokens, i + 1, date))
            return std::nullopt;
        date.last = i + 1;
    } else if (parts.part[0].size() == 4) {
        const auto c = smallNumber(parts.part[2], 2);
        if (!c)
            return std::nullopt;
        date.year = *a;
        date.month = *b;
        date.day = *c;
        readOptionalClock(tokens, date);
    } else {
        const auto c = parts.part[2].size() == 4 ? smallNumber(parts.part[2], 4) : std::nullopt;
        if (!c || parts.part[0].size() > 2)
            return std::nullopt;
        // Day first ("24-04-2003") unless only the other order makes a date.
        const bool monthFirst = *b > 12 && *a <= 12;
        date.day = monthFirst ? *b : *a;
        date.month = monthFirst ? *a : *b;
        date.year = *c;
        readOptionalClock(tokens, date);
    }
    if (!validMonth(date.month) || date.day < 1 || date.day > 31)
        return std::nullopt;
    return date;
}

// "3 29 03:26": month and day as plain numbers.
std::optional<ListingDate> numericMonthDay(const Tokens& tokens, std::size_t i)
{
    if (i + 2 >= tokens.count)
        return std::nullopt;
    const auto month = smallNumber(tokens[i].text, 2);
    const auto day = smallNumber(tokens[i + 1].text, 2);
    if (!month || !validMonth(*month) || !day || *day < 1 || *day > 31)
        return std::nullopt;
    ListingDate date;
    date.month = *month;
    date.day = *day;
    if (!readTimeOrYear(tokens, i + 2, date))
        return std::nullopt;
    date.last = i + 2;
    return date;
}

} // namespace

Tokens SplitTokens(std::string_view line)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    Tokens tokens;
    std::size_t at = 0;
    const std::size_t size = line.size();
    while (tokens.count < kMaxTokens) {
        while (at < size && isBlank(line[at]))
            ++at;
        if (at >= size)
            break;
        std::size_t stop = at;
        while (stop < size && !isBlank(line[stop]))
            ++stop;
        tokens.list[tokens.count++] = {at, line.substr(at, stop - at)};
        at = stop;
    }
    return tokens;
}

int LocalMonthFromName(std::string_view token)
{
    if (!token.empty() && token.back() == ',')
        token.remove_suffix(1);
    if (!token.empty() && token.back() == '.')
        token.remove_suffix(1);
    if (token.size() < 3 || token.size() > kLongestMonthName)
        return 0;
    char lower[kLongestMonthName + 1] = {};
    for (std::size_t i = 0; i < token.size(); ++i)
        lower[i] = LowerAscii(token[i]);
    if (token.size() == 3) {
        const std::uint32_t packed = packedName(lower);
        for (std::size_t i = 0; i < std::size(kEnglishMonths); ++i) {
            if (kEnglishMonths[i] == packed)
                return static_cast<int>(i) + 1;
        }
    }
    const std::string_view name(lower, token.size());
    for (const MonthName& entry : kMonthNames) {
        if (entry.name == name)
            return entry.month;
    }
    return 0;
}

bool ParseClock(std::string_view text, ListingDate& date, bool allowFraction)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2)
        return false;
    const auto hour = smallNumber(text.substr(0, colon), 2);
    std::string_view rest = text.substr(colon + 1);
    int second = 0;
    int millisecond = 0;
    const bool hasSeconds = rest.size() > 2 && rest[2] == ':';
    if (hasSeconds) {
        std::string_view secondText = rest.substr(3);
        if (allowFraction && secondText.size() > 3 && secondText[2] == '.') {
            const auto hundredths = smallNumber(secondText.substr(3), 2);
            if (!hundredths)
                return false;
            millisecond = *hundredths * (secondText.size() == 4 ? 100 : 10);
            secondText = secondText.substr(0, 2);
        }
        const auto seconds = secondText.size() == 2 ? smallNumber(secondText, 2) : std::nullopt;
        if (!seconds || *seconds > 59)
            return false;
        second = *seconds;
        rest = rest.substr(0, 2);
    }
    const auto minute = rest.size() == 2 ? smallNumber(rest, 2) : std::nullopt;
    if (!hour || !minute || *minute > 59 || *hour > 24 || (*hour == 24 && (*minute != 0 || second != 0)))
        return false;
    date.hour = *hour;
    date.minute = *minute;
    date.second = second;
    date.millisecond = millisecond;
    date.hasTime = true;
    date.hasSeconds = hasSeconds;
    return true;
}

std::optional<ListingDate> MatchDate(const Tokens& tokens, std::size_t i)
{
    if (i >= tokens.count)
        return std::nullopt;
    const std::string_view text = tokens[i].text;
    if (!isDigit(text.front()))
        return namedMonthFirst(tokens, i);
    // A plain number of three digits or more (a size, a link count) starts no date.
    if (text.size() > 2 && allDigits(text))
        return std::nullopt;
    if (auto date = dayFirst(tokens, i))
        return date;
    if (auto date = cjkDate(tokens, i))
        return date;
    if (auto date = ParseHyphenatedDate(text)) {
        date->last = i;
        readOptionalClock(tokens, *date);
        return date;
    }
    if (auto date = numericDate(tokens, i))
        return date;
    return numericMonthDay(tokens, i);
}

bool LooksLikeUnknownDate(const Tokens& tokens, std::size_t i)
{
    if (i + 2 >= tokens.count || isDigit(tokens[i].text.front()) || !dayOf(tokens[i + 1].text))
        return false;
    ListingDate ignored;
    return readTimeOrYear(tokens, i + 2, ignored);
}

std::optional<ListingDate> ParseHyphenatedDate(std::string_view text)
{
    const std::size_t first = text.find('-');
    const std::size_t second = text.rfind('-');
    if (first == std::string_view::npos || first == second)
        return std::nullopt;
    const auto day = smallNumber(text.substr(0, first), 2);
    const std::string_view yearText = text.substr(second + 1);
    const auto year = yearText.size() == 2 || yearText.size() == 4 ? smallNumber(yearText, 4) : std::nullopt;
    ListingDate date;
    date.month = LocalMonthFromName(text.substr(first + 1, second - first - 1));
    if (!day || *day < 1 || *day > 31 || date.month == 0 || !year)
        return std::nullopt;
    date.day = *day;
    date.year = *year;
    date.twoDigitYear = yearText.size() == 2;
    return date;
}

std::optional<std::int64_t> ParseSize(std::string_view text)
{
    if (const auto bytes = ParseInteger(text))
        return *bytes >= 0 ? bytes : std::nullopt;
    // "33.5k", "2KB", "1.2M": digits, maybe a fraction, then the unit, maybe followed by B.
    std::size_t digits = 0;
    while (digits < text.size() && (isDigit(text[digits]) || text[digits] == '.'))
        ++digits;
    std::string_view unit = text.substr(digits);
    if (unit.size() == 2 && (unit[1] == 'B' || unit[1] == 'b'))
        unit.remove_suffix(1);
    constexpr std::string_view kUnits = "KMGT";
    const std::size_t power = unit.size() == 1 ? kUnits.find(static_cast<char>(unit[0] & ~0x20)) : std::string_view::npos;
    const std::string_view number = text.substr(0, digits);
    double value = 0;
    if (power == std::string_view::npos || number.empty() || !isDigit(number.front())
        || std::from_chars(number.data(), number.data() + number.size(), value).ptr != number.data() + number.size())
        return std::nullopt;
    const double bytes = value * std::pow(1024.0, static_cast<double>(power + 1));
    if (!(bytes < 9.0e18)) // far beyond any file; would not fit
        return std::nullopt;
    return std::llround(bytes);
}

int ExpandTwoDigitYear(int year, int currentYear)
{
    if (year >= 100)
        return year;
    const int century = 100 * (currentYear / 100);
    return year > 50 ? year + century - 100 : year + century;
}

TDateTime EncodeListingDate(const ListingDate& date, const TIdCalendarDate& today)
{
    int year = date.twoDigitYear ? ExpandTwoDigitYear(date.year, today.year) : date.year;
    if (year == 0)
        year = today.month < date.month ? today.year - 1 : today.year;
    const bool nextDay = date.hour == 24;
    return EncodeDate(year, date.month, date.day) + (nextDay ? 1 : 0)
         + EncodeTime(nextDay ? 0 : date.hour, date.minute, date.second, date.millisecond);
}

} // namespace listing
