// Directory listing parser: turns the lines of a LIST answer (Unix long listing in its many
// server dialects, MS-DOS style, VMS, name-only, or an application-supplied format) into
// typed entries.
#pragma once

#include "ftp/IdGlobal.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TIdListEntryKind { ekDirectory = 0, ekFile = 1, ekSymLink = 2 };

enum class TIdFTPListFormat {
    lfNone = 0,      // lines kept, not parsed
    lfDos = 1,
    lfUnix = 2,
    lfVms = 3,
    lfNoDetails = 4, // name-only (NLST)
    lfUnknown = 5,
    lfCustom = 6
};

struct TIdFTPListItem {
    std::int64_t ByteSize = 0;
    std::int32_t LinkCount = 0;
    std::string RawLine;
    std::string EntryName;
    std::string GroupRights = "???";
    std::string GroupAccount = "????????";
    std::string OwnerRights = "???";
    std::string OwnerAccount = "????????";
    std::string OtherRights = "???";
    TDateTime ModTime = 0;
    std::string LinkTarget;
    TIdListEntryKind EntryKind = TIdListEntryKind::ekFile;
};

using TIdOnParseCustomListFormat = std::function<void(TIdFTPListItem& AItem)>;

class TIdFTPListItems {
public:
    TIdFTPListItems() = default;
    virtual ~TIdFTPListItems() = default;

    // --- collection basics ---
    // The reference stays valid until the entry is removed or the collection cleared.
    TIdFTPListItem& Add();
    const TIdFTPListItem& Items(std::int64_t index) const { return m_items.at(static_cast<std::size_t>(index)); }
    TIdFTPListItem& Items(std::int64_t index) { return m_items.at(static_cast<std::size_t>(index)); }
    const TIdFTPListItem& operator[](std::int64_t index) const { return Items(index); }
    std::int64_t Count() const { return static_cast<std::int64_t>(m_items.size()); }
    void Clear() { m_items.clear(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    TIdFTPListFormat LineFormat() const { return m_lineFormat; }
    void SetLineFormat(TIdFTPListFormat format) { m_lineFormat = format; }
    const TIdOnParseCustomListFormat& OnParseCustomListFormat() const { return m_onParseCustom; }
    void SetOnParseCustomListFormat(TIdOnParseCustomListFormat handler) { m_onParseCustom = std::move(handler); }

    // "Today" for the year rules; the local date unless a test sets one.
    void SetToday(const TIdCalendarDate& today) { m_today = today; }
    TIdCalendarDate Today() const;

    // --- parsing ---
    // The format of a whole listing, decided from its first line.
    virtual TIdFTPListFormat DetectFormat(const std::string& line, bool details) const;
    // Replaces the entries with those parsed from the lines in LineFormat. A line that the
    // listing's format cannot read is tried in the format it looks like on its own; a line
    // that no format reads is left out and counted in SkippedLines.
    void LoadLines(const std::vector<std::string>& lines);
    // The same a line at a time, as a listing arrives: BeginLoad, AddLine for every line in
    // order, EndLoad. LineFormat must not change in between.
    void BeginLoad();
    void AddLine(std::string_view line);
    void EndLoad();
    // Lines of the last LoadLines that gave no entry although they were not blank.
    std::int64_t SkippedLines() const { return m_skippedLines; }
    void ParseEntry(TIdFTPListFormat format, TIdFTPListItem& item) const;
    void ParseUnixLine(TIdFTPListItem& item) const;
    void ParseDosLine(TIdFTPListItem& item) const;
    // "README.TXT;1  2/4  12-MAR-2003 10:11:12  [GROUP,USER]  (RWED,RWED,RE,)"
    void ParseVmsLine(TIdFTPListItem& item) const;
    virtual void ParseCustomLine(TIdFTPListItem& item) const;

    // "01/31/02" (month, day, year; any non-digit delimiter) -> date.
    TDateTime ParseDatePart(std::string_view text) const;
    // "10:15AM", "14:05", "02:05:07PM" -> time of day.
    static TDateTime ParseTimePart(std::string_view text);
    // Two-digit years: 51..99 the previous century, 0..50 the current one.
    int ExpandYear(int year) const;

private:
    bool parseWithFallback(TIdFTPListItem& item) const;
    void addEntry(std::string rawLine);

    // What a load in progress remembers between lines.
    struct LoadState {
        bool started = false;
        bool firstLineSeen = false;
        bool detailed = false;
        std::optional<TIdCalendarDate> savedToday;
        // A VMS name alone on its line; the rest of its entry may follow on the next one.
        std::optional<std::string> heldVmsName;
    };

    // A deque: entries added while a listing arrives are never moved again.
    std::deque<TIdFTPListItem> m_items;
    LoadState m_load;
    std::int64_t m_skippedLines = 0;
    TIdFTPListFormat m_lineFormat = TIdFTPListFormat::lfUnix;
    TIdOnParseCustomListFormat m_onParseCustom;
    std::optional<TIdCalendarDate> m_today;
};
