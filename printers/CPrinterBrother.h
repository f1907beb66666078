#pragma once

#include <cstdint>

#include "render/CBaseRender.h"
#include "render/CMyBuffer.h"

// Brother QL label printers in raster mode. A job opens with the model's run
// of 00 bytes (which ends any command a former job left half sent) and ESC @.
// Every page is ESC i a 01 where the model takes it, ESC i z (the media and
// the page's row count, little-endian), the cut commands, ESC i d (the feed
// margin), M 02 when rows are compressed, then one command per dot row, each
// as wide as the print head (90 bytes on 720 pins, 162 on 1296). Rows are
// mirrored: the first bit sent is the head's first pin, which prints at the
// label's right-hand edge as the label is read.
//
// A page ends with 0C when more follow and 1A after the last; a renderer
// learns that a page was the last only when the job ends, so each page's end
// goes out with the next page or at the end of the job. The language has no
// copy count: a host draws a page again for each copy, as the job's first
// page's bytes hold the job's opening and every page's its place in the job.
class CPrinterBrother : public CBaseRender {
public:
    static constexpr bool kPagesReplay = false;
    static constexpr int kNarrowHead = 720;  // pins of the QL-5xx/6xx/7xx/8xx
    static constexpr int kWideHead = 1296;   // pins of the QL-1050/1060N/11xx
    // The 1296-pin heads place every roll this many pins further from the
    // end of the row than the 720-pin heads do.
    static constexpr int kWideHeadShift = 44;
    static constexpr int kLeastInvalidate = 200;

    // Where a page goes on the head: the DK roll (its width in mm, printable
    // dots and the wire position of the page's left edge) and, for die-cut
    // labels, the label's length and printable rows.
    struct Media {
        int widthMm = 0;
        int dots = 0;
        int leftPin = 0;  // bit of the sent row (0: first) that prints the page's column 0
        bool dieCut = false;
        bool knownLabel = false;  // a DK label of this size: its length is stated and checked
        int lengthMm = 0;         // 0 for continuous rolls
        int rows = 0;             // rows sent: the label's printable rows, else the page's
    };
    // The narrowest roll on a head of `headDots` pins at least `width` dots
    // wide (the widest when none is), and the DK label of that width whose
    // printable rows are within two of `height`.
    static Media MediaFor(int headDots, int width, int height, bool dieCut, int dpi);

    // Appends TIFF PackBits of `size` bytes: runs of at most 128 bytes, never
    // longer than the bytes plus one per 128 (91 for a 90-byte row).
    static void PackBits(const uint8_t* data, int size, NS_KT_CLASS::CMyBuffer& out);

    CPrinterBrother() = default;
    ~CPrinterBrother() override;

    void OnPaintBmp() override;
    // Ends the job's last page with 1A.
    void OnDestroy() override;

    // The pins of the head the driver's head dots (the widest roll's
    // printable dots, which pages are fitted to) tell; with none known, the
    // narrow head unless `width` needs the wide one.
    static int Pins(int headDots, int width);

    void cmdInvalidate();
    void cmdInitialize();
    void cmdRasterMode();
    // n9: 0 for the job's first page, 1 for the others.
    void cmdMediaInfo(const Media& media, bool firstPage);
    void cmdCut();
    void cmdMargin(const Media& media);
    void cmdCompression();
    // One dot row of the page (`bits`, a clear bit black) as a head row.
    void cmdRow(const uint8_t* bits, int width, const Media& media);

    const NS_KT_CLASS::CMyBuffer& CommandBuffer() const { return m_CmdBuffer; }

private:
    NS_KT_CLASS::CMyBuffer m_CmdBuffer;
    int m_iPagesSent = 0;
    int m_iPins = kNarrowHead;  // the job's head
    uint8_t m_Row[kWideHead / 8] = {};
};
