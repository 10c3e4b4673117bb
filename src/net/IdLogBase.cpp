// The logging intercept: connects, drops and data blocks become texts, with optional time and
// visible line ends; nothing at all happens while it is not active.
#include "net/IdLogBase.h"

#include <ctime>
#include <iomanip>
#include <sstream>

TIdLogBase::~TIdLogBase()
{
    SetActive(false);
}

void TIdLogBase::SetActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (active)
        StartLog();
    else
        StopLog();
}

void TIdLogBase::HandleConnect(TIdComponent* connection)
{
    if (!m_active)
        return;
    TIdConnectionIntercept::HandleConnect(connection);
    WriteStatus("Connected.");
}

void TIdLogBase::HandleDisconnect()
{
    if (!m_active)
        return;
    WriteStatus("Disconnected.");
    TIdConnectionIntercept::HandleDisconnect();
}

void TIdLogBase::HandleReceive(std::string& block)
{
    if (!m_active)
        return;
    TIdConnectionIntercept::HandleReceive(block);
    WriteReceived(timeText(), logText(block));
}

void TIdLogBase::HandleSend(std::string& block)
{
    if (!m_active)
        return;
    TIdConnectionIntercept::HandleSend(block);
    WriteSent(timeText(), logText(block));
}

std::string TIdLogBase::timeText() const
{
    return LogTime ? CurrentTimeText() : std::string();
}

std::string TIdLogBase::logText(const std::string& block) const
{
    return ReplaceCRLF ? ReplaceLineEnds(block) : block;
}

std::string TIdLogBase::ReplaceLineEnds(const std::string& text)
{
    std::string result;
    result.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            result += "<EOL>";
            ++i;
        } else if (text[i] == '\r') {
            result += "<CR>";
        } else if (text[i] == '\n') {
            result += "<LF>";
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string TIdLogBase::CurrentTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::ostringstream text;
    text.imbue(std::locale());
    text << std::put_time(&local, "%x %X");
    return text.str();
}
