#pragma once

#include <string>

#include "preview/CPreviewDecoder.h"

// EPL2 page-mode labels: LF-ended text lines (a CR before the LF allowed),
// from N, which clears the image buffer, to P, which prints it. GW carries
// raw rows after its fourth number and a comma or line end, a CLEAR bit
// printing a black dot. q (the label width) and Q (its length and media)
// last from label to label, as in the printer.
class CEpl2Decoder : public CPreviewDecoder {
public:
    static constexpr const char* kLanguage = "epl2";
    // Whether `d` begins a stream of this language. Jobs open with an LF
    // that ends whatever line came before, then N.
    static bool Begins(const uint8_t* d, size_t n) { return n >= 2 && d[0] == '\n' && d[1] == 'N'; }
    const char* Language() const override { return kLanguage; }

protected:
    bool Parse(CByteReader& in) override;

private:
    // Reads a line through its LF, or a GW line through the comma after its
    // fourth number; `line` without the ending.
    bool ReadLine(CByteReader& in, std::string& line);
    bool Line(CByteReader& in, size_t at, const std::string& line);
    bool LabelLength(size_t at, const std::string& line);
    bool Graphic(CByteReader& in, size_t at, const std::string& line);
    bool Bad(size_t at, const std::string& expected, const std::string& line);

    long m_iWidth = 0;   // q, dots; 0: not given
    long m_iLength = 0;  // Q, dots; 0: not given
};
