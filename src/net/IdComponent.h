// TIdComponent, the base of every network class: status reports and work (byte progress)
// brackets, and the count of live components that keeps the socket stack alive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/IdBaseComponent.h"

enum class TWorkMode { wkRead = 0, wkWrite = 1 };

enum class TIdStatus {
    stResolving = 0,
    stConnecting = 1,
    stConnected = 2,
    stDisconnecting = 3,
    stDisconnected = 4,
    stText = 5,
    stTransferStart = 6,
    stTransferDone = 7,
    stTransferAborted = 8,
};

class TIdComponent;

using TIdStatusEvent =
    std::function<void(TIdComponent* ASender, TIdStatus AStatus, const std::string& AStatusText)>;
using TWorkBeginEvent =
    std::function<void(TIdComponent* Sender, TWorkMode AWorkMode, std::int64_t AWorkCountMax)>;
using TWorkEvent =
    std::function<void(TIdComponent* Sender, TWorkMode AWorkMode, std::int64_t AWorkCount)>;
using TWorkEndEvent = std::function<void(TIdComponent* Sender, TWorkMode AWorkMode)>;

// The format of a status ("Connecting to %s.") before it is filled.
const char* StatusFormat(TIdStatus status);

class TIdComponent : public TIdBaseComponent {
public:
    TIdComponent();
    ~TIdComponent() override;

    // Fills the status's text with the argument and hands it to OnStatus.
    void ReportStatus(TIdStatus status, const std::string& argument = std::string());

    // Brackets per work mode: only the outermost one fires OnWorkBegin / OnWorkEnd, and
    // OnWork carries the running total since the outermost StartWork.
    virtual void StartWork(TWorkMode mode, std::int64_t workCountMax = 0);
    virtual void AddWork(TWorkMode mode, std::int64_t count);
    virtual void FinishWork(TWorkMode mode);

    std::int64_t WorkCount(TWorkMode mode) const { return work(mode).Count; }
    std::int64_t WorkCountMax(TWorkMode mode) const { return work(mode).Max; }
    int WorkLevel(TWorkMode mode) const { return work(mode).Level; }

    TIdStatusEvent OnStatus;
    TWorkEvent OnWork;
    TWorkBeginEvent OnWorkBegin;
    TWorkEndEvent OnWorkEnd;

private:
    struct WorkRecord {
        std::int64_t Count = 0;
        std::int64_t Max = 0;
        int Level = 0;
    };
    WorkRecord& work(TWorkMode mode) { return m_work[static_cast<int>(mode)]; }
    const WorkRecord& work(TWorkMode mode) const { return m_work[static_cast<int>(mode)]; }

    WorkRecord m_work[2];
};

// The number of live TIdComponent instances (read under the lock that guards it).
int NetComponentCount();
