#pragma once

#include "preview/CPreviewDecoder.h"

// ESC/POS raster printing: ESC @, ESC a, ESC J, ESC p, GS V, GS FF and the
// GS v 0 raster image (little-endian sizes, a SET bit prints a black dot).
// The stream has no page marks: a page is a run of consecutive images
// (taller pages arrive as several images of at most 65535 rows, stacked in
// order) with the commands around it; ESC @ after an image starts the next.
class CEscposDecoder : public CPreviewDecoder {
public:
    static constexpr const char* kLanguage = "escpos";
    // Whether `d` begins a stream of this language. Every job opens with an ESC or GS command;
    // ESC ESC is DYMO's reset.
    static bool Begins(const uint8_t* d, size_t n) {
        return n >= 1 && (d[0] == 0x1D || (d[0] == 0x1B && !(n >= 2 && d[1] == 0x1B)));
    }
    const char* Language() const override { return kLanguage; }

protected:
    bool Parse(CByteReader& in) override;

    // Decodes one command of the shared ESC/POS set at the cursor onto the
    // open page. `known` false (and nothing read) when the bytes begin no
    // such command.
    bool EscposCommand(CByteReader& in, bool& known);
    // Stacks `rows` rows under the open page's images.
    bool StackImage(size_t at, int rowBytes, int rows, const uint8_t* data);
    // "an ESC/POS command (...)" for error messages.
    static const char* kCommands;

private:
    bool RasterImage(CByteReader& in);
};
