// What the window does from inside a blocking call, for the session tests: a pump that runs
// an action once, and the count of the process's open descriptors.
#pragma once

#include "net/IdAntiFreeze.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>

namespace ftptest {

// The window's pump: from inside the blocking waits it runs `action` once, at the first
// pump where `due` answers true (always, without one).
struct PumpHook {
    explicit PumpHook(std::function<void()> action, std::function<bool()> due = {})
    {
        antiFreeze.IdleTimeOut = 20;
        antiFreeze.OnlyWhenIdle = false;
        antiFreeze.MinPumpInterval = std::chrono::milliseconds(0);
        antiFreeze.OnPumpMessages = [this, action = std::move(action), due = std::move(due)](bool) {
            ++pumps;
            if (ran || (due && !due()))
                return;
            ran = true;
            action();
        };
    }
    TIdAntiFreeze antiFreeze;
    int pumps = 0;
    bool ran = false;
};

inline std::size_t openDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

} // namespace ftptest
