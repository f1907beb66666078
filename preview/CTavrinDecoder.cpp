#include "preview/CTavrinDecoder.h"

#include <zlib.h>

#include <cstdio>

#include "printers/CPrinterTavrin.h"

namespace {

uint16_t LE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t LE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string Hex32(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", v);
    return text;
}

std::string Hex8(int v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", v);
    return text;
}

}  // namespace

bool CTavrinDecoder::Parse(CByteReader& in) {
    m_State = State::Idle;
    while (!in.AtEnd()) {
        const size_t at = in.Offset();
        if (in.Peek() != 0xA5)
            return Fail(at, "A5 to start a packet", in.Describe(at, 4));
        if (in.Remaining() >= 2 && in.Peek(1) != 0x01)
            return Fail(at + 1, "01 after A5", in.Describe(at + 1, 1));
        if (!Need(in, 4, "a packet head (A5 01 and a 16-bit length)"))
            return false;
        in.Skip(2);
        const size_t length = in.LE16();
        if (!Need(in, length + 5, std::to_string(length) + " payload bytes, the CRC-32 and 5A"))
            return false;
        const uint8_t* payload = in.Here();
        const uint32_t stated = LE32(payload + length);
        const uint32_t actual =
            static_cast<uint32_t>(crc32(CPrinterTavrin::kCrcSeed, payload, static_cast<uInt>(length)));
        if (stated != actual)
            return Fail(at + 4 + length, "the payload's CRC-32 " + Hex32(actual), Hex32(stated));
        if (payload[length + 4] != 0x5A)
            return Fail(at + 8 + length, "5A to end the packet", in.Describe(at + 8 + length, 1));
        if (!Packet(at, payload, length))
            return false;
        in.Skip(length + 5);
    }
    if (m_State == State::Printing)
        return Fail(in.Offset(), "the end-of-printing packet (05 1A)", "end of stream");
    EndLastPage();
    return true;
}

bool CTavrinDecoder::Packet(size_t at, const uint8_t* payload, size_t length) {
    const size_t p = at + 4;  // stream offset of the payload
    if (length < 5)
        return Fail(at + 2, "a payload of at least 5 bytes", std::to_string(length));
    if (payload[0] != 0x05)
        return Fail(p, "05 to start the payload", Hex8(payload[0]));
    if (payload[2] != 0x03)
        return Fail(p + 2, "03 after the command code", Hex8(payload[2]));
    const size_t args = LE16(payload + 3);
    if (args != length - 5)
        return Fail(p + 3, std::to_string(length - 5) + " as the argument length (the payload's rest)",
                    std::to_string(args));
    const int code = payload[1];
    const uint8_t* a = payload + 5;
    char text[96];
    const bool noPage = m_State == State::Idle && !PageOpen();
    switch (code) {
        case 0x19:
            if (args != 0)
                return Fail(p + 3, "no arguments to begin-printing", std::to_string(args) + " bytes");
            if (m_State == State::Printing)
                return Fail(p + 1, "the end-of-printing packet (1A) before the next page", "begin-printing (19)");
            EndPage();
            Page();
            m_State = State::Printing;
            m_bTree = false;
            m_iNextChunk = 0;
            m_iRowBytes = 0;
            Command(at, "Tavrin begin printing");
            return true;
        case 0x1A:
            if (args != 0)
                return Fail(p + 3, "no arguments to end-printing", std::to_string(args) + " bytes");
            if (m_State != State::Printing)
                return Fail(p + 1, "begin-printing (19) before end-printing", "end-printing (1A)");
            if (m_iNextChunk == 0)
                return Fail(p + 1, "a bitmap chunk (1B) before end-printing", "end-printing (1A)");
            m_State = State::Ended;
            Command(at, "Tavrin end printing");
            return true;
        case 0x16:
            if (args != 2)
                return Fail(p + 3, "2 argument bytes to feed", std::to_string(args));
            if (noPage)
                return Fail(p + 1, "begin-printing (19) before a paper movement", "feed (16)");
            std::snprintf(text, sizeof text, "Tavrin feed %u", LE16(a));
            Command(at, text);
            Page().AddCount("feed", LE16(a), "");
            return true;
        case 0x21:
            if (args != 4)
                return Fail(p + 3, "4 argument bytes to paper-locate", std::to_string(args));
            if (noPage)
                return Fail(p + 1, "begin-printing (19) before a paper movement", "paper-locate (21)");
            std::snprintf(text, sizeof text, "Tavrin paper locate %u", LE32(a));
            Command(at, text);
            Page().Set("paper locate", std::to_string(LE32(a)));
            return true;
        case 0x1C:
            if (m_State != State::Printing)
                return Fail(p + 1, "begin-printing (19) before the tree", "the tree (1C)");
            return Tree(at, a, args);
        case 0x1B:
            if (m_State != State::Printing || !m_bTree)
                return Fail(p + 1,
                            m_State != State::Printing ? "begin-printing (19) before a bitmap chunk"
                                                       : "the tree (1C) before a bitmap chunk",
                            "a bitmap chunk (1B)");
            return Bitmap(at, a, args);
        default:
            return Fail(p + 1, "a Tavrin command (19, 1A, 1B, 1C, 16 or 21)", Hex8(code));
    }
}

