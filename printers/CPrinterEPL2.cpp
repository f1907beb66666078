#include "printers/CPrinterEPL2.h"

#include <algorithm>

#include "render/CmdHelpers.h"

using CmdHelpers::AppendFormat;

CPrinterEPL2::~CPrinterEPL2() = default;

void CPrinterEPL2::cmdq(int width) { AppendFormat(m_CmdBuffer, "q%d\n", width); }

void CPrinterEPL2::cmdQ(int length) {
    const tagREGSTRUCT& reg = m_RegStruct;
    // Heads above 203 dpi take gaps from 18 dots.
    const int least = m_iDpi > 203 ? kLeastGap + 2 : kLeastGap;
    const int mark = std::clamp(CmdHelpers::MmToDots(reg.iMarkLength, m_iDpi), least, kMostGap);
    if (reg.iMediaType == 0 || reg.iMediaType == 4)
        AppendFormat(m_CmdBuffer, "Q%d,0\n", length);
    else if (reg.iMediaType == 2)
        AppendFormat(m_CmdBuffer, "Q%d,B%d,%d\n", length, mark, CmdHelpers::MmToDots(reg.iMarkOffset, m_iDpi));
    else
        AppendFormat(m_CmdBuffer, "Q%d,%d\n", length, mark);
}

void CPrinterEPL2::cmdD(int density) {
    if (density >= 0)
        AppendFormat(m_CmdBuffer, "D%d\n", std::min(density, 15));
}

void CPrinterEPL2::cmdS(int speed) {
    if (speed > 0)
        AppendFormat(m_CmdBuffer, "S%d\n", speed);
}

namespace {

const uint8_t kWhite = 0xFF;

// The first and one past the last byte of `row` that holds black; first ==
// end for a white row.
void BlackSpan(const uint8_t* row, int bytes, int& first, int& end) {
    first = 0;
    while (first < bytes && row[first] == kWhite)
        first++;
    end = bytes;
    while (end > first && row[end - 1] == kWhite)
        end--;
}

}  // namespace

void CPrinterEPL2::cmdGW(int rowBytes, int height) {
    for (int y = 0; y < height;) {
        int first = 0, end = 0;
        BlackSpan(m_Image.GetBits(y), rowBytes, first, end);
        if (first == end) {
            y++;
            continue;
        }
        // The band: this row and the black rows after it, as wide as the
        // widest of them.
        int rows = 1;
        for (int f, e; y + rows < height; rows++) {
            BlackSpan(m_Image.GetBits(y + rows), rowBytes, f, e);
            if (f == e)
                break;
            first = std::min(first, f);
            end = std::max(end, e);
        }
        const int width = end - first;
        AppendFormat(m_CmdBuffer, "GW%d,%d,%d,%d\n", first * 8, y, width, rows);
        for (int r = 0; r < rows; r++)
            m_CmdBuffer.AddBuffer(m_Image.GetBits(y + r) + first, width);
        m_CmdBuffer.AddByte('\n');
        y += rows;
    }
}

void CPrinterEPL2::cmdP(int copies) { AppendFormat(m_CmdBuffer, "P%d\n", std::clamp(copies, 1, kMaxField)); }

void CPrinterEPL2::OnPaintBmp() {
    int height = static_cast<int>(m_Image.GetHeight());
    if (height > kMaxField) {
        AddLog("OnPaintBmp: %d rows, more than a label's length takes; %d sent", height, kMaxField);
        ReportWarning("The page is longer than an EPL2 label can be; its end was not printed.");
        height = kMaxField;
    }
    const int rowBytes = static_cast<int>((m_Image.GetWidth() + 7) / 8);
    m_CmdBuffer.InitBuffer(0);
    // The LF ends any line a previous job left open.
    AppendFormat(m_CmdBuffer, "\nN\n");
    cmdq(rowBytes * 8);
    cmdQ(height);
    cmdD(m_RegStruct.iDensity);
    cmdS(m_RegStruct.iSpeed);
    cmdGW(rowBytes, height);
    cmdP(m_Extension.iCopies);
    SpoolBuffer(m_CmdBuffer);
}
