// Pieces the listing parsers share: the first blank-separated tokens of a line with their
// positions, sizes with or without a unit, and the many ways servers write an entry's date
// (month names in several languages, numeric, ISO, day-first, Chinese/Japanese/Korean)
// recognised in those tokens.
#pragma once

#include "ftp/IdGlobal.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace listing {

struct Token {
    std::size_t at = 0; // offset in the line
    std::string_view text;
    std::size_t end() const { return at + text.size(); }
};

// Enough for every column before a name; the name itself is read from the line by offset.
inline constexpr std::size_t kMaxTokens = 16;

struct Tokens {
    // Only the first `count` entries are set (no clearing: this runs once per listing line).
    std::array<Token, kMaxTokens> list;
    std::size_t count = 0;
    const Token& operator[](std::size_t i) const { return list[i]; }
    // The first token, or an empty one for a blank line.
    std::string_view first() const { return count > 0 ? list[0].text : std::string_view(); }
};

// The first tokens of the line, split at runs of blanks and tabs.
Tokens SplitTokens(std::string_view line);

// A date (and maybe a time) read from tokens[first..last].
struct ListingDate {
    int year = 0; // 0: no year given; the caller applies the recent-months rule
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    bool hasTime = false;
    bool hasSeconds = false;
    bool twoDigitYear = false; // "01-jun-99": expanded around today's century
    std::size_t last = 0; // index of the last token of the date
};

// The date that starts at tokens[i], in any of the shapes Unix-style listings use.
std::optional<ListingDate> MatchDate(const Tokens& tokens, std::size_t i);

// Whether tokens[i] starts what has the shape of a date but names no month we know: a
// word, a day, then a time or a year ("Foo 01 10:00").
bool LooksLikeUnknownDate(const Tokens& tokens, std::size_t i);

// "01-jun-99", "12-MAR-2003": day, month name and a two- or four-digit year.
std::optional<ListingDate> ParseHyphenatedDate(std::string_view text);

// A size column: "1234", or with a unit in powers of 1024 ("33.5k", "2KB", "1.2M"); empty for
// anything else.
std::optional<std::int64_t> ParseSize(std::string_view text);

// Two-digit years: 51..99 the previous century, 0..50 the current one (of `currentYear`).
int ExpandTwoDigitYear(int year, int currentYear);

// 1..12 for a month name or abbreviation in English, German, French, Spanish, Italian,
// Dutch, Swedish, Hungarian, Portuguese, Polish or Russian, or an English or German full
// name (any ASCII case, a trailing dot or comma allowed); 0 otherwise.
int LocalMonthFromName(std::string_view token);

// "09:30", "9:30", "12:34:56", "10:11:12.34"; hour 24 only as "24:00".
bool ParseClock(std::string_view text, ListingDate& date, bool allowFraction = false);

// The date as a day count; a year of 0 becomes this year, or last year when the month is
// still ahead of today's; a two-digit year is expanded; "24:00" becomes midnight of the next day. Raises for an
// impossible date.
TDateTime EncodeListingDate(const ListingDate& date, const TIdCalendarDate& today);

} // namespace listing
