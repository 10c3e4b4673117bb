// The arithmetic of the transfer display: speed, time remaining, their status text, and the
// scaling of a 64-bit byte count into the progress bar's int range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Kilobytes (1,024 bytes) per second; none while no time has passed.
[[nodiscard]] std::optional<double> kilobytesPerSecond(std::int64_t bytes, double elapsedSeconds);

// Whole seconds left at `speed` KB/s; none when the total is unknown (0 or less), already
// passed, or no speed is known yet: any figure would mean nothing.
[[nodiscard]] std::optional<std::int64_t> remainingSeconds(std::int64_t total, std::int64_t done, double speed);

// "204.80 KB/s": two decimals (an exact half goes up) and the given decimal point.
[[nodiscard]] std::string kilobytesText(double speed, const std::string& decimalPoint = ".");

// "204.80 KB/s; Time remaining  0: 0: 2", or "204.80 KB/s; " without a remaining time. The
// speed has two decimals (an exact half goes up) and the locale's decimal separator (UTF-8).
[[nodiscard]] std::string speedText(double speed, std::optional<std::int64_t> remaining,
                      const std::string& decimalPoint = ".");

// A maximum past the bar's int range is shifted down, and every position with it.
struct ProgressScale {
    int maximum = 0;
    int shift = 0;
    int position(std::int64_t count) const;
};
[[nodiscard]] ProgressScale progressScaleFor(std::int64_t maximum);
