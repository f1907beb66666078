#pragma once

#include "preview/CEscposDecoder.h"

// Solvane pocket printers: an ESC/POS subset plus commands of their own
// starting with 10. Every page lies between 10 FF FE 01 and 10 FF FE 45 and
// carries its image as GS v 0 or as the compressed frame 1F 00 (big-endian
// width bytes, rows and length, then raw deflate data and the big-endian
// Adler-32 of the rows); a SET bit prints a black dot.
class CSolvaneDecoder : public CEscposDecoder {
public:
    const char* Language() const override { return "solvane"; }

protected:
    bool Parse(CByteReader& in) override;

private:
    bool SolvaneCommand(CByteReader& in);
    bool CompressedImage(CByteReader& in);
};
