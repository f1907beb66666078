#include "printers/CPrinterSolvane.h"

#include <zlib.h>

#include <cstdlib>

#include "render/CmdHelpers.h"

namespace {

// Paper-type byte of the set-up command, by media tracking type.
unsigned char PaperType(int mediaType) {
    switch (mediaType) {
        case 1:
            return 0x02;  // gap
        case 2:
            return 0x00;  // black line
        case 3:
            return 0x03;  // perforated
        default:
            return 0x01;  // continuous, roll, recording
    }
}

}  // namespace

CPrinterSolvane::~CPrinterSolvane() = default;

void CPrinterSolvane::cmdInit() {
    const unsigned char setup[] = {0x10, 0xFF, 0xFE, 0x01, 0x10, 0xFF, 0x10, 0x03, PaperType(m_RegStruct.iMediaType),
                                   0x1B, 0x40, 0x00};
    m_CmdBuffer.AddBuffer(setup, sizeof setup);
}

void CPrinterSolvane::cmdDENSITY(int d) {
    if (d < 0)
        return;
    const unsigned char density[] = {0x10, 0xFF, 0x10, 0x00, static_cast<unsigned char>(d >= 6 ? 5 : d)};
    m_CmdBuffer.AddBuffer(density, sizeof density);
}

void CPrinterSolvane::cmdCutLine() {
    static const unsigned char kCutLine[] = {0x10, 0x50};
    m_CmdBuffer.AddBuffer(kCutLine, sizeof kCutLine);
}

void CPrinterSolvane::cmdEndPrint() {
    static const unsigned char kEnd[] = {0x10, 0xFF, 0xFE, 0x45};
    m_CmdBuffer.AddBuffer(kEnd, sizeof kEnd);
}

void CPrinterSolvane::PrintBMP(int xdpi, int ydpi, int widthBytes, int height, const void* data, int length) {
    if (!m_HalfTone.ImageCompress) {
        CPrinterESCPOS::PrintBMP(xdpi, ydpi, widthBytes, height, data, length);
        return;
    }
    if (FieldsFit(widthBytes, height))
        AppendCompressedFrame(widthBytes, height, data, length);
}

void CPrinterSolvane::AppendCompressedFrame(int widthBytes, int height, const void* data, int length) {
    if (length < 0)
        length = 0;
    z_stream stream{};
    stream.next_in = static_cast<Bytef*>(const_cast<void*>(data));
    stream.avail_in = static_cast<uInt>(length);
    // Asked before the stream is initialised, zlib gives its bound for any
    // parameters, which the single deflate call below relies on.
    const uLong bound = deflateBound(&stream, static_cast<uLong>(length));
    Bytef* block = static_cast<Bytef*>(std::malloc(bound));
    stream.next_out = block;
    stream.avail_out = block ? static_cast<uInt>(bound) : 0;

    bool ok = false;
    // windowBits 10: a zlib-wrapped stream with the 1024-byte window the printer decodes with.
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 10, 8, Z_DEFAULT_STRATEGY) == Z_OK) {
        const bool finished = deflate(&stream, Z_FINISH) == Z_STREAM_END;
        ok = deflateEnd(&stream) == Z_OK && finished && stream.total_out > 2;
    }
    if (ok) {
        // The frame carries the stream without its two-byte zlib header.
        const uLong n = stream.total_out - 2;
        NS_KT_CLASS::CMyBuffer head;
        const unsigned char tag[] = {0x1F, 0x00};
        head.AddBuffer(tag, sizeof tag);
        CmdHelpers::AppendBE16(head, static_cast<uint32_t>(widthBytes));
        CmdHelpers::AppendBE16(head, static_cast<uint32_t>(height));
        CmdHelpers::AppendBE32(head, static_cast<uint32_t>(n));
        m_CmdBuffer.AddBuffer(head.GetBuffer(), head.GetBufferLength());
        m_CmdBuffer.AddBuffer(block + 2, static_cast<int>(n));
    } else {
        AddLog("PrintBMP: compressing %d bytes failed: %s", length, stream.msg ? stream.msg : "no memory");
        ReportError("Compressing the page image failed; the page was printed without its image.");
    }
    std::free(block);
}

void CPrinterSolvane::OnPaintBmp() {
    const tagREGSTRUCT& reg = m_RegStruct;
    if (reg.iMediaType == 5) {
        // Recording paper: no white lead-in or trail.
        CropWhiteEdge(-1, -1, 0, 0);
        AdjustEffWidthBits();
    }

    uint32_t cap = 0;
    if (m_HalfTone.ImageCompress)
        cap = m_iDpi < 204 ? kCompressedRowBytesLowDpi : kCompressedRowBytesHighDpi;
    const int height = static_cast<int>(m_Image.GetHeight());
    int widthBytes = 0;
    NS_KT_CLASS::CMyBuffer rows;
    if (!PrinterRows(cap, widthBytes, rows))
        return;

    m_CmdBuffer.InitBuffer(0);
    cmdInit();
    cmdDENSITY(reg.iDensity);
    cmdAlignCenter();
    if (reg.iPreFeed > 0)
        PrintAndFeedPaper(reg.iPreFeed);
    PrintImage(widthBytes, height, rows);
    if (reg.iMediaType == 1 || reg.iMediaType == 2 || reg.iMediaType == 3) {
        static const unsigned char kFeedToMark[] = {0x1D, 0x0C};  // GS FF
        m_CmdBuffer.AddBuffer(kFeedToMark, sizeof kFeedToMark);
    }
    if (reg.iPostFeed > 0)
        PrintAndFeedPaper(reg.iPostFeed);
    if (reg.iMediaType == 0 || reg.iMediaType == 4)
        cmdCutLine();
    cmdEndPrint();
    SpoolBuffer(m_CmdBuffer);
}
