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
    // For every byte, one bit per column that allows it: a lookup per character, not a search.
    static const std::array<std::uint16_t, 256> kColumnsAllowing = [] {
        std::array<std::uint16_t, 256> table{};
        for (std::size_t i = 0; i < 10; ++i) {
            for (char c : kAllowed[i])
                table[static_cast<unsigned char>(c)] |= static_cast<std::uint16_t>(1u << i);
        }
        return table;
    }();
    if (upper.size() < 10)
        return false;
    for (std::size_t i = 0; i < 10; ++i) {
        const char c = anyCase && upper[i] >= 'a' && upper[i] <= 'z' ? static_cast<char>(upper[i] - 32) : upper[i];
        if ((kColumnsAllowing[static_cast<unsigned char>(c)] & (1u << i)) == 0)
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
    return StartsText(line, "Directory ") || StartsText(line, "Total of ")
           || StartsText(line, "Grand total of ");
}

// A VMS name too long for its column stands alone; the rest of the entry follows indented.
bool isVmsNameAlone(std::string_view line)
{
    return line.find(';') != std::string_view::npos && line.find(' ') == std::string_view::npos &&
           line.find('\t') == std::string_view::npos && isVmsName(line);
}

// The columns of a Unix line before its accounts: the link count, when there is one.
struct UnixLead {
    std::size_t accountsFrom = 1; // the first account column
    std::string_view linkText;
    std::string_view gluedOwner;
};

UnixLead readUnixLead(const listing::Tokens& tokens)
{
    UnixLead lead;
    if (SameText(tokens[1].text, "folder")) {
        lead.accountsFrom = 2; // "drwxr-xr-x   folder        0 Apr 16 10:15 Photos"
    } else if (tokens[1].text.size() > 3 && tokens[1].text[0] == '0') {
        // "-rw-r--r-- 0ftp ftp ...": the link count glued to the owner name
        lead.linkText = "0";
        lead.gluedOwner = tokens[1].text.substr(1);
        lead.accountsFrom = 2;
    } else if (ParseInteger(tokens[1].text)) {
        lead.linkText = tokens[1].text;
        lead.accountsFrom = 2;
    }
    return lead;
}

struct UnixDate {
    std::optional<listing::ListingDate> date; // none: the server wrote no date
    std::size_t sizeAt = 0;                   // the size column, just before the date
    std::size_t nameAt = 0;                   // where the name starts in the line
};

// "-rw-r--r-- 1 ftp ftp 1234 notes.txt": a server that writes no date. The size stands where
// the usual layout has it (owner, group, size) or after a single account; a line whose name
// would start like a date ("Foo 01 10:00") has a date we cannot read, and is no entry.
std::optional<UnixDate> undatedColumns(const listing::Tokens& tokens, const UnixLead& lead)
{
    for (const std::size_t at : {lead.accountsFrom + 2, lead.accountsFrom + 1}) {
        if (at + 1 < tokens.count && listing::ParseSize(tokens[at].text) &&
            !listing::LooksLikeUnknownDate(tokens, at + 1))
            return UnixDate{std::nullopt, at, tokens[at].end() + 1};
    }
    return std::nullopt;
}

// The usual layout first (link count, owner, group, size, date); then the leftmost date
// after at least one column; then a line without a date.
std::optional<UnixDate> findUnixDate(const listing::Tokens& tokens, const UnixLead& lead)
{
    constexpr std::size_t kUsualDateAt = 5;
    std::optional<listing::ListingDate> date;
    std::size_t dateAt = kUsualDateAt;
    if (lead.accountsFrom == 2 && !lead.linkText.empty() && tokens.count > kUsualDateAt + 1 &&
        listing::ParseSize(tokens[kUsualDateAt - 1].text))
        date = listing::MatchDate(tokens, kUsualDateAt);
    for (std::size_t at = std::max<std::size_t>(lead.accountsFrom, 2); !date && at < tokens.count; ++at) {
        date = listing::MatchDate(tokens, at);
        dateAt = at;
    }
    if (!date)
        return undatedColumns(tokens, lead);
    const std::size_t nameAt = tokens[date->last].end() + 1;
    return UnixDate{date, dateAt - 1, nameAt};
}

struct UnixSize {
    std::string_view text;       // empty for a device
    std::optional<std::int64_t> bytes;
    std::string_view gluedGroup; // a group column the size overflowed into
    std::size_t accountsEnd = 0; // one past the last account column
};

// The size column, or a device's "major, minor" pair in its place.
UnixSize readUnixSize(const listing::Tokens& tokens, const UnixLead& lead, std::size_t sizeAt)
{
    UnixSize size{tokens[sizeAt].text, std::nullopt, {}, sizeAt};
    if (size.text.find(',') != std::string_view::npos) {
        size.text = {}; // "8,0"
    } else if (sizeAt > lead.accountsFrom && tokens[sizeAt - 1].text.back() == ',') {
        size.text = {}; // "5,   0"
        --size.accountsEnd;
    } else if (size.bytes = listing::ParseSize(size.text); !size.bytes) {
        // "someverylonggroup123456": the size glued to an overflowing group column
        const std::size_t digits = size.text.find_last_not_of("0123456789") + 1;
        if (digits > 0 && digits < size.text.size()) {
            size.gluedGroup = size.text.substr(0, digits);
            size.text = size.text.substr(digits);
            size.bytes = ParseInteger(size.text);
        }
    }
    return size;
}

