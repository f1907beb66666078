#include "printers/CPrinterBrother.h"

#include <array>
#include <cstring>

#include "render/CmdHelpers.h"

namespace {

// DK rolls by width: printable dots across, and the pins after the printable
// area in the order a row is sent, on a 720-pin head (Brother's raster
// references list the same pins as the "right margin").
struct Roll {
    int widthMm, dots, trailing;
};
const Roll kRolls[] = {
    {12, 106, 29}, {29, 306, 6}, {38, 413, 12}, {50, 554, 12}, {54, 590, 0}, {62, 696, 12}, {102, 1164, 12},
};

// DK die-cut labels: their rows at 300 dpi are fewer than their length, as
// the printer keeps a margin above and below.
struct Label {
    int widthMm, lengthMm, rows;
};
const Label kLabels[] = {
    {29, 90, 991}, {38, 90, 991}, {62, 29, 271}, {62, 100, 1109}, {102, 152, 1660},
};

// A die-cut page may be a row or two off its label after points turn into dots.
const int kRowSlack = 2;
// ESC i d's feed on continuous rolls: 3 mm at 300 dpi; die-cut labels take 0.
const int kContinuousMargin = 35;

constexpr std::array<uint8_t, 256> ReversedBits() {
    std::array<uint8_t, 256> table{};
    for (int v = 0; v < 256; v++) {
        int r = 0;
        for (int bit = 0; bit < 8; bit++)
            if (v & (1 << bit))
                r |= 0x80 >> bit;
        table[v] = static_cast<uint8_t>(r);
    }
    return table;
}
constexpr std::array<uint8_t, 256> kReversed = ReversedBits();

void AddBytes(NS_KT_CLASS::CMyBuffer& buffer, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes)
        buffer.AddByte(b);
}

}  // namespace

CPrinterBrother::~CPrinterBrother() = default;

CPrinterBrother::Media CPrinterBrother::MediaFor(int headDots, int width, int height, bool dieCut, int dpi) {
    const int shift = headDots > kNarrowHead ? kWideHeadShift : 0;
    const Roll* roll = nullptr;
    for (const Roll& r : kRolls) {
        if (r.dots + r.trailing + shift > headDots)
            continue;
        const bool wider = r.dots >= width;
        roll = &r;
        if (wider)
            break;
    }
    Media media;
    media.widthMm = roll->widthMm;
    media.dots = roll->dots;
    media.leftPin = headDots - roll->trailing - shift - 1;
    media.dieCut = dieCut;
    media.rows = height;
    if (!dieCut)
        return media;
    for (const Label& label : kLabels)
        if (label.widthMm == roll->widthMm && height >= label.rows - kRowSlack && height <= label.rows + kRowSlack) {
            media.knownLabel = true;
            media.lengthMm = label.lengthMm;
            media.rows = label.rows;
            return media;
        }
    media.lengthMm = dpi > 0 ? (height * 254 + dpi * 5) / (dpi * 10) : 0;
    return media;
}

void CPrinterBrother::PackBits(const uint8_t* data, int size, NS_KT_CLASS::CMyBuffer& out) {
    // Runs of three or more repeat; two equal bytes stay literal, where a run
    // would cost as much and split the literal.
    const auto runAt = [&](int i) {
        int run = 1;
        while (i + run < size && run < 128 && data[i + run] == data[i])
            run++;
        return run;
    };
    int i = 0;
    while (i < size) {
        const int run = runAt(i);
        if (run >= 3) {
            out.AddByte(static_cast<uint8_t>(1 - run));  // -(run - 1), two's complement
            out.AddByte(data[i]);
            i += run;
            continue;
        }
        int n = run;
        while (i + n < size && n < 128 && runAt(i + n) < 3)
            n++;
        if (n > 128)
            n = 128;
        out.AddByte(static_cast<uint8_t>(n - 1));
        out.AddBuffer(data + i, n);
        i += n;
    }
}

int CPrinterBrother::Pins(int headDots, int width) {
    if (headDots > 0)
        return headDots > kNarrowHead ? kWideHead : kNarrowHead;
    return MediaFor(kNarrowHead, width, 1, false, 0).dots < width ? kWideHead : kNarrowHead;
}

void CPrinterBrother::cmdInvalidate() {
    const int count = m_Extension.iInvalidate > kLeastInvalidate ? m_Extension.iInvalidate : kLeastInvalidate;
    const int start = m_CmdBuffer.GetBufferLength();
    m_CmdBuffer.SetBufferSize(start + count);
    for (int i = 0; i < count; i++)
        m_CmdBuffer.AddByte(0x00);
}

void CPrinterBrother::cmdInitialize() { AddBytes(m_CmdBuffer, {0x1B, 0x40}); }

void CPrinterBrother::cmdRasterMode() {
    if (!m_Extension.bNoModeCommand)
        AddBytes(m_CmdBuffer, {0x1B, 0x69, 0x61, 0x01});
}

void CPrinterBrother::cmdMediaInfo(const Media& media, bool firstPage) {
    // Valid fields: media type and width, the length of a known label; 0x80
    // asks the printer to recover from an error by itself.
    const uint8_t valid = static_cast<uint8_t>(0x80 | 0x02 | 0x04 | (media.knownLabel ? 0x08 : 0));
    AddBytes(m_CmdBuffer, {0x1B, 0x69, 0x7A, valid, static_cast<uint8_t>(media.dieCut ? 0x0B : 0x0A),
                           static_cast<uint8_t>(media.widthMm), static_cast<uint8_t>(media.lengthMm)});
    CmdHelpers::AppendLE32(m_CmdBuffer, static_cast<uint32_t>(media.rows));
    AddBytes(m_CmdBuffer, {static_cast<uint8_t>(firstPage ? 0 : 1), 0x00});
}

