#pragma once

#include "preview/CPreviewDecoder.h"
#include "preview/CTextLine.h"

// CPCL labels: from the "! offset hres vres height qty" line to PRINT, CR LF
// text lines; CG (COMPRESSED-GRAPHICS) carries raw rows right after its line,
// a SET bit printing a black dot.
class CCpclDecoder : public CPreviewDecoder {
public:
    const char* Language() const override { return "cpcl"; }

protected:
    bool Parse(CByteReader& in) override;

private:
    bool Label(CTextLine& line);
    bool Line(CByteReader& in, CTextLine& line);
    bool Fail(const CTextLine& line) {
        return CPreviewDecoder::Fail(line.ErrorOffset(), line.Expected(), line.Found());
    }
};
