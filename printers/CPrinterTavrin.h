#pragma once

#include <cstdint>

#include "render/CBaseRender.h"
#include "render/CMyBuffer.h"

// Tavrin pocket printers: framed packets, each A5 01, the payload length,
// the payload, a CRC-32 of the payload and 5A, every number little-endian.
// A page is one self-contained print sequence (begin, Huffman tree, coded
// bitmap chunks numbered from 0, end, paper movement) collected in
// m_PageBuffer and written with one spool call. A page that cannot be coded
// or framed sends nothing at all and is reported as an error.
class CPrinterTavrin : public CBaseRender {
public:
    // Start value of every packet's CRC-32, in zlib's sense: the register
    // starts at its complement, so MakeCrc32(p, n) == crc32(kCrcSeed, p, n).
    // The printer checks each packet with the same value; a firmware with
    // another seed needs this one constant changed and nothing else.
    static constexpr uint32_t kCrcSeed = 0x35769521u;
    // Largest chunk, pad-count byte included, the coder cuts for one bitmap
    // packet; only a row that alone codes to more gets a longer chunk.
    static const int kMaxChunk = 256;
    // The bitmap payload adds 17 bytes to its chunk and states its length
    // in 16 bits; a longer chunk cannot be framed at all.
    static const int kMaxFramedChunk = 0xFFFF - 17;

    CPrinterTavrin();
    ~CPrinterTavrin() override = default;

    void OnPaintBmp() override;

    void cmdBeginPrinting();
    void cmdEndPrinting();
    void cmdFeed(int count);         // low 16 bits sent
    void cmdPaperLocate(int value);  // 32 bits sent
    bool cmdHfmTree(unsigned char* tree, int length);
    // The header states the page image's padded row length.
    bool cmdBitmap(int index, bool coded, unsigned char* data, int length);
    // Frames the payload and appends the packet; false (and nothing
    // appended) for a payload longer than the 16-bit length field allows.
    bool cmdChildClassPackage(unsigned char* payload, int length);

    uint32_t MakeCrc32(const unsigned char* data, unsigned int length) const;

    // Codes the page image and appends the tree and bitmap packets; false,
    // with the reason logged, when the page cannot be coded or framed.
    bool SendBitmap_withHFM();

    void AddToBuffer(NS_KT_CLASS::CMyBuffer& buffer);
    void AddToBuffer(const void* data, int length);

    const NS_KT_CLASS::CMyBuffer& PageBuffer() const { return m_PageBuffer; }

private:
    uint32_t m_Crc32Table[256];
    NS_KT_CLASS::CMyBuffer m_PageBuffer;
};
