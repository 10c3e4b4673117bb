// The message pump that blocking network waits call so the window stays responsive. The
// network code only calls a hook; the application installs what it does (the window:
// process its waiting events).
#pragma once

#include <chrono>
#include <functional>

#include "net/IdBaseComponent.h"

class TIdAntiFreezeBase : public TIdBaseComponent {
public:
    // Creating an instance makes it the one in use (ActiveAntiFreeze); destroying it clears that.
    TIdAntiFreezeBase();
    ~TIdAntiFreezeBase() override;

    // true when an instance is in use, active, and the caller runs on the main thread.
    static bool PumpAllowed();
    // Pumps when allowed, when (OnlyWhenIdle is false, or idle, or overrideIdle), and when
    // at least MinPumpInterval has passed since the last pump (or overrideIdle): so a
    // transfer pumps often enough for the window, but not on every block.
    static void PumpIfDue(bool idle = true, bool overrideIdle = false);

    virtual void PumpMessages() = 0;

    bool Active = true;
    bool ApplicationHasPriority = true;
    int IdleTimeOut = 250;
    bool OnlyWhenIdle = true;
    std::chrono::milliseconds MinPumpInterval{20};

private:
    bool m_pumped = false;
    std::chrono::steady_clock::time_point m_lastPump{};
};

class TIdAntiFreeze : public TIdAntiFreezeBase {
public:
    // allWaiting true: process every waiting message; false: handle at most one.
    using TPumpMessagesHook = std::function<void(bool allWaiting)>;

    // Calls the hook with ApplicationHasPriority; does nothing without a hook.
    void PumpMessages() override;

    TPumpMessagesHook OnPumpMessages;
};

// The instance in use, or null.
extern TIdAntiFreezeBase* ActiveAntiFreeze;

// true on the program's main thread.
bool IsMainThread();