// The line after a VMS name that stands alone: the rest of its entry, indented or not, unless
// it is an entry or a frame line of its own.
bool continuesVmsEntry(std::string_view next)
{
    return !IsBlankLine(next) && !isVmsFrameLine(next) && !isVmsName(listing::SplitTokens(next).first());
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
    BeginLoad();
    for (const std::string& line : lines)
        AddLine(line);
    EndLoad();
}

void TIdFTPListItems::BeginLoad()
{
    Clear();
    m_skippedLines = 0;
    m_load = LoadState();
    m_load.started = true;
    m_load.detailed = m_lineFormat != TIdFTPListFormat::lfNone && m_lineFormat != TIdFTPListFormat::lfNoDetails &&
                      m_lineFormat != TIdFTPListFormat::lfCustom;
    m_load.savedToday = m_today;
    m_today = Today(); // one clock reading for the whole listing
}

void TIdFTPListItems::AddLine(std::string_view line)
{
    const bool first = !m_load.firstLineSeen;
    m_load.firstLineSeen = true;
    if (m_load.heldVmsName) {
        std::string held = std::move(*m_load.heldVmsName);
        m_load.heldVmsName.reset();
        if (continuesVmsEntry(line)) {
            if (line[0] != ' ' && line[0] != '\t')
                held += ' ';
            held.append(line);
            addEntry(std::move(held));
            return;
        }
        addEntry(std::move(held));
    }
    if (first && m_lineFormat == TIdFTPListFormat::lfUnix && UpperCase(line.substr(0, 5)) == "TOTAL")
        return;
    if (IsBlankLine(line) || (m_load.detailed && isVmsFrameLine(line)))
        return;
    if (m_load.detailed && isVmsNameAlone(line))
        m_load.heldVmsName = std::string(line);
    else
        addEntry(std::string(line));
}

void TIdFTPListItems::EndLoad()
{
    if (!m_load.started)
        return;
    if (m_load.heldVmsName)
        addEntry(std::move(*m_load.heldVmsName));
    m_today = m_load.savedToday;
    m_load = LoadState();
}

void TIdFTPListItems::addEntry(std::string rawLine)
{
    TIdFTPListItem& item = Add();
    item.RawLine = std::move(rawLine);
    if (m_lineFormat != TIdFTPListFormat::lfNone && !parseWithFallback(item)) {
        m_items.pop_back();
        ++m_skippedLines;
    }
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
    const UnixLead lead = readUnixLead(tokens);
    const std::optional<UnixDate> date = findUnixDate(tokens, lead);
    if (!date || date->nameAt >= raw.size())
        throw EIdInvalidFTPListingFormat(kUnknownFormat);
    const UnixSize size = readUnixSize(tokens, lead, date->sizeAt);

    // Only the first two account columns are kept; an extra one ("domain") is passed over.
    std::array<std::string_view, 2> accounts;
    std::size_t accountCount = 0;
    const auto addAccount = [&](std::string_view account) {
        if (accountCount < accounts.size())
            accounts[accountCount] = account;
        ++accountCount;
    };
    if (!lead.gluedOwner.empty())
        addAccount(lead.gluedOwner);
    for (std::size_t i = lead.accountsFrom; i < size.accountsEnd; ++i)
        addAccount(tokens[i].text);
    if (!size.gluedGroup.empty())
        addAccount(size.gluedGroup);

    const char kindLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(permissions[0])));
    item.OwnerRights = safeSubstr(permissions, 1, 3);
    item.GroupRights = safeSubstr(permissions, 4, 3);
    item.OtherRights = safeSubstr(permissions, 7, 3);
    item.EntryKind = kindLetter == 'D'   ? TIdListEntryKind::ekDirectory
                     : kindLetter == 'L' ? TIdListEntryKind::ekSymLink
                                         : TIdListEntryKind::ekFile;
    item.LinkCount = StrToIntDef(lead.linkText, 0);
    // One account column is the group ("-rw-r--r-- 1 anonymous 1234 ..."): the owner is missing.
    item.OwnerAccount = accountCount >= 2 ? accounts[0] : std::string_view();
    item.GroupAccount = accountCount >= 2 ? accounts[1] : accountCount == 1 ? accounts[0] : std::string_view();
    item.ByteSize = size.bytes.value_or(0);
    if (date->date) {
        listing::ListingDate stamp = *date->date;
        if (!stamp.hasSeconds)
            stamp.millisecond = 999;
        item.ModTime = listing::EncodeListingDate(stamp, Today());
    }

    std::string_view name = raw.substr(date->nameAt);
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
        if (auto date = listing::ParseHyphenatedDate(text)) {
            if (i + 1 < tokens.count && listing::ParseClock(tokens[i + 1].text, *date, true))
                ++i;
            modified = listing::EncodeListingDate(*date, Today());
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
    return listing::ExpandTwoDigitYear(year, Today().year);
}
