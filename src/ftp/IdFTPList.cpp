// Directory listing parser: format detection and the per-format line parsers.
#include "ftp/IdFTPList.h"

#include "net/IdException.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* kUnknownFormat = "Unknown FTP listing format";

// Cuts the text before the first blank off `text` (all of it when there is none).
std::string_view cutToken(std::string_view& text)
{
    const std::size_t blank = text.find(' ');
    const std::string_view token = text.substr(0, blank);
    text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    return token;
}

// The next token: cut off, then what is left trimmed at the front.
std::string_view nextToken(std::string_view& text)
{
    const std::string_view token = cutToken(text);
    text = TrimLeft(text);
    return token;
}

std::string safeSubstr(std::string_view text, std::size_t pos, std::size_t count)
{
    return pos < text.size() ? std::string(text.substr(pos, count)) : std::string();
}

// 1-based character range [from, to] of `text`, shorter or empty near the end.
std::string_view columns(std::string_view text, std::size_t from, std::size_t to)
{
    if (from > text.size())
        return {};
    return text.substr(from - 1, to - from + 1);
}

std::string withoutCommas(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != ',')
            result.push_back(c);
    }
    return result;
}

// "drwxr-xr-x": every one of the first ten characters from its allowed set.
bool hasPermissionColumn(std::string_view upper)
{
    static constexpr std::string_view kAllowed[10] = {"-BCDLPS", "-RSTWX", "-ARSTWX", "-RSTWX",
                                                      "-HRSTWX", "-RSTWX", "-RSTWXY", "-ARSTWX",
                                                      "-RSTWX",  "-RSTWX"};
    if (upper.size() < 10)
        return false;
    for (std::size_t i = 0; i < 10; ++i) {
        if (kAllowed[i].find(upper[i]) == std::string_view::npos)
            return false;
    }
    return true;
}

bool isDateSeparator(std::string_view upper, std::size_t position)
{
    return upper.size() >= position && (upper[position - 1] == '-' || upper[position - 1] == '/');
}

// "01-31-02  10:15AM       <DIR>          My Folder" or "...    1,234 notes.txt": the
// <DIR> mark in columns 25-29 or a size ending in column 38.
bool looksLikeDosLine(std::string_view upper)
{
    if (!isDateSeparator(upper, 3) || !isDateSeparator(upper, 6))
        return false;
    const std::string_view dirColumn = Trim(columns(upper, 25, 30));
    if (dirColumn == "<DIR>")
        return true;
    const auto size = ParseInteger(withoutCommas(Trim(columns(upper, 31, 38))));
    if (dirColumn.empty() && size && *size != -1)
        return true;
    // Sizes of 100 MB and more reach left into columns 25-30; still a size.
    const auto wideSize = ParseInteger(withoutCommas(Trim(columns(upper, 25, 38))));
    return wideSize && *wideSize >= 0;
}

char firstNonDigit(std::string_view text)
{
    for (char c : text) {
        if (c < '0' || c > '9')
            return c;
    }
    return '\0';
}

// Next piece of `text` up to `delimiter` ('\0': none, the whole text), trimmed.
std::string nextPiece(std::string& text, char delimiter)
{
    if (delimiter == '\0') {
        std::string whole(Trim(text));
        text.clear();
        return whole;
    }
    return std::string(Trim(SplitToken(text, std::string_view(&delimiter, 1))));
}

} // namespace

TIdFTPListItem& TIdFTPListItems::Add()
{
    return m_items.emplace_back();
}

TIdCalendarDate TIdFTPListItems::Today() const
{
    return m_today ? *m_today : CurrentLocalDate();
}

TIdFTPListFormat TIdFTPListItems::DetectFormat(const std::string& line, bool details) const
{
    if (!details)
        return TIdFTPListFormat::lfNoDetails;
    const std::string upper = UpperCase(line);
    if (hasPermissionColumn(upper) || upper.starts_with("TOTAL"))
        return TIdFTPListFormat::lfUnix;
    if (upper.find("DSK:") != std::string::npos)
        return TIdFTPListFormat::lfVms;
    if (looksLikeDosLine(upper))
        return TIdFTPListFormat::lfDos;
    return TIdFTPListFormat::lfUnknown;
}

