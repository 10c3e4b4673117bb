// Size and date texts of the file panes.
#include "app/PaneText.h"

#include <QLocale>

#include <cstdio>

namespace {

constexpr std::int64_t kSmallestShownSize = 512;
constexpr int kSizeField = 7;

// Whole kilobytes, an exact half rounding up; written without n + 512 so no size overflows.
std::int64_t roundedKilobytes(std::int64_t bytes)
{
    return bytes / 1024 + (bytes % 1024 >= 512 ? 1 : 0);
}

QString groupedDigits(std::int64_t value, const QString& separator)
{
    const QString digits = QString::number(value);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += separator;
        grouped += digits[i];
    }
    return grouped;
}

} // namespace

std::string sizeText(std::int64_t bytes, const QString& groupSeparator)
{
    const std::int64_t counted = bytes < kSmallestShownSize ? kSmallestShownSize : bytes;
    const QString number = groupedDigits(roundedKilobytes(counted), groupSeparator);
    return number.rightJustified(kSizeField, u' ').append(u'k').toStdString();
}

std::string sizeText(std::int64_t bytes)
{
    static const QString separator = QLocale().groupSeparator();
    return sizeText(bytes, separator);
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
