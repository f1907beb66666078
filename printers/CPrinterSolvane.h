#pragma once

#include "printers/CPrinterESCPOS.h"

// Solvane pocket printers: an ESC/POS subset plus commands of their own that
// start with 10 (mostly 10 FF). Every page is a complete sequence of its own
// (set-up with the paper type, density, centring, image, paper movement by
// media type, end command) written with one spool call; nothing is sent at
// the start or end of the job.
//
// The image goes out plain (GS v 0) or, with ImageCompress, as a frame of the
// printer's own whose numbers are big-endian: 1F 00, width in bytes, height
// in rows, the length n of what follows, then the zlib stream (1024-byte
// window) without its two header bytes, ending in the Adler-32.
class CPrinterSolvane : public CPrinterESCPOS {
public:
    // The print head's row length in bytes, which compressed rows are cut to.
    static constexpr int kCompressedRowBytesLowDpi = 208;   // below 204 dpi
    static constexpr int kCompressedRowBytesHighDpi = 312;  // from 204 dpi

    CPrinterSolvane() = default;
    ~CPrinterSolvane() override;

    void OnInit() override {}
    // No end-of-job cut on these printers.
    void OnDestroy() override {}
    void OnPaintBmp() override;

    void cmdInit() override;
    void PrintBMP(int xdpi, int ydpi, int widthBytes, int height, const void* data, int length) override;
    void cmdEndPrint() override;

    // Nothing below 0; above 5 sent as 5.
    void cmdDENSITY(int d);
    void cmdCutLine();

private:
    // Appends the compressed frame; on a zlib failure appends nothing and
    // reports, so the page is not silently printed blank.
    void AppendCompressedFrame(int widthBytes, int height, const void* data, int length);
};
