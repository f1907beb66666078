#include "printers/CPrinterESCPOS.h"

#include <algorithm>
#include <vector>

#include "render/CmdHelpers.h"
#include "render/RowRepack.h"

namespace {

// GS v 0 mode byte: a 100 dpi axis is printed with doubled dots.
unsigned char ModeByte(int xdpi, int ydpi) {
    if (xdpi >= 203 && ydpi >= 203)
        return 0;
    if (xdpi >= 203 && ydpi == 100)
        return 1;
    if (xdpi == 100 && ydpi >= 203)
        return 2;
    if (xdpi == 100 && ydpi == 100)
        return 3;
    return 0;
}

}  // namespace

CPrinterESCPOS::CPrinterESCPOS() = default;

CPrinterESCPOS::~CPrinterESCPOS() = default;

void CPrinterESCPOS::cmdInit() {
    static const unsigned char kInit[] = {0x1B, 0x40, 0x00};
    m_CmdBuffer.AddBuffer(kInit, sizeof kInit);
}

void CPrinterESCPOS::cmdAlignCenter() {
    static const unsigned char kCenter[] = {0x1B, 0x61, 0x01};
    m_CmdBuffer.AddBuffer(kCenter, sizeof kCenter);
}

void CPrinterESCPOS::cmdCutPaper(int partial) {
    const unsigned char cut[] = {0x1D, 0x56, static_cast<unsigned char>(partial == 0 ? 0x30 : 0x31)};
    m_CmdBuffer.AddBuffer(cut, sizeof cut);
}

void CPrinterESCPOS::PrintAndFeedPaper(int mm) {
    // A long feed is several ESC J steps, appended in one piece.
    std::vector<unsigned char> feeds;
    for (int step : CmdHelpers::SplitFeed(CmdHelpers::MmToDots(mm, m_iDpi), 255))
        feeds.insert(feeds.end(), {0x1B, 0x4A, static_cast<unsigned char>(step)});
    if (!feeds.empty())
        m_CmdBuffer.AddBuffer(feeds.data(), static_cast<int>(feeds.size()));
}

void CPrinterESCPOS::cmdOpenMoneyBox() {
    // Pin 2, on and off times 255 x 2 ms.
    static const unsigned char kPulse[] = {0x1B, 0x70, 0x00, 0xFF, 0xFF};
    m_CmdBuffer.AddBuffer(kPulse, sizeof kPulse);
}

bool CPrinterESCPOS::FieldsFit(int widthBytes, int height) {
    if (widthBytes >= 0 && widthBytes <= kMaxImageField && height >= 0 && height <= kMaxImageField)
        return true;
    AddLog("image of %d bytes x %d rows does not fit a 16-bit field", widthBytes, height);
    ReportError("An image of %d bytes by %d rows exceeds the printer's limit of %d and was not printed.", widthBytes,
                height, kMaxImageField);
    return false;
}

void CPrinterESCPOS::PrintBMP(int xdpi, int ydpi, int widthBytes, int height, const void* data, int length) {
    if (!FieldsFit(widthBytes, height))
        return;
    const unsigned char head[] = {0x1D, 0x76, 0x30, ModeByte(xdpi, ydpi)};
    m_CmdBuffer.AddBuffer(head, sizeof head);
    CmdHelpers::AppendLE16(m_CmdBuffer, static_cast<uint32_t>(widthBytes));
    CmdHelpers::AppendLE16(m_CmdBuffer, static_cast<uint32_t>(height));
    m_CmdBuffer.AddBuffer(data, length);
}

bool CPrinterESCPOS::PrinterRows(uint32_t cap, int& widthBytes, NS_KT_CLASS::CMyBuffer& rows) {
    widthBytes = static_cast<int>(RowRepack::PrinterRowBytes(m_Image.GetWidth(), cap));
    if (widthBytes > kMaxImageField) {
        AddLog("page rows of %d bytes exceed the 16-bit width field", widthBytes);
        ReportError("The page is %d bytes wide, more than the printer's limit of %d bytes; it was not printed.",
                    widthBytes, kMaxImageField);
        return false;
    }
    Negative();
    if (!RowRepack::Repack(m_Image, static_cast<uint32_t>(widthBytes), rows)) {
        ReportError("Not enough memory to print the page; it was not printed.");
        return false;
    }
    return true;
}

void CPrinterESCPOS::PrintImage(int widthBytes, int height, const NS_KT_CLASS::CMyBuffer& rows) {
    const unsigned char* data = rows.GetBuffer();
    // Some printers take fewer rows per command than the field can carry.
    const int maxRows =
        m_Extension.iMaxRasterRows > 0 ? std::min(kMaxImageField, m_Extension.iMaxRasterRows) : kMaxImageField;
    for (int top = 0; top < height; top += maxRows) {
        const int band = std::min(maxRows, height - top);
        PrintBMP(m_iDpi, m_iDpi, widthBytes, band, data + static_cast<size_t>(top) * widthBytes, band * widthBytes);
    }
}

void CPrinterESCPOS::OnPaintBmp() {
    const tagREGSTRUCT& reg = m_RegStruct;
    const int height = static_cast<int>(m_Image.GetHeight());
    int widthBytes = 0;
    NS_KT_CLASS::CMyBuffer rows;
    if (!PrinterRows(0, widthBytes, rows))
        return;

    m_CmdBuffer.InitBuffer(0);
    if (reg.iMoneyBox == 1)
        cmdOpenMoneyBox();
    cmdInit();
    cmdAlignCenter();
    PrintImage(widthBytes, height, rows);
    if (reg.iPostFeed > 0)
        PrintAndFeedPaper(reg.iPostFeed);
    if (reg.iCutMode == 3)
        cmdCutPaper(0);
    else if (reg.iCutMode == 4)
        cmdCutPaper(1);
    cmdEndPrint();
    if (reg.iMoneyBox == 2)
        cmdOpenMoneyBox();
    if (SpoolBuffer(m_CmdBuffer))
        m_bPagePrinted = true;
}

void CPrinterESCPOS::OnDestroy() {
    // A job that printed nothing must not feed and cut a blank piece.
    if (!m_bPagePrinted)
        return;
    // The end feed brings the last printed row past the cutter or tear bar.
    if (m_Extension.iEndFeed > 0)
        PrintAndFeedPaper(m_Extension.iEndFeed);
    if (m_RegStruct.iCutMode == 1)
        cmdCutPaper(0);
    else if (m_RegStruct.iCutMode == 2)
        cmdCutPaper(1);
    if (m_CmdBuffer.GetBufferLength() > 0)
        SpoolBuffer(m_CmdBuffer);
}
