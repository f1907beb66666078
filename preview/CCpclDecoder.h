#pragma once

#include "preview/CPreviewDecoder.h"
#include "preview/CTextLine.h"

// CPCL labels: from the "! offset hres vres height qty" line to PRINT, CR LF
// text lines; CG (COMPRESSED-GRAPHICS) carries raw rows right after its line,
// a SET bit printing a black dot.
class CCpclDecoder : public CPreviewDecoder {
public:
    static constexpr const char* kLanguage = "cpcl";
    // Whether `d` begins a stream of this language. Every job opens with a "! " label header.
    static bool Begins(const uint8_t* d, size_t n) { return n >= 2 && d[0] == '!' && d[1] == ' '; }
    const char* Language() const override { return kLanguage; }

protected:
    bool Parse(CByteReader& in) override;

private:
    bool Label(CTextLine& line);
    bool Line(CByteReader& in, CTextLine& line);
    bool Fail(const CTextLine& line) {
        return CPreviewDecoder::Fail(line.ErrorOffset(), line.Expected(), line.Found());
    }
};