void TIdFTPListItems::LoadLines(const std::vector<std::string>& lines)
{
    Clear();
    m_items.reserve(lines.size());
    std::size_t start = 0;
    if (m_lineFormat == TIdFTPListFormat::lfUnix && !lines.empty() &&
        UpperCase(std::string_view(lines.front()).substr(0, 5)) == "TOTAL")
        start = 1;
    const TIdCalendarDate today = Today();
    const std::optional<TIdCalendarDate> savedToday = m_today;
    m_today = today; // one clock reading for the whole listing
    for (std::size_t i = start; i < lines.size(); ++i) {
        if (IsBlankLine(lines[i]))
            continue;
        TIdFTPListItem& item = Add();
        item.RawLine = lines[i];
        if (m_lineFormat == TIdFTPListFormat::lfNone)
            continue;
        try {
            ParseEntry(m_lineFormat, item);
        } catch (...) {
            Clear(); // a line that cannot be read discards everything before it
        }
    }
    m_today = savedToday;
}

void TIdFTPListItems::ParseEntry(TIdFTPListFormat format, TIdFTPListItem& item) const
{
    switch (format) {
    case TIdFTPListFormat::lfNone:
        break;
    case TIdFTPListFormat::lfDos:
        ParseDosLine(item);
        break;
    case TIdFTPListFormat::lfUnix:
    case TIdFTPListFormat::lfVms:
        ParseUnixLine(item);
        break;
    case TIdFTPListFormat::lfNoDetails:
        item.EntryName = std::string(Trim(item.RawLine));
        break;
    case TIdFTPListFormat::lfCustom:
        ParseCustomLine(item);
        break;
    case TIdFTPListFormat::lfUnknown:
    default:
        throw EIdInvalidFTPListingFormat(kUnknownFormat);
    }
}

void TIdFTPListItems::ParseCustomLine(TIdFTPListItem& item) const
{
    if (!m_onParseCustom)
        throw EIdInvalidFTPListingFormat(kUnknownFormat);
    m_onParseCustom(item);
}

// "drwxr-xr-x   2 ftp      ftp          4096 Mar 15 09:30 pub"
// "lrwxrwxrwx   1 root     root            7 Jan 01  2020 bin -> usr/bin"
// "crw-rw-rw-   1 root     root        1,   3 Jan 01  2020 null"
void TIdFTPListItems::ParseUnixLine(TIdFTPListItem& item) const
{
    const TIdCalendarDate today = Today();
    std::string_view rest = item.RawLine;

    std::string_view token = nextToken(rest);
    const char kindLetter = token.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(token[0])));
    item.OwnerRights = safeSubstr(token, 1, 3);
    item.GroupRights = safeSubstr(token, 4, 3);
    item.OtherRights = safeSubstr(token, 7, 3);

    std::string_view linkText, owner, group;
    token = nextToken(rest);
    if (!SameText(token, "folder")) {
        if (token.size() > 3 && token[0] == '0') {
            // "-rw-r--r-- 0ftp ftp ...": the link count glued to the owner name
            linkText = "0";
            owner = token.substr(1);
        } else {
            linkText = token;
            owner = nextToken(rest);
        }
        group = nextToken(rest);
    }

    std::string_view sizeText;
    if (!rest.empty() && std::isalpha(static_cast<unsigned char>(rest[0])) &&
        m_lineFormat == TIdFTPListFormat::lfUnix) {
        // "-rw-r--r-- 1 owner 1234 Mar 15 2020 x": no group column, everything shifts
        sizeText = group;
        group = owner;
        owner = {};
    } else {
        token = cutToken(rest);
        if (token.find(',') != std::string_view::npos) {
            // device: "1,   3" (or "1,3") major and minor number instead of a size
            rest = TrimLeft(rest);
            if (token.back() == ',')
                cutToken(rest);
        } else {
            sizeText = token;
        }
        rest = TrimLeft(rest);
    }

    const int month = MonthFromName(nextToken(rest));
    const int day = StrToIntDef(nextToken(rest), today.day);
    int year = today.year;
    int hour = 0;
    int minute = 0;
    token = cutToken(rest);
    if (token.find(':') == std::string_view::npos) {
        year = StrToIntDef(token, today.year);
    } else {
        // a time of day means within the last months: a later month is last year's
        if (today.month < month)
            year = today.year - 1;
        std::string_view minuteText = token;
        const std::size_t colon = minuteText.find(':');
        hour = StrToIntDef(minuteText.substr(0, colon), 0);
        minute = StrToIntDef(minuteText.substr(colon + 1), 0);
    }
    std::string_view name = rest;

    item.EntryKind = kindLetter == 'D'   ? TIdListEntryKind::ekDirectory
                     : kindLetter == 'L' ? TIdListEntryKind::ekSymLink
                                         : TIdListEntryKind::ekFile;
    item.LinkCount = StrToIntDef(linkText, 0);
    item.OwnerAccount = owner;
    item.GroupAccount = group;
    item.ByteSize = StrToInt64Def(sizeText, 0);
    item.ModTime = EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 999);
    if (item.EntryKind == TIdListEntryKind::ekSymLink) {
        const std::size_t arrow = name.find(" -> ");
        if (arrow != std::string_view::npos) {
            item.LinkTarget = name.substr(arrow + 4);
            name = name.substr(0, arrow);
        }
    }
    item.EntryName = name;
}

