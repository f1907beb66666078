#pragma once

#include "preview/CPreviewDecoder.h"
#include "zpl/ZplInterpreter.h"

// ZPL, as the Zebra family's renderer writes it: the project's ZPL
// interpreter reads the stream strictly (zpl::InterpreterOptions::strict)
// and every ^XA ... ^XZ label becomes a page of the label's ^PW x ^LL dots,
// as ZPL written for 203 dpi draws at 203 dpi: dot for dot. The first
// problem the interpreter finds is the stream's error; a label the stream's
// end leaves open is a stream cut short.
class CZplDecoder : public CPreviewDecoder {
public:
    static constexpr const char* kLanguage = "zpl";
    // Whether `d` begins a stream of this language: its first command is a ZPL one.
    static bool Begins(const uint8_t* d, size_t n) { return zpl::LooksLikeZpl(d, n); }
    const char* Language() const override { return kLanguage; }

protected:
    bool Parse(CByteReader& in) override;
};