// After printing: 0 leaves the printer's own setting; 2 (and 4, as the QL
// cutters cut only fully) cuts every label and at the end of the job; 1
// (and 3) cuts nothing.
void CPrinterBrother::cmdCut() {
    switch (m_RegStruct.iPostPrintAction) {
        case 0:
            break;
        case 2:
        case 4:
            AddBytes(m_CmdBuffer, {0x1B, 0x69, 0x4D, 0x40, 0x1B, 0x69, 0x41, 0x01, 0x1B, 0x69, 0x4B, 0x08});
            break;
        default:
            AddBytes(m_CmdBuffer, {0x1B, 0x69, 0x4D, 0x00, 0x1B, 0x69, 0x4B, 0x00});
            break;
    }
}

void CPrinterBrother::cmdMargin(const Media& media) {
    AddBytes(m_CmdBuffer, {0x1B, 0x69, 0x64});
    CmdHelpers::AppendLE16(m_CmdBuffer, media.dieCut ? 0 : kContinuousMargin);
}

void CPrinterBrother::cmdCompression() {
    if (m_HalfTone.ImageCompress)
        AddBytes(m_CmdBuffer, {0x4D, 0x02});
}

void CPrinterBrother::cmdRow(const uint8_t* bits, int width, const Media& media) {
    const int headBytes = m_iPins / 8;
    std::memset(m_Row, 0, sizeof m_Row);
    const int limit = width < media.dots ? width : media.dots;
    bool blank = true;
    for (int k = 0; bits && 8 * k < limit; k++) {
        uint8_t v = static_cast<uint8_t>(~bits[k]);
        if (limit - 8 * k < 8)
            v &= static_cast<uint8_t>(0xFF << (8 - (limit - 8 * k)));
        if (!v)
            continue;
        blank = false;
        // Column 8k + 7 lands at pin q, column 8k at q + 7.
        const uint8_t r = kReversed[v];
        const int q = media.leftPin - 8 * k - 7;
        if (q >= 0) {
            const int s = q & 7;
            m_Row[q >> 3] |= static_cast<uint8_t>(r >> s);
            if (s)
                m_Row[(q >> 3) + 1] |= static_cast<uint8_t>(r << (8 - s));
        } else if (q > -8) {
            m_Row[0] |= static_cast<uint8_t>(r << -q);
        }
    }
    if (!m_HalfTone.ImageCompress) {
        AddBytes(m_CmdBuffer, {0x67, 0x00, static_cast<uint8_t>(headBytes)});
        m_CmdBuffer.AddBuffer(m_Row, headBytes);
    } else if (blank) {
        m_CmdBuffer.AddByte(0x5A);  // Z: a row of white
    } else {
        NS_KT_CLASS::CMyBuffer packed;
        PackBits(m_Row, headBytes, packed);
        AddBytes(m_CmdBuffer, {0x67, 0x00, static_cast<uint8_t>(packed.GetBufferLength())});
        m_CmdBuffer.AddBuffer(packed.GetBuffer(), packed.GetBufferLength());
    }
}

void CPrinterBrother::OnPaintBmp() {
    const uint8_t* bits = m_Image.GetBits(0);
    const int width = static_cast<int>(m_Image.GetWidth());
    const int height = static_cast<int>(m_Image.GetHeight());
    if (!bits || width == 0 || height == 0) {
        AddLog("OnPaintBmp: the page image has no bytes; nothing sent");
        ReportError("The page has no image data and was not printed.");
        return;
    }
    const int type = m_RegStruct.iMediaType;
    const bool dieCut = type == 1 || type == 2 || type == 3;
    const bool first = m_iPagesSent == 0;
    // A printer has one head: without one from the PPD, the job's first page
    // chooses it, and the decoder and printer take no other row length.
    if (first)
        m_iPins = Pins(m_Extension.iHeadDots, width);
    const Media media = MediaFor(m_iPins, width, height, dieCut, m_iDpi);
    AddLog("OnPaintBmp: %d mm %s, %d rows, left pin %d", media.widthMm, dieCut ? "die-cut" : "continuous", media.rows,
           media.leftPin);

    m_CmdBuffer.InitBuffer(0);
    if (first) {
        cmdInvalidate();
        cmdInitialize();
    } else {
        m_CmdBuffer.AddByte(0x0C);  // the previous page's end: print, more follow
    }
    cmdRasterMode();
    cmdMediaInfo(media, first);
    cmdCut();
    cmdMargin(media);
    cmdCompression();

    const long long rowBytes = m_iPins / 8 + 4;
    const long long needed = m_CmdBuffer.GetBufferLength() + rowBytes * media.rows + 1;
    if (needed <= NS_KT_CLASS::CMyBuffer::kDefaultMaxBufferSize)
        m_CmdBuffer.SetBufferSize(static_cast<int>(needed));
    const uint32_t stride = m_Image.GetEffWidth();
    for (int y = 0; y < media.rows; y++)
        cmdRow(y < height ? bits + static_cast<size_t>(y) * stride : nullptr, width, media);
    if (SpoolBuffer(m_CmdBuffer))
        m_iPagesSent++;
}

void CPrinterBrother::OnDestroy() {
    if (m_iPagesSent == 0)
        return;
    static const uint8_t kLastPageEnd = 0x1A;  // print, the job's last page
    WriteSpool(&kLastPageEnd, 1);
    m_iPagesSent = 0;
}
