#pragma once

#include "render/CBaseRender.h"
#include "render/CMyBuffer.h"

// Zebra EPL2 label printers in page mode: every page becomes one label
// program (N to clear the image buffer, the label's width and length and
// media, darkness and speed, GW bands of the rows that hold black, P with
// the copies), written with one spool call. Lines end with LF; numbers
// are decimal.
//
// GW data print a clear bit as a black dot: the page image's own sense,
// sent without inverting. White rows are not sent (N leaves the buffer
// white); a band of black rows goes as one GW, cut to the bytes between
// its first and last black ones. No O (its options replace the printer's
// all at once) and no bare C (the counter command in older guides).
class CPrinterEPL2 : public CBaseRender {
public:
    CPrinterEPL2() = default;
    ~CPrinterEPL2() override;

    // P's count: copies of the one image.
    static constexpr bool kCopyCount = true;
    // Q's label length and P's count are at most 65535.
    static constexpr int kMaxField = 65535;
    // Q's gap (and the black line drawn from it) in dots at 203 dpi.
    static constexpr int kLeastGap = 16, kMostGap = 240;

    void OnPaintBmp() override;

    // q: the label width, in dots.
    void cmdq(int width);
    // Q: the label length in dots, and the media the iMediaType says
    // (0 or 4 continuous, 2 black line, otherwise gap).
    void cmdQ(int length);
    void cmdD(int density);
    void cmdS(int speed);
    // GW bands of every row run that holds black, each `rowBytes` wide at
    // most; the rows are the page image's, top row first.
    void cmdGW(int rowBytes, int height);
    void cmdP(int copies);

    NS_KT_CLASS::CMyBuffer& CommandBuffer() { return m_CmdBuffer; }

private:
    NS_KT_CLASS::CMyBuffer m_CmdBuffer;
};