// "01-31-02  10:15AM       <DIR>          My Folder"
// "01-31-02  02:05PM                1,234 notes.txt"
void TIdFTPListItems::ParseDosLine(TIdFTPListItem& item) const
{
    const std::string_view raw = item.RawLine;
    std::string date = safeSubstr(raw, 0, 2) + "/" + safeSubstr(raw, 3, 2) + "/" +
                       safeSubstr(raw, 6, 2) + " ";
    std::string rest(raw.size() > 8 ? Trim(raw.substr(8)) : std::string_view());
    date += SplitToken(rest, " ");
    try {
        const std::string datePart = SplitToken(date, " ");
        item.ModTime = ParseDatePart(datePart) + ParseTimePart(date);
    } catch (...) {
        item.ModTime = 0;
    }

    rest = std::string(Trim(rest));
    const std::string sizeText = withoutCommas(SplitToken(rest, " "));
    if (UpperCase(sizeText) == "<DIR>") {
        item.EntryKind = TIdListEntryKind::ekDirectory;
        // "<DIR>" is followed by ten blanks in the usual layout; one is consumed above.
        const bool usualLayout = rest.size() >= 9 && IsBlankLine(std::string_view(rest).substr(0, 9));
        const std::string_view name = usualLayout ? std::string_view(rest).substr(9) : TrimLeft(rest);
        item.EntryName = std::string(TrimRight(name));
    } else {
        item.EntryKind = TIdListEntryKind::ekFile;
        item.ByteSize = StrToInt64Def(sizeText, 0);
        item.EntryName = std::string(TrimRight(rest));
    }
}

TDateTime TIdFTPListItems::ParseDatePart(std::string_view text) const
{
    const char delimiter = firstNonDigit(text);
    std::string rest(text);
    const int month = StrToIntDef(nextPiece(rest, delimiter), 0);
    const int day = StrToIntDef(nextPiece(rest, delimiter), 0);
    const int year = ExpandYear(StrToIntDef(nextPiece(rest, delimiter), 0));
    return EncodeDate(year, month, day);
}

TDateTime TIdFTPListItems::ParseTimePart(std::string_view text)
{
    std::string upper = UpperCase(text);
    bool pm = false;
    bool am = false;
    if (const auto at = upper.find("PM"); at != std::string::npos) {
        pm = true;
        upper.erase(at);
    }
    if (const auto at = upper.find("AM"); at != std::string::npos) {
        am = true;
        upper.erase(at);
    }
    upper = std::string(Trim(upper));
    const char delimiter = firstNonDigit(text);
    int hour = StrToIntDef(nextPiece(upper, delimiter), 0);
    const int minute = StrToIntDef(nextPiece(upper, delimiter), 0);
    const int second = StrToIntDef(nextPiece(upper, delimiter), 0);
    const int millisecond = StrToIntDef(nextPiece(upper, delimiter), 0);
    if (pm && hour < 12)
        hour += 12;
    if (am && hour == 12)
        hour = 0;
    return EncodeTime(hour, minute, second, millisecond);
}

int TIdFTPListItems::ExpandYear(int year) const
{
    if (year >= 100)
        return year;
    const int century = 100 * (Today().year / 100);
    return year > 50 ? year + century - 100 : year + century;
}
