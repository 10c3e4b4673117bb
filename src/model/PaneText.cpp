// Size and date texts of the file panes.
#include "model/PaneText.h"

#include "ftp/IdGlobal.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::int64_t kSmallestShownSize = 512;
constexpr int kSizeField = 7;

// Whole kilobytes, an exact half rounding up; written without n + 512 so no size overflows.
std::int64_t roundedKilobytes(std::int64_t bytes)
{
    return bytes / 1024 + (bytes % 1024 >= 512 ? 1 : 0);
}

} // namespace

std::string sizeText(std::int64_t bytes, const std::string& groupSeparator)
{
    const std::int64_t counted = bytes < kSmallestShownSize ? kSmallestShownSize : bytes;
    int width = 0;
    const std::string number = GroupedDigits(roundedKilobytes(counted), groupSeparator, &width);
    std::string text(static_cast<std::size_t>(std::max(0, kSizeField - width)), ' ');
    text += number;
    text += 'k';
    return text;
}

std::string dateText(int year, int month, int day, int hour, int minute)
{
    char text[40];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", year, month, day, hour, minute);
    return text;
}

std::string localDateText(std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    return dateText(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min);
}

std::int64_t dateKey(int year, int month, int day, int hour, int minute, int second)
{
    std::int64_t key = year;
    key = key * 13 + month;
    key = key * 32 + day;
    key = key * 24 + hour;
    key = key * 60 + minute;
    return key * 61 + second;  // 61: a leap second still sorts before the next minute
}

std::int64_t localDateKey(std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    return dateKey(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec);
}
