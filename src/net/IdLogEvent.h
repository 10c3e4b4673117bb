// The logging intercept that hands its texts to events; the window's trace is one.
#pragma once

#include <functional>
#include <string>

#include "net/IdLogBase.h"

using TLogItemDataEvent =
    std::function<void(TIdBaseComponent* ASender, const std::string& AText, const std::string& AData)>;
using TLogItemStatusEvent = std::function<void(TIdBaseComponent* ASender, const std::string& AText)>;

class TIdLogEvent : public TIdLogBase {
public:
    TLogItemDataEvent OnReceived;
    TLogItemDataEvent OnSent;
    TLogItemStatusEvent OnStatus;

protected:
    void WriteStatus(const std::string& text) override;
    void WriteReceived(const std::string& timeText, const std::string& data) override;
    void WriteSent(const std::string& timeText, const std::string& data) override;
};