bool CTavrinDecoder::Tree(size_t at, const uint8_t* args, size_t length) {
    const size_t a = at + 9;  // stream offset of the tree bytes
    if (length % 4 != 0)
        return Fail(at + 7, "a tree length of 4 bytes per node", std::to_string(length));
    const size_t count = length / 4;
    std::vector<uint16_t> preorder(count), inorder(count);
    for (size_t i = 0; i < count; i++) {
        preorder[i] = LE16(args + 2 * i);
        inorder[i] = LE16(args + 2 * (count + i));
    }
    CHfmDecodeTree::Fault fault;
    if (!m_Tree.Build(preorder, inorder, fault))
        return Fail(a + 2 * fault.index, fault.expected, fault.found);
    m_bTree = true;
    char text[96];
    std::snprintf(text, sizeof text, "Tavrin Huffman tree: %zu nodes, %zu leaves", count, (count + 1) / 2);
    Command(at, text);
    return true;
}

bool CTavrinDecoder::Bitmap(size_t at, const uint8_t* args, size_t length) {
    const size_t a = at + 9;  // stream offset of the arguments (payload offset 5)
    if (length < 13)
        return Fail(at + 7, "a bitmap header of 12 bytes and a chunk", std::to_string(length) + " argument bytes");
    const int index = LE16(args);
    const size_t chunkLength = length - 12;
    if (index != m_iNextChunk)
        return Fail(a, "chunk index " + std::to_string(m_iNextChunk), std::to_string(index));
    if (LE16(args + 2) != length - 4)
        return Fail(a + 2, std::to_string(length - 4) + " as the bitmap length", std::to_string(LE16(args + 2)));
    if (args[4] != 0x01)
        return Fail(a + 4, "01 in the bitmap header", Hex8(args[4]));
    const int rowBytes = LE16(args + 5);
    if (rowBytes == 0 || (m_iRowBytes != 0 && rowBytes != m_iRowBytes))
        return Fail(
            a + 5,
            m_iRowBytes ? "the page's row length " + std::to_string(m_iRowBytes) : "a row length of at least 1 byte",
            std::to_string(rowBytes));
    if (args[7] != 0 || args[8] != 0)
        return Fail(a + 7, "00 00 in the bitmap header", Hex8(args[7]) + " " + Hex8(args[8]));
    if (args[9] != 0x01)
        return Fail(a + 9, "01 (Huffman-coded) as the coding flag; uncoded chunks are not supported", Hex8(args[9]));
    if (LE16(args + 10) != chunkLength)
        return Fail(a + 10, std::to_string(chunkLength) + " as the chunk length", std::to_string(LE16(args + 10)));
    const uint8_t* chunk = args + 12;
    const size_t c = a + 12;  // stream offset of the chunk
    const int pad = chunk[0];
    if (pad > 7 || (chunkLength == 1 && pad != 0))
        return Fail(c, chunkLength == 1 ? "pad count 0 in an empty chunk" : "a pad count of 0-7", std::to_string(pad));
    m_Rows.clear();
    size_t stopBit = 0;
    if (!m_Tree.Decode(chunk + 1, (chunkLength - 1) * 8 - pad, m_Rows, &stopBit))
        return Fail(c + 1 + stopBit / 8, "whole Huffman codes up to the chunk's end",
                    "a code cut off at bit " + std::to_string(stopBit % 8) + " of this byte");
    if (m_Rows.size() % rowBytes != 0)
        return Fail(c, "whole rows of " + std::to_string(rowBytes) + " bytes in the chunk",
                    std::to_string(m_Rows.size()) + " decoded bytes");
    const int rows = static_cast<int>(m_Rows.size() / rowBytes);
    CPreviewPage& page = Page();
    const int first = page.Height();
    if (rows > 0 && !page.Stack(rowBytes, rows, m_Rows.data()))
        return PageTooLarge(at, rowBytes * 8, first + rows);
    page.MarkImage();
    m_iRowBytes = rowBytes;
    char text[128];
    if (rows == 0)
        std::snprintf(text, sizeof text, "Tavrin bitmap chunk %d: %zu bytes, no rows", index, chunkLength);
    else
        std::snprintf(text, sizeof text, "Tavrin bitmap chunk %d: %zu bytes, rows %d\u2013%d", index, chunkLength,
                      first, first + rows - 1);
    Command(at, text);
    m_iNextChunk++;
    return true;
}
