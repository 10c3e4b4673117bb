// Speed, time remaining and progress scaling of the transfer display.
#include "app/TransferProgress.h"

#include <algorithm>
#include <climits>
#include <cmath>

std::optional<double> transferSpeed(std::int64_t bytes, double elapsedSeconds)
{
    if (elapsedSeconds <= 0)
        return std::nullopt;
    return static_cast<double>(bytes) / 1024.0 / elapsedSeconds;
}

std::optional<std::int64_t> remainingSeconds(std::int64_t total, std::int64_t done, double speed)
{
    if (total <= 0 || done > total || speed <= 0)
        return std::nullopt;
    return static_cast<std::int64_t>(static_cast<double>(total - done) / 1024.0 / speed);
}

QString speedText(double speed, std::optional<std::int64_t> remaining, QChar decimalPoint)
{
    // Rounded in hundredths first, so an exact half goes up and no grouping creeps in.
    const auto hundredths = static_cast<std::int64_t>(std::floor(std::max(speed, 0.0) * 100 + 0.5));
    QString text = QString::number(hundredths / 100) + decimalPoint
                   + QStringLiteral("%1").arg(hundredths % 100, 2, 10, QChar(u'0'))
                   + QStringLiteral(" KB/s; ");
    if (remaining) {
        const std::int64_t seconds = *remaining;
        text += QString::asprintf("Time remaining %2lld:%2lld:%2lld",
                                  static_cast<long long>(seconds / 3600),
                                  static_cast<long long>(seconds / 60 % 60),
                                  static_cast<long long>(seconds % 60));
    }
    return text;
}

int ProgressScale::position(std::int64_t count) const
{
    return static_cast<int>(std::clamp<std::int64_t>(count >> shift, 0, maximum));
}

ProgressScale progressScale(std::int64_t maximum)
{
    ProgressScale scale;
    if (maximum <= 0)
        return scale;
    while ((maximum >> scale.shift) > INT_MAX)
        ++scale.shift;
    scale.maximum = static_cast<int>(maximum >> scale.shift);
    return scale;
}
