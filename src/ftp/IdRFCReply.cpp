// One numeric reply of the RFC 959 form.
#include "ftp/IdRFCReply.h"

#include "ftp/IdGlobal.h"

void TIdRFCReply::SetNumericCode(int code)
{
    m_numericCode = code;
    if (code > 0)
        m_textCode = std::to_string(code);
}

void TIdRFCReply::SetTextCode(const std::string& code)
{
    m_textCode = code;
    if (!code.empty())
        m_numericCode = StrToIntDef(code, 0);
}

void TIdRFCReply::ClearReply()
{
    m_numericCode = 0;
    m_text.clear();
    m_textCode.clear();
}

void TIdRFCReply::LoadFromLines(const std::vector<std::string>& lines)
{
    ClearReply();
    if (lines.empty())
        return;
    std::string code(Trim(std::string_view(lines.front()).substr(0, 4)));
    if (code.size() == 4 && code[3] == '-')
        code.pop_back();
    SetTextCode(code);
    m_text.reserve(lines.size());
    for (const std::string& line : lines)
        m_text.push_back(line.size() > 4 ? line.substr(4) : std::string());
}

std::string TIdRFCReply::DisplayName() const
{
    if (m_text.empty())
        return m_textCode;
    return m_textCode + " " + m_text.front();
}
