// Status reports, work brackets, and the count of live components that owns the socket stack.
#include "net/IdComponent.h"

#include <mutex>

#include "net/IdStack.h"

namespace {

std::mutex& componentLock()
{
    static std::mutex lock;
    return lock;
}

int liveComponents = 0;

} // namespace

const char* StatusFormat(TIdStatus status)
{
    switch (status) {
    case TIdStatus::stResolving: return "Resolving hostname %s.";
    case TIdStatus::stConnecting: return "Connecting to %s.";
    case TIdStatus::stConnected: return "Connected.";
    case TIdStatus::stDisconnecting: return "Disconnecting.";
    case TIdStatus::stDisconnected: return "Disconnected.";
    case TIdStatus::stText:
    case TIdStatus::stTransferStart:
    case TIdStatus::stTransferDone:
    case TIdStatus::stTransferAborted: return "%s";
    }
    return "%s";
}

int NetComponentCount()
{
    std::lock_guard guard(componentLock());
    return liveComponents;
}

TIdComponent::TIdComponent()
{
    std::lock_guard guard(componentLock());
    if (liveComponents++ == 0)
        SocketStack = std::make_unique<TIdStack>();
}

TIdComponent::~TIdComponent()
{
    std::lock_guard guard(componentLock());
    if (--liveComponents == 0)
        SocketStack.reset();
}

void TIdComponent::ReportStatus(TIdStatus status, const std::string& argument)
{
    if (!OnStatus)
        return;
    std::string text = StatusFormat(status);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, argument);
    OnStatus(this, status, text);
}

void TIdComponent::StartWork(TWorkMode mode, std::int64_t workCountMax)
{
    WorkRecord& record = work(mode);
    if (++record.Level != 1)
        return;
    record.Max = workCountMax;
    record.Count = 0;
    fireEvent(OnWorkBegin, this, mode, workCountMax);
}

void TIdComponent::AddWork(TWorkMode mode, std::int64_t count)
{
    WorkRecord& record = work(mode);
    if (record.Level < 1)
        return;
    record.Count += count;
    fireEvent(OnWork, this, mode, record.Count);
}

void TIdComponent::FinishWork(TWorkMode mode)
{
    WorkRecord& record = work(mode);
    if (record.Level == 1)
        fireEvent(OnWorkEnd, this, mode);
    --record.Level;
}
