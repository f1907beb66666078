#include "printers/CPrinterDymo.h"

#include <algorithm>
#include <vector>

#include "render/CmdHelpers.h"
#include "render/RowRepack.h"

namespace {

const uint8_t kEsc = 0x1B, kSyn = 0x16, kEtb = 0x17;
const int kMaxRun = 128;

// Appends the run bytes of `length` dots of one colour.
void AppendRuns(std::vector<uint8_t>& runs, bool black, int length) {
    const uint8_t colour = black ? 0x80 : 0x00;
    for (; length > kMaxRun; length -= kMaxRun)
        runs.push_back(colour | (kMaxRun - 1));
    if (length > 0)
        runs.push_back(static_cast<uint8_t>(colour | (length - 1)));
}

// The runs of a row of `bytes` bytes, or false as soon as they are no
// fewer than the bytes themselves. Whole white or black bytes extend a run
// by eight dots at once; only mixed bytes are read bit by bit.
bool Runs(const uint8_t* dots, int bytes, std::vector<uint8_t>& runs) {
    runs.clear();
    bool black = (dots[0] & 0x80) != 0;
    int length = 0;
    for (int i = 0; i < bytes; i++) {
        const uint8_t b = dots[i];
        if (b == (black ? 0xFF : 0x00)) {
            length += 8;
            continue;
        }
        for (int bit = 7; bit >= 0; bit--) {
            const bool dot = (b >> bit) & 1;
            if (dot != black) {
                AppendRuns(runs, black, length);
                black = dot;
                length = 0;
            }
            length++;
        }
        if (static_cast<int>(runs.size()) >= bytes)
            return false;
    }
    AppendRuns(runs, black, length);
    return static_cast<int>(runs.size()) < bytes;
}

}  // namespace

CPrinterDymo::~CPrinterDymo() = default;

void CPrinterDymo::cmdReset() {
    const std::vector<uint8_t> escapes(kResetEscapes, kEsc);
    m_CmdBuffer.AddBuffer(escapes.data(), kResetEscapes);
    m_CmdBuffer.AddByte('@');
}

void CPrinterDymo::cmdLabelLength(int rows) {
    const uint8_t length[] = {kEsc, 'L'};
    m_CmdBuffer.AddBuffer(length, sizeof length);
    CmdHelpers::AppendBE16(m_CmdBuffer, static_cast<uint32_t>(rows));
}

void CPrinterDymo::cmdRowBytes(int bytes) {
    const uint8_t rowBytes[] = {kEsc, 'D', static_cast<uint8_t>(bytes)};
    m_CmdBuffer.AddBuffer(rowBytes, sizeof rowBytes);
}

void CPrinterDymo::cmdDensity(int level) {
    if (level < 0)
        return;
    const uint8_t density[] = {kEsc, static_cast<uint8_t>(kDensity[std::min(level, 3)])};
    m_CmdBuffer.AddBuffer(density, sizeof density);
}

void CPrinterDymo::cmdSkip(int rows) {
    for (int step : CmdHelpers::SplitFeed(rows, kMaxSkip)) {
        if (step == 0)
            continue;
        const uint8_t skip[] = {kEsc, 'f', 0x01, static_cast<uint8_t>(step)};
        m_CmdBuffer.AddBuffer(skip, sizeof skip);
    }
}

void CPrinterDymo::AppendRow(const uint8_t* dots, int bytes, bool compress) {
    if (compress && Runs(dots, bytes, m_Runs)) {
        m_CmdBuffer.AddByte(kEtb);
        m_CmdBuffer.AddBuffer(m_Runs.data(), static_cast<int>(m_Runs.size()));
        return;
    }
    m_CmdBuffer.AddByte(kSyn);
    m_CmdBuffer.AddBuffer(dots, bytes);
}

void CPrinterDymo::cmdFormFeed(bool last) {
    const uint8_t feed[] = {kEsc, static_cast<uint8_t>(last ? 'E' : 'G')};
    m_CmdBuffer.AddBuffer(feed, sizeof feed);
}

void CPrinterDymo::OnDestroy() {
    if (!m_bPagePrinted)
        return;
    m_CmdBuffer.InitBuffer(0);
    cmdFormFeed(true);
    SpoolBuffer(m_CmdBuffer);
}

void CPrinterDymo::OnPaintBmp() {
    const tagREGSTRUCT& reg = m_RegStruct;
    const uint32_t headBytes = m_Extension.iHeadDots > 0 ? m_Extension.iHeadDots / 8 : kMaxRowBytes;
    const int bytes =
        static_cast<int>(RowRepack::PrinterRowBytes(m_Image.GetWidth(), std::min<uint32_t>(headBytes, kMaxRowBytes)));
    const int height = static_cast<int>(m_Image.GetHeight());
    if (bytes <= 0 || height <= 0)
        return;
    // Gap and black-mark stock are labels; the rest runs on.
    const bool labels = reg.iMediaType >= 1 && reg.iMediaType <= 3;

    m_CmdBuffer.InitBuffer(0);
    if (!m_bPagePrinted)
        cmdReset();
    cmdLabelLength(labels ? std::min(height, kMaxLabelRows) : 0xFFFF);
    cmdRowBytes(bytes);
    cmdDensity(reg.iDensity);
    std::vector<uint8_t> row(static_cast<size_t>(bytes));
    int white = 0;
    for (int y = 0; y < height; y++) {
        const uint8_t* stored = m_Image.GetBits(static_cast<uint32_t>(y));
        if (!stored)
            break;
        // The page's set bits are white: the printer's are black.
        uint8_t any = 0;
        for (int i = 0; i < bytes; i++)
            any |= row[i] = static_cast<uint8_t>(~stored[i]);
        if (!any) {
            white++;
            continue;
        }
        cmdSkip(white);
        white = 0;
        AppendRow(row.data(), bytes, m_HalfTone.ImageCompress);
    }
    if (!labels)
        cmdSkip(white);
    cmdFormFeed(false);
    if (SpoolBuffer(m_CmdBuffer))
        m_bPagePrinted = true;
}
