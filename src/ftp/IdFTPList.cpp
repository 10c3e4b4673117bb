// Directory listing parser: format detection and the per-format line parsers.
#include "ftp/IdFTPList.h"

#include "ftp/IdFTPListDate.h"
#include "net/IdException.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

constexpr const char* kUnknownFormat = "Unknown FTP listing format";

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
bool hasPermissionColumn(std::string_view upper, bool anyCase = false)
{
    static constexpr std::string_view kAllowed[10] = {"-BCDLPS", "-RSTWX", "-ARSTWX", "-RSTWX",
                                                      "-HRSTWX", "-RSTWX", "-RSTWXY", "-ARSTWX",
                                                      "-RSTWX",  "-RSTWX"};
    if (upper.size() < 10)
        return false;
    for (std::size_t i = 0; i < 10; ++i) {
        const char c = anyCase && upper[i] >= 'a' && upper[i] <= 'z' ? static_cast<char>(upper[i] - 32) : upper[i];
        if (kAllowed[i].find(c) == std::string_view::npos)
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

// "2002-09-02": a four-digit year first, as newer IIS servers write it; otherwise month,
// day and two-digit year ("01-31-02").
TDateTime dosDate(const TIdFTPListItems& items, std::string_view text)
{
    if (text.size() == 10 && (text[4] == '-' || text[4] == '/' || text[4] == '.')) {
        return EncodeDate(StrToIntDef(text.substr(0, 4), 0), StrToIntDef(text.substr(5, 2), 0),
                          StrToIntDef(text.substr(8, 2), 0));
    }
    return items.ParseDatePart(text);
}

bool isDosDateToken(std::string_view text)
{
    const auto separatorAt = [&](std::size_t at) {
        return at < text.size() && (text[at] == '-' || text[at] == '/' || text[at] == '.');
    };
    const bool yearLast = (text.size() == 8 || text.size() == 10) && separatorAt(2) && separatorAt(5);
    const bool yearFirst = text.size() == 10 && separatorAt(4) && separatorAt(7);
    return (yearLast || yearFirst) && std::isdigit(static_cast<unsigned char>(text[0]));
}

// "2002-09-02  18:48       <DIR>          name", "09-02-2002  06:48PM   1,234 a.txt": a
// date, a time, then <DIR> or a size, in whatever columns.
bool looksLikeDosTokens(std::string_view line)
{
    const listing::Tokens tokens = listing::SplitTokens(line);
    if (tokens.count < 4 || !isDosDateToken(tokens[0].text) ||
        tokens[1].text.find(':') == std::string_view::npos)
        return false;
    if (UpperCase(tokens[2].text) == "<DIR>")
        return true;
    const auto size = ParseInteger(withoutCommas(tokens[2].text));
    return size && *size >= 0;
}

// "NAME.EXT;12": a VMS file name with its version.
bool isVmsName(std::string_view token)
{
    const std::size_t semicolon = token.rfind(';');
    if (semicolon == std::string_view::npos || semicolon == 0 || semicolon + 1 == token.size())
        return false;
    return std::all_of(token.begin() + static_cast<std::ptrdiff_t>(semicolon) + 1, token.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// "12-MAR-2003" as a day count.
std::optional<TDateTime> vmsDate(std::string_view text)
{
    const std::size_t first = text.find('-');
    const std::size_t second = text.rfind('-');
    if (first == std::string_view::npos || first == second || first == 0 || first > 2)
        return std::nullopt;
    const auto day = ParseInteger(text.substr(0, first));
    const int month = listing::LocalMonthFromName(text.substr(first + 1, second - first - 1));
    const std::string_view yearText = text.substr(second + 1);
    const auto year = yearText.size() == 4 ? ParseInteger(yearText) : std::nullopt;
    if (!day || month == 0 || !year)
        return std::nullopt;
    return EncodeDate(static_cast<int>(*year), month, static_cast<int>(*day));
}

// "2/4" (used/allocated blocks) or "2": the blocks in use.
std::optional<std::int64_t> vmsBlocks(std::string_view text)
{
    const std::size_t slash = text.find('/');
    if (slash != std::string_view::npos && !ParseInteger(text.substr(slash + 1)))
        return std::nullopt;
    const auto used = ParseInteger(text.substr(0, slash));
    return used && *used >= 0 ? used : std::nullopt;
}

// "[GROUP,USER]", "[USER]", or "[GROUP, USER]" over two tokens; answers the last token used.
std::size_t readVmsOwner(const listing::Tokens& tokens, std::size_t i, TIdFTPListItem& item)
{
    std::string owner(tokens[i].text.substr(1));
    while (owner.empty() || owner.back() != ']') {
        if (++i >= tokens.count)
            throw EIdInvalidFTPListingFormat(kUnknownFormat);
        owner += tokens[i].text;
    }
    owner.pop_back();
    const std::size_t comma = owner.find(',');
    item.GroupAccount = comma == std::string::npos ? std::string() : owner.substr(0, comma);
    item.OwnerAccount = comma == std::string::npos ? owner : owner.substr(comma + 1);
    return i;
}

// "(RWED,RWED,RE,)": system, owner, group and world access.
void readVmsProtection(std::string_view text, TIdFTPListItem& item)
{
    std::string rest(text.substr(1, text.find(')') == std::string_view::npos ? std::string_view::npos
                                                                              : text.find(')') - 1));
    SplitToken(rest, ","); // the system's access
    item.OwnerRights = SplitToken(rest, ",");
    item.GroupRights = SplitToken(rest, ",");
    item.OtherRights = SplitToken(rest, ",");
}

// VMS lines that frame a listing rather than name an entry.
bool isVmsFrameLine(std::string_view line)
{
    if (line.empty() || std::string_view("DdTtGg").find(line[0]) == std::string_view::npos)
        return false;
    const auto startsWith = [&](std::string_view prefix) {
        return line.size() >= prefix.size() && SameText(line.substr(0, prefix.size()), prefix);
    };
    return startsWith("Directory ") || startsWith("Total of ") || startsWith("Grand total of ");
}

// A VMS name too long for its column stands alone; the rest of the entry follows indented.
bool isVmsNameAlone(std::string_view line)
{
    return line.find(';') != std::string_view::npos && line.find(' ') == std::string_view::npos &&
           line.find('\t') == std::string_view::npos && isVmsName(line);
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
    if (looksLikeDosLine(upper) || looksLikeDosTokens(upper))
        return TIdFTPListFormat::lfDos;
    const listing::Tokens tokens = listing::SplitTokens(line);
    if (isVmsName(tokens.first()) || isVmsFrameLine(line))
        return TIdFTPListFormat::lfVms;
    return TIdFTPListFormat::lfUnknown;
}

void TIdFTPListItems::LoadLines(const std::vector<std::string>& lines)
{
    Clear();
    m_skippedLines = 0;
    m_items.reserve(lines.size());
    std::size_t start = 0;
    if (m_lineFormat == TIdFTPListFormat::lfUnix && !lines.empty() &&
        UpperCase(std::string_view(lines.front()).substr(0, 5)) == "TOTAL")
        start = 1;
    const bool detailed = m_lineFormat != TIdFTPListFormat::lfNone &&
                          m_lineFormat != TIdFTPListFormat::lfNoDetails &&
                          m_lineFormat != TIdFTPListFormat::lfCustom;
    const TIdCalendarDate today = Today();
    const std::optional<TIdCalendarDate> savedToday = m_today;
    m_today = today; // one clock reading for the whole listing
    for (std::size_t i = start; i < lines.size(); ++i) {
        if (IsBlankLine(lines[i]))
            continue;
        if (detailed && isVmsFrameLine(lines[i]))
            continue;
        TIdFTPListItem& item = Add();
        item.RawLine = lines[i];
        if (detailed && isVmsNameAlone(item.RawLine) && i + 1 < lines.size() &&
            !lines[i + 1].empty() && (lines[i + 1][0] == ' ' || lines[i + 1][0] == '\t'))
            item.RawLine += lines[++i];
        if (m_lineFormat == TIdFTPListFormat::lfNone)
            continue;
        if (!parseWithFallback(item)) {
            m_items.pop_back();
            ++m_skippedLines;
        }
    }
    m_today = savedToday;
}

// A listing may mix line shapes (a server that shows a VMS or MS-DOS volume inside a Unix
// listing, a banner before the first entry): a line that its listing's format cannot read
// gets a second chance in the format it looks like on its own.
bool TIdFTPListItems::parseWithFallback(TIdFTPListItem& item) const
{
    try {
        ParseEntry(m_lineFormat, item);
        return true;
    } catch (...) {
    }
    if (m_lineFormat == TIdFTPListFormat::lfCustom || m_lineFormat == TIdFTPListFormat::lfNoDetails)
        return false;
    const TIdFTPListFormat own = DetectFormat(item.RawLine, true);
    if (own == TIdFTPListFormat::lfUnknown || own == m_lineFormat)
        return false;
    TIdFTPListItem fresh;
    fresh.RawLine = std::move(item.RawLine);
    item = std::move(fresh);
    try {
        ParseEntry(own, item);
        return true;
    } catch (...) {
        return false;
    }
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
        ParseUnixLine(item);
        break;
    case TIdFTPListFormat::lfVms:
        // Real VMS lines, or a Unix-style listing of a VMS disk ("Directory DSK:[FTP.PUB]").
        if (isVmsName(listing::SplitTokens(item.RawLine).first()))
            ParseVmsLine(item);
        else
            ParseUnixLine(item);
        break;
    case TIdFTPListFormat::lfNoDetails:
        // Names keep their blanks: only the line end was removed.
        item.EntryName = item.RawLine;
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
// The columns before the date vary by server (no link count, no group, an extra column, the
// size glued to an overflowing group), so the date is found first: the leftmost token where
// a date shape starts, after at least one column. The column before it is the size; what
// lies between the link count and the size are the accounts; the name is the rest of the
// line after the one blank that follows the date, kept byte for byte.
void TIdFTPListItems::ParseUnixLine(TIdFTPListItem& item) const
{
    const std::string_view raw = item.RawLine;
    const listing::Tokens tokens = listing::SplitTokens(raw);
    const std::string_view permissions = tokens.first();
    if (tokens.count < 4 || !hasPermissionColumn(permissions, true))
        throw EIdInvalidFTPListingFormat(kUnknownFormat);

    std::size_t accountsFrom = 1;
    std::string_view linkText;
    std::string_view gluedOwner;
    if (SameText(tokens[1].text, "folder")) {
        accountsFrom = 2; // "drwxr-xr-x   folder        0 Apr 16 10:15 Photos"
    } else if (tokens[1].text.size() > 3 && tokens[1].text[0] == '0') {
        // "-rw-r--r-- 0ftp ftp ...": the link count glued to the owner name
        linkText = "0";
        gluedOwner = tokens[1].text.substr(1);
        accountsFrom = 2;
    } else if (ParseInteger(tokens[1].text)) {
        linkText = tokens[1].text;
        accountsFrom = 2;
    }

    // The usual layout first (link count, owner, group, size, date); then the leftmost date.
    constexpr std::size_t kUsualDateAt = 5;
    std::optional<listing::ListingDate> date;
    std::size_t dateAt = kUsualDateAt;
    if (accountsFrom == 2 && !linkText.empty() && tokens.count > kUsualDateAt + 1 &&
        ParseInteger(tokens[kUsualDateAt - 1].text))
        date = listing::MatchDate(tokens, kUsualDateAt);
    for (std::size_t at = std::max<std::size_t>(accountsFrom, 2); !date && at < tokens.count; ++at) {
        date = listing::MatchDate(tokens, at);
        dateAt = at;
    }
    const std::size_t nameAt = date ? tokens[date->last].end() + 1 : raw.size();
    if (!date || nameAt >= raw.size())
        throw EIdInvalidFTPListingFormat(kUnknownFormat);

    // The size column, or a device's "major, minor" pair in its place.
    std::size_t accountsEnd = dateAt - 1;
    std::string_view sizeText = tokens[accountsEnd].text;
    std::string_view gluedGroup;
    if (sizeText.find(',') != std::string_view::npos) {
        sizeText = {}; // "8,0"
    } else if (accountsEnd > accountsFrom && tokens[accountsEnd - 1].text.back() == ',') {
        sizeText = {}; // "5,   0"
        --accountsEnd;
    } else if (!ParseInteger(sizeText)) {
        // "someverylonggroup123456": the size glued to an overflowing group column
        const std::size_t digits = sizeText.find_last_not_of("0123456789") + 1;
        if (digits > 0 && digits < sizeText.size()) {
            gluedGroup = sizeText.substr(0, digits);
            sizeText = sizeText.substr(digits);
        }
    }

    // Only the first two account columns are kept; an extra one ("domain") is passed over.
    std::array<std::string_view, 2> accounts;
    std::size_t accountCount = 0;
    const auto addAccount = [&](std::string_view account) {
        if (accountCount < accounts.size())
            accounts[accountCount] = account;
        ++accountCount;
    };
    if (!gluedOwner.empty())
        addAccount(gluedOwner);
    for (std::size_t i = accountsFrom; i < accountsEnd; ++i)
        addAccount(tokens[i].text);
    if (!gluedGroup.empty())
        addAccount(gluedGroup);

    const char kindLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(permissions[0])));
    item.OwnerRights = safeSubstr(permissions, 1, 3);
    item.GroupRights = safeSubstr(permissions, 4, 3);
    item.OtherRights = safeSubstr(permissions, 7, 3);
    item.EntryKind = kindLetter == 'D'   ? TIdListEntryKind::ekDirectory
                     : kindLetter == 'L' ? TIdListEntryKind::ekSymLink
                                         : TIdListEntryKind::ekFile;
    item.LinkCount = StrToIntDef(linkText, 0);
    // One account column is the group ("-rw-r--r-- 1 anonymous 1234 ..."): the owner is missing.
    item.OwnerAccount = accountCount >= 2 ? accounts[0] : std::string_view();
    item.GroupAccount = accountCount >= 2 ? accounts[1] : accountCount == 1 ? accounts[0] : std::string_view();
    item.ByteSize = StrToInt64Def(sizeText, 0);
    listing::ListingDate stamp = *date;
    if (!stamp.hasSeconds)
        stamp.millisecond = 999;
    item.ModTime = listing::EncodeListingDate(stamp, Today());

    std::string_view name = raw.substr(nameAt);
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
// "2002-09-02  18:48       <DIR>          name"
void TIdFTPListItems::ParseDosLine(TIdFTPListItem& item) const
{
    std::string rest(TrimLeft(item.RawLine));
    std::string datePart = SplitToken(rest, " ");
    TrimLeftInPlace(rest);
    const std::string timePart = SplitToken(rest, " ");
    try {
        item.ModTime = dosDate(*this, datePart) + ParseTimePart(timePart);
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
        // Anything but a size here is not an MS-DOS line at all.
        const auto size = ParseInteger(sizeText);
        if (!size || *size < 0)
            throw EIdInvalidFTPListingFormat(kUnknownFormat);
        item.EntryKind = TIdListEntryKind::ekFile;
        item.ByteSize = *size;
        item.EntryName = std::string(TrimRight(rest));
    }
    if (item.EntryName.empty())
        throw EIdInvalidFTPListingFormat(kUnknownFormat);
}

// "README.TXT;1          2/4      12-MAR-2003 10:11:12  [GROUP,USER]  (RWED,RWED,RE,)"
// "SUB.DIR;1  12-MAR-2003 10:11  1/3  [USER]  (RWE,RWE,RE,E)": the date and the block
// counts come in either order, and the owner and protection may be missing. Sizes are in
// blocks of 512 bytes. The version is dropped from the name, as VMS users name files.
void TIdFTPListItems::ParseVmsLine(TIdFTPListItem& item) const
{
    const listing::Tokens tokens = listing::SplitTokens(item.RawLine);
    const std::string_view fullName = tokens.first();
    const std::size_t semicolon = fullName.rfind(';');
    if (tokens.count < 2 || !isVmsName(fullName))
        throw EIdInvalidFTPListingFormat(kUnknownFormat);
    std::optional<TDateTime> modified;
    std::optional<std::int64_t> blocks;
    for (std::size_t i = 1; i < tokens.count; ++i) {
        const std::string_view text = tokens[i].text;
        if (const auto day = vmsDate(text)) {
            listing::ListingDate clock;
            if (i + 1 < tokens.count && listing::ParseClock(tokens[i + 1].text, clock, true))
                ++i;
            modified = *day + EncodeTime(clock.hour, clock.minute, clock.second, clock.millisecond);
        } else if (const auto used = vmsBlocks(text)) {
            blocks = used;
        } else if (text.front() == '[') {
            i = readVmsOwner(tokens, i, item);
        } else if (text.front() == '(') {
            readVmsProtection(text, item);
        } else {
            throw EIdInvalidFTPListingFormat(kUnknownFormat);
        }
    }
    if (!modified)
        throw EIdInvalidFTPListingFormat(kUnknownFormat);
    item.EntryName = fullName.substr(0, semicolon);
    item.EntryKind = UpperCase(item.EntryName).ends_with(".DIR") ? TIdListEntryKind::ekDirectory
                                                                 : TIdListEntryKind::ekFile;
    item.ByteSize = blocks.value_or(0) * 512;
    item.ModTime = *modified;
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
