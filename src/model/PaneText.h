// The Size and Modified texts of the file panes, and the time key that sorts like them.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// Kilobytes in a field of at least 7 characters, thousands grouped, then "k": sizes under
// 512 bytes count as 512, so no file shows as 0k; halves round up.
// 1,000,000 bytes -> "    977k"; 3 GiB -> "3,145,728k".
// `groupSeparator` is UTF-8 text of one character (the locale's thousands separator).
[[nodiscard]] std::string sizeText(std::int64_t bytes, const std::string& groupSeparator);

// "yyyy/mm/dd hh:mm", hours on the 24-hour clock: "2003/07/14 09:05".
[[nodiscard]] std::string dateText(int year, int month, int day, int hour, int minute);
// The date text of a file time, in local time.
[[nodiscard]] std::string localDateText(std::time_t time);

// A number that grows with the time given; Modified sorts by it. Rows of one pane use the
// same kind of time (local file times, or the server's listing times).
[[nodiscard]] std::int64_t dateKey(int year, int month, int day, int hour, int minute, int second = 0);
[[nodiscard]] std::int64_t localDateKey(std::time_t time);
