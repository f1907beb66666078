#include "printers/CPrinterTSPL.h"

#include <zlib.h>

#include <cstdlib>

#include "render/CmdHelpers.h"

using CmdHelpers::AppendCRLF;
using CmdHelpers::AppendFormat;
using CmdHelpers::AppendLine;

namespace {

const char* Unit(int u) { return u == 1 ? " mm" : u == 2 ? " dot" : ""; }

}  // namespace

void CPrinterTSPL::AppendSwitch(const char* name, bool on) {
    AppendFormat(m_CmdBuffer, "%s %s", name, on ? "ON" : "OFF");
    AppendCRLF(m_CmdBuffer);
}

void CPrinterTSPL::cmdSIZE(double w, double h, int u) {
    AppendFormat(m_CmdBuffer, "SIZE %.2lf%s,%.2lf%s", w, Unit(u), h, Unit(u));
    AppendCRLF(m_CmdBuffer);
}

void CPrinterTSPL::cmdSetRibbon(bool on) { AppendSwitch("SET RIBBON", on); }
void CPrinterTSPL::cmdSetPeel(bool on) { AppendSwitch("SET PEEL", on); }
void CPrinterTSPL::cmdSetTear(bool on) { AppendSwitch("SET TEAR", on); }
void CPrinterTSPL::setcAutoDotted(bool on) { AppendSwitch("SETC AUTODOTTED", on); }
void CPrinterTSPL::setcPauseKey(bool on) { AppendSwitch("SETC PAUSEKEY", on); }
void CPrinterTSPL::setcWaterMark(bool on) { AppendSwitch("SETC WATERMARK", on); }

// The cutter's "off" word is FALSE while the partial cutter's is OFF.
void CPrinterTSPL::cmdSetCutter(int mode, int n) {
    if (mode == 0)
        AppendLine(m_CmdBuffer, "SET CUTTER FALSE");
    else if (mode == 1)
        AppendLine(m_CmdBuffer, "SET CUTTER BATCH");
    else {
        AppendFormat(m_CmdBuffer, "SET CUTTER %d", n);
        AppendCRLF(m_CmdBuffer);
    }
}

void CPrinterTSPL::cmdSetPartialCutter(int mode, int n) {
    if (mode == 0)
        AppendLine(m_CmdBuffer, "SET PARTIAL_CUTTER OFF");
    else if (mode == 1)
        AppendLine(m_CmdBuffer, "SET PARTIAL_CUTTER BATCH");
    else {
        AppendFormat(m_CmdBuffer, "SET PARTIAL_CUTTER %d", n);
        AppendCRLF(m_CmdBuffer);
    }
}

void CPrinterTSPL::cmdREFERENCE(int x, int y) {
    AppendFormat(m_CmdBuffer, "REFERENCE %d,%d", CmdHelpers::MmToDots(x, m_iDpi), CmdHelpers::MmToDots(y, m_iDpi));
    AppendCRLF(m_CmdBuffer);
}

void CPrinterTSPL::cmdGAP(int a, int b, int u) {
    AppendFormat(m_CmdBuffer, "GAP %d%s,%d%s", a, Unit(u), b, Unit(u));
    AppendCRLF(m_CmdBuffer);
}

void CPrinterTSPL::cmdBLINE(int a, int b, int u) {
    AppendFormat(m_CmdBuffer, "BLINE %d%s,%d%s", a, Unit(u), b, Unit(u));
    AppendCRLF(m_CmdBuffer);
}

void CPrinterTSPL::cmdOFFSET(int v, int u) {
    AppendFormat(m_CmdBuffer, "OFFSET %d%s", v, Unit(u));
    AppendCRLF(m_CmdBuffer);
}

void CPrinterTSPL::cmdDENSITY(int v) {
    if (v < 0)
        return;
    AppendFormat(m_CmdBuffer, "DENSITY %d", v);
    AppendCRLF(m_CmdBuffer);
}

// Speeds outside 1..12 are sent as 4, a speed every TSPL printer has.
void CPrinterTSPL::cmdSPEED(int v) {
    if (v < 0)
        return;
    if (v == 0 || v >= 13)
        v = 4;
    AppendFormat(m_CmdBuffer, "SPEED %d", v);
    AppendCRLF(m_CmdBuffer);
}

void CPrinterTSPL::cmdCLS() { AppendLine(m_CmdBuffer, "CLS"); }

