#pragma once

#include "render/CBaseRender.h"
#include "render/CMyBuffer.h"

// ESC/POS receipt printers: every page becomes printer initialisation,
// centring, the page as GS v 0 raster image and then the optional feed, cut
// and drawer pulse, written with one spool call. GS v 0 numbers are
// little-endian; a set bit prints a dot.
//
// The commands are virtual and the page routine reaches them only through
// the virtual table, so that a dialect (CPrinterSolvane) replaces single
// commands and keeps the rest.
class CPrinterESCPOS : public CBaseRender {
public:
    // GS v 0 and the frames derived from it carry width and height in 16 bits.
    static constexpr int kMaxImageField = 65535;

    CPrinterESCPOS();
    ~CPrinterESCPOS() override;

    void OnInit() override {}
    // The end-of-job cut of iCutMode 1 and 2.
    void OnDestroy() override;
    void OnPaintBmp() override;

    virtual void cmdInit();
    virtual void cmdAlignCenter();
    // partial 0: full cut, otherwise partial cut.
    virtual void cmdCutPaper(int partial);
    // Millimetres, converted to dots (truncated) at the page's resolution and
    // sent as ESC J steps of at most 255 dots.
    virtual void PrintAndFeedPaper(int mm);
    // One GS v 0 command: `height` rows of `widthBytes` bytes, top row first.
    // Values that do not fit its 16-bit fields are refused with an error
    // report and nothing is appended; the page routine sends taller pages as
    // several commands.
    virtual void PrintBMP(int xdpi, int ydpi, int widthBytes, int height, const void* data, int length);
    virtual void cmdEndPrint() {}
    virtual void cmdOpenMoneyBox();

    const NS_KT_CLASS::CMyBuffer& CommandBuffer() const { return m_CmdBuffer; }

protected:
    // Turns the page into printer rows of at most `cap` bytes (0: no cap), a
    // set bit a black dot. False, with an error reported and nothing built,
    // for a page whose rows do not fit the 16-bit width field or whose rows
    // cannot be stored.
    bool PrinterRows(uint32_t cap, int& widthBytes, NS_KT_CLASS::CMyBuffer& rows);
    // Hands the repacked page to PrintBMP in bands of at most kMaxImageField
    // rows, top band first, so that a long receipt prints whole.
    void PrintImage(int widthBytes, int height, const NS_KT_CLASS::CMyBuffer& rows);
    // PrintBMP's guard: reports and returns false for values its fields cannot carry.
    bool FieldsFit(int widthBytes, int height);

    NS_KT_CLASS::CMyBuffer m_CmdBuffer;
    bool m_bPagePrinted = false;  // a page reached the spool
};
