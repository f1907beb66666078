#pragma once

#include "preview/CPreviewDecoder.h"
#include "preview/CTextLine.h"

// TSPL label programs: CR LF text lines from SIZE to PRINT, one label each,
// with BITMAP data in the line (mode 0-2 raw rows where a CLEAR bit prints,
// mode 3 a zlib stream of rows where a SET bit prints).
class CTsplDecoder : public CPreviewDecoder {
public:
    const char* Language() const override { return "tspl"; }

protected:
    bool Parse(CByteReader& in) override;

private:
    bool Line(CTextLine& line);
    bool Bitmap(CByteReader& in);
    bool Fail(const CTextLine& line) {
        return CPreviewDecoder::Fail(line.ErrorOffset(), line.Expected(), line.Found());
    }
};
