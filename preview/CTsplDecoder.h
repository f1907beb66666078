#pragma once

#include "preview/CPreviewDecoder.h"
#include "preview/CTextLine.h"

// TSPL label programs: CR LF text lines from SIZE to PRINT, one label each,
// with BITMAP data in the line (mode 0-2 raw rows where a CLEAR bit prints,
// mode 3 a zlib stream of rows where a SET bit prints).
class CTsplDecoder : public CPreviewDecoder {
public:
    static constexpr const char* kLanguage = "tspl";
    // Whether `d` begins a stream of this language. Every job opens with a command word in capitals.
    static bool Begins(const uint8_t* d, size_t n) { return n >= 1 && d[0] >= 'A' && d[0] <= 'Z'; }
    const char* Language() const override { return kLanguage; }

protected:
    bool Parse(CByteReader& in) override;

private:
    bool Line(CTextLine& line);
    bool Bitmap(CByteReader& in);
    bool Fail(const CTextLine& line) {
        return CPreviewDecoder::Fail(line.ErrorOffset(), line.Expected(), line.Found());
    }
};
