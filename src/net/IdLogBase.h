// The logging intercept: turns connects, drops and data blocks into texts for WriteStatus,
// WriteReceived and WriteSent; inert while not Active.
#pragma once

#include <string>

#include "net/IdIntercept.h"

class TIdLogBase : public TIdConnectionIntercept {
public:
    TIdLogBase() = default;
    ~TIdLogBase() override;

    void HandleConnect(TIdComponent* connection) override;
    void HandleDisconnect() override;
    void HandleReceive(std::string& block) override;
    void HandleSend(std::string& block) override;

    bool Active() const { return m_active; }
    // Calls StartLog or StopLog when the value changes.
    void SetActive(bool active);

    bool LogTime = true;
    bool ReplaceCRLF = true;

    // CR LF -> "<EOL>", then a lone CR -> "<CR>", then a lone LF -> "<LF>".
    static std::string ReplaceLineEnds(const std::string& text);
    // The local date and time in the locale's short form.
    static std::string CurrentTimeText();

protected:
    virtual void StartLog() {}
    virtual void StopLog() {}
    virtual void WriteStatus(const std::string& text) = 0;
    virtual void WriteReceived(const std::string& timeText, const std::string& data) = 0;
    virtual void WriteSent(const std::string& timeText, const std::string& data) = 0;

private:
    std::string timeText() const;
    std::string logText(const std::string& block) const;

    bool m_active = false;
};
