#include "printers/CPrinterTavrin.h"

#include <cstdlib>
#include <cstring>

#include "printers/CHfmCode.h"
#include "render/CmdHelpers.h"
#include "render/Crc32.h"

using CmdHelpers::AppendLE16;
using CmdHelpers::AppendLE32;

namespace {

const int kChunkIndexLimit = 0x10000;  // the index field has 16 bits

// Every payload starts 05, the command code, 03 and the number of bytes
// that follow this prefix.
void BeginPayload(NS_KT_CLASS::CMyBuffer& payload, unsigned char code, int argumentLength) {
    payload.AddByte(0x05);
    payload.AddByte(code);
    payload.AddByte(0x03);
    AppendLE16(payload, static_cast<uint32_t>(argumentLength));
}

}  // namespace

CPrinterTavrin::CPrinterTavrin() {
    m_PageBuffer.SetMaxBufferSize(NS_KT_CLASS::CMyBuffer::kDefaultMaxBufferSize);
    std::memcpy(m_Crc32Table, Crc32::kTable.data(), sizeof m_Crc32Table);
}

uint32_t CPrinterTavrin::MakeCrc32(const unsigned char* data, unsigned int length) const {
    return ~Crc32::Update(m_Crc32Table, ~kCrcSeed, data, length);
}

void CPrinterTavrin::AddToBuffer(NS_KT_CLASS::CMyBuffer& buffer) {
    AddToBuffer(buffer.GetBuffer(), buffer.GetBufferLength());
}

void CPrinterTavrin::AddToBuffer(const void* data, int length) { m_PageBuffer.AddBuffer(data, length); }

bool CPrinterTavrin::cmdChildClassPackage(unsigned char* payload, int length) {
    if (length < 0 || length > 0xFFFF) {
        AddLog("cmdChildClassPackage: a payload of %d bytes does not fit a packet", length);
        return false;
    }
    m_PageBuffer.AddByte(0xA5);
    m_PageBuffer.AddByte(0x01);
    AppendLE16(m_PageBuffer, static_cast<uint32_t>(length));
    AddToBuffer(payload, length);
    AppendLE32(m_PageBuffer, MakeCrc32(payload, static_cast<unsigned int>(length)));
    m_PageBuffer.AddByte(0x5A);
    return true;
}

void CPrinterTavrin::cmdBeginPrinting() {
    NS_KT_CLASS::CMyBuffer payload;
    BeginPayload(payload, 0x19, 0);
    cmdChildClassPackage(payload.GetBuffer(), payload.GetBufferLength());
}

void CPrinterTavrin::cmdEndPrinting() {
    NS_KT_CLASS::CMyBuffer payload;
    BeginPayload(payload, 0x1A, 0);
    cmdChildClassPackage(payload.GetBuffer(), payload.GetBufferLength());
}

void CPrinterTavrin::cmdFeed(int count) {
    NS_KT_CLASS::CMyBuffer payload;
    BeginPayload(payload, 0x16, 2);
    AppendLE16(payload, static_cast<uint32_t>(count));
    cmdChildClassPackage(payload.GetBuffer(), payload.GetBufferLength());
}

void CPrinterTavrin::cmdPaperLocate(int value) {
    NS_KT_CLASS::CMyBuffer payload;
    BeginPayload(payload, 0x21, 4);
    AppendLE32(payload, static_cast<uint32_t>(value));
    cmdChildClassPackage(payload.GetBuffer(), payload.GetBufferLength());
}

bool CPrinterTavrin::cmdHfmTree(unsigned char* tree, int length) {
    NS_KT_CLASS::CMyBuffer payload;
    BeginPayload(payload, 0x1C, length);
    payload.AddBuffer(tree, length);
    return cmdChildClassPackage(payload.GetBuffer(), payload.GetBufferLength());
}

bool CPrinterTavrin::cmdBitmap(int index, bool coded, unsigned char* data, int length) {
    NS_KT_CLASS::CMyBuffer payload;
    BeginPayload(payload, 0x1B, 12 + length);
    AppendLE16(payload, static_cast<uint32_t>(index));
    AppendLE16(payload, static_cast<uint32_t>(8 + length));
    payload.AddByte(0x01);
    AppendLE16(payload, m_Image.GetEffWidth());
    AppendLE16(payload, 0);
    payload.AddByte(coded ? 0x01 : 0x00);
    AppendLE16(payload, static_cast<uint32_t>(length));
    payload.AddBuffer(data, length);
    return cmdChildClassPackage(payload.GetBuffer(), payload.GetBufferLength());
}

