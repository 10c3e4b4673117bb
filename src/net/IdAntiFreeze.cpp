// The message pump: which thread may pump, when a pump is due, and the application's hook.
#include "net/IdAntiFreeze.h"

#include <unistd.h>

TIdAntiFreezeBase* ActiveAntiFreeze = nullptr;

bool IsMainThread()
{
    // On Linux the main thread's id is the process id; computed once per thread.
    thread_local const bool isMain = ::gettid() == ::getpid();
    return isMain;
}

TIdAntiFreezeBase::TIdAntiFreezeBase()
{
    ActiveAntiFreeze = this;
}

TIdAntiFreezeBase::~TIdAntiFreezeBase()
{
    if (ActiveAntiFreeze == this)
        ActiveAntiFreeze = nullptr;
}

bool TIdAntiFreezeBase::PumpAllowed()
{
    // The thread test comes first: only the main thread may read ActiveAntiFreeze.
    return IsMainThread() && ActiveAntiFreeze != nullptr && ActiveAntiFreeze->Active;
}

void TIdAntiFreezeBase::PumpIfDue(bool idle, bool overrideIdle)
{
    if (!PumpAllowed())
        return;
    TIdAntiFreezeBase& antiFreeze = *ActiveAntiFreeze;
    if (antiFreeze.OnlyWhenIdle && !idle && !overrideIdle)
        return;
    // Processing events on every block of a fast transfer would cost more than the transfer.
    const auto now = std::chrono::steady_clock::now();
    if (!overrideIdle && antiFreeze.m_pumped && now - antiFreeze.m_lastPump < antiFreeze.MinPumpInterval)
        return;
    antiFreeze.m_pumped = true;
    antiFreeze.m_lastPump = now;
    antiFreeze.PumpMessages();
}

void TIdAntiFreeze::PumpMessages()
{
    if (OnPumpMessages)
        OnPumpMessages(ApplicationHasPriority);
}
