#pragma once

#include "render/CBaseRender.h"
#include "render/CMyBuffer.h"

// TSPL label printers: every page becomes one self-contained label program
// (set-up lines, CLS, one BITMAP with the whole page, PRINT 1,1) written with
// one spool call. Text lines end with CR LF; numbers are decimal.
class CPrinterTSPL : public CBaseRender {
public:
    CPrinterTSPL() = default;
    ~CPrinterTSPL() override = default;

    // PRINT's second number: copies of the one bitmap.
    static constexpr bool kCopyCount = true;

    void OnPaintBmp() override;

    // Unit argument u: 1 adds " mm", 2 adds " dot", anything else nothing.
    void cmdSIZE(double w, double h, int u);
    void cmdSetRibbon(bool on);
    void cmdSetPeel(bool on);
    void cmdSetTear(bool on);
    void cmdSetCutter(int mode, int n);
    void cmdSetPartialCutter(int mode, int n);
    // Takes millimetres and sends dots (truncated) at the page's resolution.
    void cmdREFERENCE(int x, int y);
    void cmdGAP(int a, int b, int u);
    void cmdBLINE(int a, int b, int u);
    void cmdOFFSET(int v, int u);
    void cmdDENSITY(int v);
    void cmdSPEED(int v);
    void setcAutoDotted(bool on);
    void setcPauseKey(bool on);
    void setcWaterMark(bool on);
    void cmdCLS();
    // With compression on, `bits` must be the page image's own pixels: they
    // are inverted in place before compressing (a set bit then prints).
    void cmdBITMAP(int x, int y, int widthBytes, int height, const void* bits, int length);
    void cmdPRINT(int sets, int copies);

    NS_KT_CLASS::CMyBuffer& CommandBuffer() { return m_CmdBuffer; }

private:
    void AppendSwitch(const char* name, bool on);

    NS_KT_CLASS::CMyBuffer m_CmdBuffer;
};
