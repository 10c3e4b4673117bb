// Text helpers shared by the protocol client and every layer above it: token splitting,
// substring and list search, ASCII letter case, trimming, text lines, the refusal of line
// breaks in commands and names, month names, local file size, and the day-count date encoding.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;

// Cuts the text before the first delimiter off `text` and returns it. With remove, `text`
// keeps what follows the delimiter (or becomes empty when there is none).
std::string SplitToken(std::string& text, std::string_view delimiter = " ", bool remove = true,
                       bool caseSensitive = true);

// 1-based position of the last case-insensitive match of `sub` at or before `start`
// (-1: the end of the text); 0 when there is none.
[[nodiscard]] std::int64_t LastPos(std::string_view sub, std::string_view text, std::int64_t start = -1);

// 1-based position of the first occurrence of `sub` in the block; 0 when absent.
[[nodiscard]] std::int64_t FindInBuffer(std::string_view sub, const char* block, std::int64_t size);

// 0-based index of the first entry equal to `text`; -1 when there is none.
[[nodiscard]] int IndexInList(std::string_view text, const std::vector<std::string>& list,
                bool caseSensitive = true);

// "JAN".."DEC" in any letter case give 1..12; anything else 0.
[[nodiscard]] int MonthFromName(std::string_view token);

// True when the line holds only blanks and tabs (an empty line included).
[[nodiscard]] bool IsBlankLine(std::string_view line);

// Size of a local file in bytes; raises std::runtime_error when it cannot be opened.
std::int64_t FileSizeOf(const std::string& path);

// --- small byte-string helpers used by the parsers ---

// ASCII letter case: only a-z and A-Z change, whatever the locale; other bytes stay.
[[nodiscard]] char UpperAscii(char c);
[[nodiscard]] char LowerAscii(char c);
[[nodiscard]] std::string UpperCase(std::string_view text);
// The text as a message may show it: control bytes become '?', and a text longer than
// `limit` bytes is cut there and marked with "...".
[[nodiscard]] std::string ShownText(std::string_view text, std::size_t limit);
[[nodiscard]] bool SameText(std::string_view a, std::string_view b);
// Whether `text` starts with `prefix`, ASCII letter case ignored.
[[nodiscard]] bool StartsText(std::string_view text, std::string_view prefix);
// Whether the text holds CR, LF or NUL: bytes that would end a command line early (and smuggle a
// second command after it), or cut a name short further on.
[[nodiscard]] bool HoldsLineBreakOrNul(std::string_view text);
// The lines of a text file written on any system: split at CR LF, CR or LF; the final line end
// is optional and starts no further line; empty lines stay as empty entries.
[[nodiscard]] std::vector<std::string> SplitTextLines(std::string_view text);
// The lines joined with `separator` between them: a reply's text on one line, for a message.
[[nodiscard]] std::string JoinLines(const std::vector<std::string>& lines, std::string_view separator);
// Blanks and control characters (bytes up to 32) are trimmed.
[[nodiscard]] std::string_view TrimLeft(std::string_view text);
[[nodiscard]] std::string_view TrimRight(std::string_view text);
[[nodiscard]] std::string_view Trim(std::string_view text);
void TrimLeftInPlace(std::string& text);
// Decimal integer with an optional sign, nothing else; empty when the text is not one or
// does not fit.
[[nodiscard]] std::optional<std::int64_t> ParseInteger(std::string_view text);
// Digits grouped by three from the right: 4190208, "," -> "4,190,208". `width`, when given,
// receives the length in characters, a separator counting as one.
[[nodiscard]] std::string GroupedDigits(std::int64_t value, const std::string& separator, int* width = nullptr);
[[nodiscard]] std::int64_t StrToInt64Def(std::string_view text, std::int64_t fallback);
[[nodiscard]] int StrToIntDef(std::string_view text, int fallback);

// Raise std::invalid_argument("Invalid argument to date encode" / "... time encode") for an
// impossible date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);

struct TIdCalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
};
[[nodiscard]] TIdCalendarDate DecodeDate(TDateTime value);
[[nodiscard]] TIdCalendarDate CurrentLocalDate();
