// Speed, time remaining and progress scaling of the transfer display.
#include "model/TransferProgress.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

std::optional<double> kilobytesPerSecond(std::int64_t bytes, double elapsedSeconds)
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

std::string kilobytesText(double speed, const std::string& decimalPoint)
{
    // Rounded in hundredths first, so an exact half goes up and no grouping creeps in.
    const auto hundredths = static_cast<long long>(std::floor(std::max(speed, 0.0) * 100 + 0.5));
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, "%02lld", hundredths % 100);
    return std::to_string(hundredths / 100) + decimalPoint + fraction + " KB/s";
}

std::string speedText(double speed, std::optional<std::int64_t> remaining,
                      const std::string& decimalPoint)
{
    std::string text = kilobytesText(speed, decimalPoint) + "; ";
    if (remaining) {
        const long long seconds = *remaining;
        char clock[64];
        std::snprintf(clock, sizeof clock, "Time remaining %2lld:%2lld:%2lld", seconds / 3600,
                      seconds / 60 % 60, seconds % 60);
        text += clock;
    }
    return text;
}

int ProgressScale::position(std::int64_t count) const
{
    return static_cast<int>(std::clamp<std::int64_t>(count >> shift, 0, maximum));
}

ProgressScale progressScaleFor(std::int64_t maximum)
{
    ProgressScale scale;
    if (maximum <= 0)
        return scale;
    while ((maximum >> scale.shift) > INT_MAX)
        ++scale.shift;
    scale.maximum = static_cast<int>(maximum >> scale.shift);
    return scale;
}
