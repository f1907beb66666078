#pragma once

#include <vector>

#include "preview/CPreviewDecoder.h"

// DYMO LabelWriter 400, 450 and 4XL. A job opens with a run of ESC bytes
// and ESC @; then two-byte ESC commands (@ * c d e g h i E G A), three-byte
// ones (ESC B n, ESC D n, ESC q '0'-'2') and four-byte ones (ESC L hi lo,
// ESC Q hi lo, ESC f 01 n), and rows: SYN and exactly ESC D's bytes, or ETB
// and runs (bit 7 black, bits 6-0 the length less 1) of exactly ESC D's
// dots. A set bit prints a black dot. ESC G or ESC E ends a label; the
// printer's settings outlast it. A job has a label at least, and after the
// last, ESC E feeds it to the tear bar. A label is as long as its rows and skips,
// and at least as ESC L says below 0x8000 (its length then bounds the
// search for the next label's top, so the rows it does not send are white).
class CDymoDecoder : public CPreviewDecoder {
public:
    static constexpr const char* kLanguage = "dymo";
    // The widest head's bytes: ESC B and ESC D together reach no further.
    static constexpr int kMaxRowBytes = 156;
    // Whether `d` begins a stream of this language: the reset's ESC bytes.
    static bool Begins(const uint8_t* d, size_t n) { return n >= 2 && d[0] == 0x1B && d[1] == 0x1B; }
    const char* Language() const override { return kLanguage; }

protected:
    bool Parse(CByteReader& in) override;

private:
    bool Reset(CByteReader& in);
    bool Escape(CByteReader& in);
    bool Row(CByteReader& in);
    bool Runs(CByteReader& in, std::vector<uint8_t>& row);
    void EndLabel();
    bool RowFits(size_t at, int dotTab, int rowBytes);
    // Lists the rows read since the last command as one command.
    void FlushRows();

    int m_iRowBytes = 0;  // ESC D; 0 before the first
    int m_iDotTab = 0;    // ESC B
    int m_iLength = 0;    // ESC L
    int m_iRows = 0;      // rows of the open label, skips included
    std::vector<uint8_t> m_Row;
    // Consecutive rows of one kind, listed as one command.
    size_t m_iGroupAt = 0;
    int m_iGroupRows = 0;
    bool m_bGroupRuns = false;
    bool m_bTornOff = true;  // no label since the last ESC E
};
