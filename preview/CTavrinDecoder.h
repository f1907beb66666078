#pragma once

#include "preview/CHfmDecodeTree.h"
#include "preview/CPreviewDecoder.h"

// Tavrin pocket printers: packets A5 01, payload length, payload, CRC-32 of
// the payload (zlib's crc32 from the Tavrin seed), 5A, all little-endian.
// A page runs from the begin packet to the end packet, with the Huffman tree
// and the coded bitmap chunks (whole rows each, numbered from 0) between,
// and takes the paper movement after it. Decoded rows have a SET bit for a
// black dot.
class CTavrinDecoder : public CPreviewDecoder {
public:
    static constexpr const char* kLanguage = "tavrin";
    // Whether `d` begins a stream of this language. Every job opens with a framed packet.
    static bool Begins(const uint8_t* d, size_t n) { return n >= 2 && d[0] == 0xA5 && d[1] == 0x01; }
    const char* Language() const override { return kLanguage; }

protected:
    bool Parse(CByteReader& in) override;

private:
    enum class State { Idle, Printing, Ended };

    bool Packet(size_t at, const uint8_t* payload, size_t length);
    bool Tree(size_t at, const uint8_t* args, size_t length);
    bool Bitmap(size_t at, const uint8_t* args, size_t length);

    State m_State = State::Idle;
    bool m_bTree = false;
    CHfmDecodeTree m_Tree;
    int m_iNextChunk = 0;
    int m_iRowBytes = 0;
    std::vector<uint8_t> m_Rows;
};
