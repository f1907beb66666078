#pragma once

#include "preview/CEscposDecoder.h"

// Solvane pocket printers: an ESC/POS subset plus commands of their own
// starting with 10. Every page lies between 10 FF FE 01 and 10 FF FE 45 and
// carries its image as GS v 0 or as the compressed frame 1F 00 (big-endian
// width bytes, rows and length, then raw deflate data and the big-endian
// Adler-32 of the rows); a SET bit prints a black dot.
class CSolvaneDecoder : public CEscposDecoder {
public:
    static constexpr const char* kLanguage = "solvane";
    // Whether `d` begins a stream of this language. Every job opens with a 10 FF set-up command.
    static bool Begins(const uint8_t* d, size_t n) { return n >= 2 && d[0] == 0x10 && d[1] == 0xFF; }
    const char* Language() const override { return kLanguage; }

protected:
    bool Parse(CByteReader& in) override;

private:
    bool SolvaneCommand(CByteReader& in);
    bool CompressedImage(CByteReader& in);
};
