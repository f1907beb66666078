#pragma once

#include <cstddef>
#include <string>

#include "preview/CByteReader.h"

// One command line of a text printer language (TSPL, CPCL): printable
// ASCII ended by CR LF. The parsing methods advance over the line and
// return false with the expectation noted, so that the decoder can report
// the exact byte: Fail(line.ErrorOffset(), line.Expected(), line.Found()).
class CTextLine {
public:
    // The longest line accepted; a longer one is not a command line.
    static const size_t kMaxLength = 1024;

    // Reads the line at the cursor through its CR LF (not kept in Text()).
    bool Read(CByteReader& in);
    // For a line that goes on with binary data (TSPL BITMAP): Begin starts
    // an empty line at the cursor, ReadField appends the text through the
    // next comma.
    void Begin(const CByteReader& in);
    bool ReadField(CByteReader& in);
    const std::string& Text() const { return m_Text; }
    size_t Offset() const { return m_iOffset; }

    bool AtEnd() const { return m_iPos == m_Text.size(); }
    // The stream offset of the next character to parse.
    size_t Here() const { return m_iOffset + m_iPos; }
    // Consumes `literal` when the line goes on with it; Expect also fails
    // naming it when it does not.
    bool Accept(const char* literal);
    bool Expect(const char* literal);
    // An unsigned (or, with `allowSign`, optionally negative) decimal integer.
    bool Int(long& value, bool allowSign = false);
    // A decimal number with an optional fraction ("48.05"); `text` keeps it as written.
    bool Decimal(double& value, std::string* text = nullptr, bool allowSign = false);
    // A word of capitals, digits, '_' and '-' ("SETC", "PAGE-WIDTH").
    bool Word(std::string& word);
    bool End();

    size_t ErrorOffset() const { return m_iErrorOffset; }
    const std::string& Expected() const { return m_Expected; }
    // What stands where the error is: the rest of the line, or what ended it.
    std::string Found() const { return m_Found; }

    // Notes `expected` as missing at character `at` of the line (for checks
    // on words the decoder parsed); always false.
    bool Reject(const std::string& expected, size_t at);

private:
    bool Miss(const std::string& expected);

    std::string m_Text;
    size_t m_iOffset = 0, m_iPos = 0;
    size_t m_iErrorOffset = 0;
    std::string m_Expected, m_Found;
};
