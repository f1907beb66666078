#include "preview/CTextLine.h"

#include <cmath>
#include <cstdlib>

void CTextLine::Begin(const CByteReader& in) {
    m_Text.clear();
    m_iOffset = in.Offset();
    m_iPos = 0;
}

bool CTextLine::Read(CByteReader& in) {
    Begin(in);
    while (true) {
        const int c = in.Peek();
        const size_t at = in.Offset();
        if (c < 0) {
            m_iErrorOffset = at;
            m_Expected = "CR LF to end the line";
            m_Found = "end of stream";
            return false;
        }
        if (c == '\r') {
            if (in.Peek(1) != '\n') {
                m_iErrorOffset = at + 1;
                m_Expected = "LF after CR";
                m_Found = in.Describe(at + 1, 4);
                return false;
            }
            in.Skip(2);
            return true;
        }
        if (c < 0x20 || c > 0x7E || m_Text.size() >= kMaxLength) {
            m_iErrorOffset = at;
            m_Expected = c == '\n'                     ? "CR before LF"
                         : m_Text.size() >= kMaxLength ? "CR LF within " + std::to_string(kMaxLength) + " characters"
                                                       : "printable text or CR LF";
            m_Found = in.Describe(at, 4);
            return false;
        }
        m_Text += static_cast<char>(in.U8());
    }
}

bool CTextLine::ReadField(CByteReader& in) {
    while (true) {
        const int c = in.Peek();
        const size_t at = in.Offset();
        if (c < 0x20 || c > 0x7E || m_Text.size() >= kMaxLength) {
            m_iErrorOffset = at;
            m_Expected = "a field ended by a comma";
            m_Found = in.Describe(at, 4);
            return false;
        }
        m_Text += static_cast<char>(in.U8());
        if (c == ',')
            return true;
    }
}

bool CTextLine::Miss(const std::string& expected) {
    m_iErrorOffset = m_iOffset + m_iPos;
    m_Expected = expected;
    if (m_iPos >= m_Text.size()) {
        m_Found = "the end of the line";
    } else {
        std::string rest = m_Text.substr(m_iPos, 16);
        m_Found = "\"" + rest + (m_iPos + 16 < m_Text.size() ? "\" ..." : "\"");
    }
    return false;
}

bool CTextLine::Reject(const std::string& expected, size_t at) {
    m_iPos = at;
    return Miss(expected);
}

bool CTextLine::Accept(const char* literal) {
    const std::string text(literal);
    if (m_Text.compare(m_iPos, text.size(), text) != 0)
        return false;
    m_iPos += text.size();
    return true;
}

bool CTextLine::Expect(const char* literal) { return Accept(literal) || Miss(std::string("\"") + literal + "\""); }

bool CTextLine::Int(long& value, bool allowSign) {
    const size_t start = m_iPos;
    bool negative = false;
    if (allowSign && m_iPos < m_Text.size() && m_Text[m_iPos] == '-') {
        negative = true;
        m_iPos++;
    }
    // The printers' numbers are 32-bit ints: any of them, and nothing beyond.
    const long limit = negative ? 2147483648L : 2147483647L;
    long v = 0;
    size_t digits = 0;
    while (m_iPos < m_Text.size() && m_Text[m_iPos] >= '0' && m_Text[m_iPos] <= '9') {
        v = v * 10 + (m_Text[m_iPos++] - '0');
        digits++;
        if (v > limit) {
            m_iPos = start;
            return Miss("a number that fits 32 bits");
        }
    }
    if (digits == 0) {
        m_iPos = start;
        return Miss(allowSign ? "a whole number" : "an unsigned whole number");
    }
    value = negative ? -v : v;
    return true;
}

bool CTextLine::Decimal(double& value, std::string* text, bool allowSign) {
    const size_t start = m_iPos;
    long whole = 0;
    if (!Int(whole, allowSign)) {
        m_Expected = "a decimal number";
        return false;
    }
    if (Accept(".")) {
        const size_t fraction = m_iPos;
        while (m_iPos < m_Text.size() && m_Text[m_iPos] >= '0' && m_Text[m_iPos] <= '9' && m_iPos - fraction < 9)
            m_iPos++;
        if (m_iPos == fraction)
            return Miss("digits after the decimal point");
    }
    const std::string written = m_Text.substr(start, m_iPos - start);
    value = std::strtod(written.c_str(), nullptr);
    if (text)
        *text = written;
    return true;
}

bool CTextLine::Word(std::string& word) {
    const size_t start = m_iPos;
    while (m_iPos < m_Text.size() &&
           ((m_Text[m_iPos] >= 'A' && m_Text[m_iPos] <= 'Z') || (m_Text[m_iPos] >= '0' && m_Text[m_iPos] <= '9') ||
            m_Text[m_iPos] == '_' || m_Text[m_iPos] == '-'))
        m_iPos++;
    if (m_iPos == start)
        return Miss("a command word");
    word = m_Text.substr(start, m_iPos - start);
    return true;
}

bool CTextLine::End() { return AtEnd() || Miss("the end of the line"); }