bool CPrinterTavrin::SendBitmap_withHFM() {
    unsigned char* bits = m_Image.GetBits(0);
    const long long bytesPerRow = m_Image.GetEffWidth();
    const long long rows = m_Image.GetHeight();
    const long long size = bytesPerRow * rows;
    if (!bits || size < 1 || size > 0x7FFFFFFF) {
        AddLog("SendBitmap_withHFM: cannot code %lld rows of %lld bytes", rows, bytesPerRow);
        return false;
    }
    if (bytesPerRow > 0xFFFF) {
        AddLog("SendBitmap_withHFM: rows of %lld bytes exceed the bitmap header's 16-bit field", bytesPerRow);
        return false;
    }

    CHfmCode coder;
    int nodeCount = 0, chunkCount = 0;
    CHfmCode::HGMRNCODENODE* tree = coder.GetHfmTree(bits, static_cast<int>(size), &nodeCount, 0, 0);
    unsigned short* preorder = coder.GetTreePreorder(tree, nodeCount);
    unsigned short* inorder = coder.GetTreeMiddleorder(tree, nodeCount);
    CHfmCode::HFMCODECHUNK* chunks = coder.HFMDGencoding(tree, nodeCount, bits, static_cast<int>(bytesPerRow),
                                                         static_cast<int>(rows), kMaxChunk, &chunkCount);

    bool ok = tree && preorder && inorder && chunks;
    if (!ok)
        AddLog("SendBitmap_withHFM: the coder could not build the tree or the chunks");
    if (ok && chunkCount > kChunkIndexLimit) {
        AddLog("SendBitmap_withHFM: %d chunks exceed the 16-bit chunk index", chunkCount);
        ok = false;
    }
    long long packetBytes = 0;
    for (int k = 0; ok && k < chunkCount; k++) {
        if (chunks[k].iLength > kMaxFramedChunk) {
            AddLog("SendBitmap_withHFM: row chunk %d of %d bytes does not fit a packet", k, chunks[k].iLength);
            ok = false;
        } else if (chunks[k].iLength > kMaxChunk) {
            AddLog("SendBitmap_withHFM: chunk %d holds one row of %d bytes", k, chunks[k].iLength);
        }
        packetBytes += chunks[k].iLength + 17 + 9;
    }

    if (ok) {
        AddLog("SendBitmap_withHFM: %d tree nodes, %d chunks", nodeCount, chunkCount);
        // One reservation instead of a reallocation per packet; a page past
        // the ceiling is left to the buffer, which marks it lost.
        const long long needed = m_PageBuffer.GetBufferLength() + 5 + 4LL * nodeCount + 9 + packetBytes + 64;
        if (needed <= NS_KT_CLASS::CMyBuffer::kDefaultMaxBufferSize)
            m_PageBuffer.SetBufferSize(static_cast<int>(needed));

        NS_KT_CLASS::CMyBuffer treeBytes;
        for (int i = 0; i < nodeCount; i++)
            AppendLE16(treeBytes, preorder[i]);
        for (int i = 0; i < nodeCount; i++)
            AppendLE16(treeBytes, inorder[i]);
        ok = cmdHfmTree(treeBytes.GetBuffer(), treeBytes.GetBufferLength());
        for (int k = 0; ok && k < chunkCount; k++)
            ok = cmdBitmap(k, true, chunks[k].pData, chunks[k].iLength);
    }

    std::free(tree);
    std::free(preorder);
    std::free(inorder);
    if (chunks)
        std::free(chunks[0].pData);
    std::free(chunks);
    return ok;
}

void CPrinterTavrin::OnPaintBmp() {
    AddLog("OnPaintBmp");
    if (!m_Image.GetBits(0) || m_Image.GetEffWidth() == 0 || m_Image.GetHeight() == 0) {
        AddLog("OnPaintBmp: the page image has no bytes; nothing sent");
        ReportError("The page has no image data and was not printed.");
        return;
    }

    // The printer burns set bits; a set bit of the page image is white.
    Negative();
    cmdBeginPrinting();
    AddLog("KV_TP_CTRL_PRINT_START");
    if (!SendBitmap_withHFM()) {
        // No half sequence: the printer gets all of a page or nothing.
        m_PageBuffer.InitBuffer(0);
        ReportError("The page could not be coded for the printer and was not printed.");
        return;
    }
    cmdEndPrinting();
    AddLog("KV_TP_CTRL_PRINT_END");

    switch (m_RegStruct.iMediaType) {
        case 1:
        case 2:
            cmdPaperLocate(100);
            break;
        case 0:
        case 4:
            cmdFeed(0);
            break;
        default:
            break;  // perforated and recording media end with the end packet
    }

    SpoolBuffer(m_PageBuffer);
}
