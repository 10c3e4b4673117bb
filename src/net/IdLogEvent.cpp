// The logging intercept whose texts go to events.
#include "net/IdLogEvent.h"

void TIdLogEvent::WriteStatus(const std::string& text)
{
    fireEvent(OnStatus, this, text);
}

void TIdLogEvent::WriteReceived(const std::string& timeText, const std::string& data)
{
    fireEvent(OnReceived, this, timeText, data);
}

void TIdLogEvent::WriteSent(const std::string& timeText, const std::string& data)
{
    fireEvent(OnSent, this, timeText, data);
}