void CPrinterTSPL::cmdPRINT(int sets, int copies) {
    AppendFormat(m_CmdBuffer, "PRINT %d,%d", sets, copies);
    AppendCRLF(m_CmdBuffer);
}

void CPrinterTSPL::cmdBITMAP(int x, int y, int widthBytes, int height, const void* bits, int length) {
    NS_KT_CLASS::CMyBuffer head;
    AppendFormat(head, "BITMAP %d,%d,%d,%d,", x, y, widthBytes, height);

    if (m_HalfTone.ImageCompress) {
        // Mode 3 data print a set bit as a black dot: the opposite of the page.
        Negative();
        uLongf packedLength = compressBound(static_cast<uLong>(length));
        Bytef* packed = static_cast<Bytef*>(std::malloc(packedLength));
        if (packed &&
            compress(packed, &packedLength, static_cast<const Bytef*>(bits), static_cast<uLong>(length)) == Z_OK) {
            AppendFormat(head, "3,%lu,", static_cast<unsigned long>(packedLength));
            m_CmdBuffer.AddBuffer(head.GetBuffer(), head.GetBufferLength());
            m_CmdBuffer.AddBuffer(packed, static_cast<int>(packedLength));
            std::free(packed);
            AppendCRLF(m_CmdBuffer);
            return;
        }
        std::free(packed);
        // Without a stream whose length matches the header, send the page
        // plain, in the polarity mode 1 expects.
        AddLog("BITMAP: compression failed, sending the page uncompressed");
        Negative();
    }
    head.AddStringA("1,");
    m_CmdBuffer.AddBuffer(head.GetBuffer(), head.GetBufferLength());
    m_CmdBuffer.AddBuffer(bits, length);
    AppendCRLF(m_CmdBuffer);
}

void CPrinterTSPL::OnPaintBmp() {
    AddLog("OnPaintBmp");
    m_CmdBuffer.InitBuffer(0);

    const tagREGSTRUCT& reg = m_RegStruct;
    const double dotsPerMm = m_iDpi / 25.4;
    cmdSIZE(m_Image.GetWidth() / dotsPerMm, m_Image.GetHeight() / dotsPerMm, 1);

    if (reg.iPrinttype == 0)
        cmdSetRibbon(false);
    else if (reg.iPrinttype == 1)
        cmdSetRibbon(true);

    // Peel, cutter, partial cutter, tear: which one mechanism is on.
    switch (reg.iPostPrintAction) {
        case 1:
            cmdSetPeel(false);
            cmdSetCutter(0, 0);
            cmdSetPartialCutter(0, 0);
            cmdSetTear(true);
            break;
        case 2:
            cmdSetPeel(false);
            cmdSetCutter(2, 1);
            cmdSetPartialCutter(0, 0);
            cmdSetTear(false);
            break;
        case 3:
            cmdSetPeel(true);
            cmdSetCutter(0, 0);
            cmdSetPartialCutter(0, 0);
            cmdSetTear(false);
            break;
        case 4:
            cmdSetPeel(false);
            cmdSetCutter(0, 0);
            cmdSetPartialCutter(2, 1);
            cmdSetTear(false);
            break;
        default:
            break;
    }

    cmdREFERENCE(reg.iReference[0], reg.iReference[1]);

    if (reg.iMediaType == 0)
        cmdGAP(0, 0, 1);
    else if (reg.iMediaType == 1)
        cmdGAP(reg.iMarkLength, reg.iMarkOffset, 1);
    else if (reg.iMediaType == 2)
        cmdBLINE(reg.iMarkLength, reg.iMarkOffset, 1);

    cmdOFFSET(reg.iOffset, 1);
    cmdDENSITY(reg.iDensity);
    cmdSPEED(reg.iSpeed);
    if (!m_Extension.bNoSetc) {
        setcAutoDotted(reg.iDottedline);
        setcPauseKey(reg.bPauseKey);
        setcWaterMark(reg.bWaterMark);
    }
    cmdCLS();

    const int widthBytes = static_cast<int>(m_Image.GetEffWidth());
    const int height = static_cast<int>(m_Image.GetHeight());
    cmdBITMAP(0, 0, widthBytes, height, m_Image.GetBits(0), widthBytes * height);
    cmdPRINT(1, m_Extension.iCopies);

    SpoolBuffer(m_CmdBuffer);
}
