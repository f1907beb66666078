#include "printers/CPrinterZPL.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "render/CmdHelpers.h"
#include "render/Crc16.h"
#include "render/RowRepack.h"

using CmdHelpers::AppendFormat;

namespace {

const char kHex[] = "0123456789ABCDEF";

// ^MN's letter by media tracking type: continuous (N), gap or notch (Y),
// black mark (M).
char Tracking(int mediaType) {
    switch (mediaType) {
        case 1:
        case 3:
            return 'Y';
        case 2:
            return 'M';
        default:
            return 'N';
    }
}

// ^MM's letter by the after-printing setting; 0 (the printer's) sends none.
char Mode(int postPrint) {
    switch (postPrint) {
        case 1:
            return 'T';
        case 2:
        case 4:  // ZPL has no partial cut: the cutter cuts
            return 'C';
        case 3:
            return 'P';
        default:
            return 0;
    }
}

// `count` copies of hex digit `digit` in ZPL's run-length form: 400s as
// 'z', then 20s as 'g'..'y', then 1..19 as 'G'..'Y', then the digit; runs
// of one or two are shorter written out.
void AppendRun(std::string& out, char digit, int count) {
    if (count <= 2) {
        out.append(size_t(count), digit);
        return;
    }
    out.append(size_t(count / 400), 'z');
    count %= 400;
    if (count >= 20)
        out += char('g' + count / 20 - 1);
    if (count % 20)
        out += char('G' + count % 20 - 1);
    out += digit;
}

void AppendRow(std::string& out, const uint8_t* row, int rowBytes) {
    const int nibbles = rowBytes * 2;
    auto nibble = [row](int i) { return (i & 1) ? row[i >> 1] & 0xF : row[i >> 1] >> 4; };
    // The row's tail of one value: ',' (white) or '!' (black) fills it. A
    // fill starts on a byte: older printers misread one begun mid-byte.
    int tail = nibbles;
    const int last = nibble(nibbles - 1);
    if (last == 0 || last == 0xF)
        while (tail > 0 && nibble(tail - 1) == last)
            tail--;
    const bool fill = (last == 0 || last == 0xF) && tail < nibbles;
    const int end = fill ? tail + (tail & 1) : nibbles;
    for (int i = 0; i < end;) {
        const int v = nibble(i);
        int j = i + 1;
        while (j < end && nibble(j) == v)
            j++;
        AppendRun(out, kHex[v], j - i);
        i = j;
    }
    if (fill && end < nibbles)
        out += last ? '!' : ',';
}

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const uint8_t* data, size_t size) {
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const uint32_t v = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
        out += kBase64[v >> 18];
        out += kBase64[v >> 12 & 63];
        out += kBase64[v >> 6 & 63];
        out += kBase64[v & 63];
    }
    if (i < size) {
        const uint32_t v = uint32_t(data[i]) << 16 | (i + 1 < size ? uint32_t(data[i + 1]) << 8 : 0);
        out += kBase64[v >> 18];
        out += kBase64[v >> 12 & 63];
        out += i + 1 < size ? kBase64[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace

CPrinterZPL::~CPrinterZPL() = default;

std::string CPrinterZPL::RunLengthHex(const uint8_t* rows, int rowBytes, int height) {
    std::string out;
    for (int y = 0; y < height; y++) {
        const uint8_t* row = rows + size_t(y) * rowBytes;
        // ':' repeats the row above.
        if (y > 0 && std::equal(row, row + rowBytes, row - rowBytes))
            out += ':';
        else
            AppendRow(out, row, rowBytes);
    }
    return out;
}

std::string CPrinterZPL::Z64(const uint8_t* rows, int rowBytes, int height) {
    const uLong size = uLong(rowBytes) * uLong(height);
    uLongf packedSize = compressBound(size);
    std::vector<Bytef> packed(packedSize);
    if (compress(packed.data(), &packedSize, rows, size) != Z_OK)
        return std::string();
    const std::string text = Base64(packed.data(), packedSize);
    char crc[8];
    std::snprintf(crc, sizeof crc, ":%04x", Crc16::Xmodem(text.data(), text.size()));
    return ":Z64:" + text + crc;
}

void CPrinterZPL::cmdGraphic(int y, const uint8_t* rows, int rowBytes, int height) {
    const std::string hex = RunLengthHex(rows, rowBytes, height);
    const std::string z64 = Z64(rows, rowBytes, height);
    const std::string& data = z64.empty() || hex.size() <= z64.size() ? hex : z64;
    const long bytes = long(rowBytes) * height;
    AppendFormat(m_CmdBuffer, "^FO0,%d^GFA,%ld,%ld,%d,", y, bytes, bytes, rowBytes);
    m_CmdBuffer.AddBuffer(data.data(), static_cast<int>(data.size()));
    m_CmdBuffer.AddStringA("^FS\n");
}

void CPrinterZPL::cmdSetup(int quantity) {
    const tagREGSTRUCT& reg = m_RegStruct;
    // ~SD is a control command: it takes effect as it arrives, ahead of the format.
    if (reg.iDensity >= 0)
        AppendFormat(m_CmdBuffer, "~SD%02d\n", std::min(reg.iDensity, kMostDarkness));
    AppendFormat(m_CmdBuffer, "^XA\n^PON^LH0,0^PW%u^LL%u\n", m_Image.GetWidth(), m_Image.GetHeight());
    AppendFormat(m_CmdBuffer, "^MN%c^MT%c", Tracking(reg.iMediaType), reg.iPrinttype == 1 ? 'T' : 'D');
    if (const char mode = Mode(reg.iPostPrintAction))
        AppendFormat(m_CmdBuffer, "^MM%c", mode);
    if (reg.iSpeed > 0)
        AppendFormat(m_CmdBuffer, "^PR%d", reg.iSpeed);
    if (quantity > 1)
        AppendFormat(m_CmdBuffer, "^PQ%d", quantity);
    m_CmdBuffer.AddStringA("\n");
}

void CPrinterZPL::OnPaintBmp() {
    // ^GF's set bit prints black: the opposite of the page image.
    Negative();
    const int height = static_cast<int>(m_Image.GetHeight());
    const int rowBytes = static_cast<int>(RowRepack::PrinterRowBytes(m_Image.GetWidth()));
    NS_KT_CLASS::CMyBuffer rows;
    if (rowBytes < 1 || height < 1 || !RowRepack::Repack(m_Image, static_cast<uint32_t>(rowBytes), rows)) {
        ReportError("The page could not be prepared for the printer; it was not printed.");
        return;
    }
    const int band = std::max(1, kMaxGraphicBytes / rowBytes);
    m_CmdBuffer.InitBuffer(0);
    for (int left = m_Extension.iCopies, quantity; left > 0; left -= quantity) {
        quantity = std::min(left, kMaxQuantity);
        cmdSetup(quantity);
        for (int y = 0; y < height; y += band)
            cmdGraphic(y, rows.GetBuffer() + size_t(y) * rowBytes, rowBytes, std::min(band, height - y));
        // Nothing after ^XZ: a stream that ends anywhere before it is a page cut short.
        m_CmdBuffer.AddStringA("^XZ");
    }
    SpoolBuffer(m_CmdBuffer);
}
