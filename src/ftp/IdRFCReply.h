// One numeric reply of the RFC 959 form ("250 Okay" or a multi-line "250-" ... "250 " block).
#pragma once

#include <string>
#include <vector>

class TIdRFCReply {
public:
    int NumericCode() const { return m_numericCode; }
    // A code above 0 also sets TextCode to its decimal text.
    void SetNumericCode(int code);
    const std::string& TextCode() const { return m_textCode; }
    // A non-empty text also sets NumericCode to its value, or 0 when it is not a number.
    void SetTextCode(const std::string& code);
    const std::vector<std::string>& Text() const { return m_text; }
    std::vector<std::string>& Text() { return m_text; }

    void ClearReply();
    // Takes the code from the first four characters of the first line ("220-" or "220 ")
    // and the text of every line from its fifth character on.
    void LoadFromLines(const std::vector<std::string>& lines);
    void Assign(const TIdRFCReply& source) { *this = source; }
    // TextCode, then a blank and the first text line when there is one.
    std::string DisplayName() const;

private:
    int m_numericCode = 0;
    std::vector<std::string> m_text;
    std::string m_textCode;
};
