#pragma once

#include <cstdint>

// Static Huffman coder of the Tavrin bitmap protocol, built afresh for every
// page from that page's bytes. Tree shape, bit order and chunk layout are a
// wire format: the printer rebuilds the tree from the two traversals and
// decodes the chunks, so every rule below (tie-breaking included) matters.
//
// Every operation works on memory the caller passes in and returns blocks
// from malloc that the caller releases with free; failure is a null result
// that leaves nothing allocated behind.
class CHfmCode {
public:
    // One tree node. All nodes of a tree lie in one array: the n leaves first,
    // ascending by byte value (the added leaf of a one-value input comes
    // second), then the n - 1 inner nodes in order of creation; the root last.
    struct HGMRNCODENODE {
        int32_t iWeight;      // occurrences (leaf) or sum of the children
        int32_t iLeft;        // child reached with bit 0; -1 in a leaf
        int32_t iRight;       // child reached with bit 1; -1 in a leaf
        int32_t iParent;      // -1 for the root and for nodes not yet joined
        int32_t iCodeLen;     // leaf: code length in bits; 0 in inner nodes
        uint16_t wValue;      // leaf: the byte value; inner node k: 256 + k
        uint8_t byCode[258];  // leaf: the code, one bit (0 or 1) per byte, root end first
    };

    // One chunk of coded rows: a pad-count byte p (0-7), then the code bits
    // packed most significant bit first. The p low bits of the last byte are
    // the bits that follow in the page's code stream (0 after the last chunk).
    struct HFMCODECHUNK {
        unsigned char* pData;
        int32_t iLength;  // pad-count byte included
    };

    CHfmCode() = default;
    ~CHfmCode() = default;

    // Counts the byte values of `data` and builds the code tree; writes the
    // node count (2n - 1 for n leaves) unless the input is rejected. A
    // one-value input v gets a second leaf v + 1 (v < 128) or v - 1 with
    // weight 1. The two trailing arguments are always 0 here; no other value
    // has a meaning and they are ignored.
    HGMRNCODENODE* GetHfmTree(unsigned char* data, int length, int* nodeCount, int reserved1, int reserved2);

    // Among the first `count` records without a parent: the lightest (lowest
    // index on equal weights) into *first, the next one into *second. A
    // result with no candidate is left unchanged.
    void GetMinTreeNode(HGMRNCODENODE* nodes, int count, int* first, int* second);

    // The node values from the root (index count - 1) in preorder and in
    // inorder; null for a malformed tree.
    unsigned short* GetTreePreorder(HGMRNCODENODE* nodes, int count);
    unsigned short* GetTreeMiddleorder(HGMRNCODENODE* nodes, int count);
    void TreePreorder(HGMRNCODENODE* nodes, int node, unsigned short* out, int* position);
    void TreeMiddleorder(HGMRNCODENODE* nodes, int node, unsigned short* out, int* position);

    // Codes rows x bytesPerRow bytes with the leaves' codes and cuts the bit
    // stream into chunks of whole rows of fewer than (maxChunk - 1) x 8 bits.
    // A row that reaches that limit alone gets a chunk of its own, longer
    // than maxChunk bytes; no chunk is ever empty. The chunk table and the
    // block holding every chunk (starting at the first chunk's pData) are
    // the caller's to free. The chunk count is written only on success.
    HFMCODECHUNK* HFMDGencoding(HGMRNCODENODE* nodes, int nodeCount, unsigned char* data, int bytesPerRow, int rows,
                                int maxChunk, int* chunkCount);

private:
    using Traversal = void (CHfmCode::*)(HGMRNCODENODE*, int, unsigned short*, int*);
    // The node values of a checked tree in the order `walk` visits them, in a
    // block the caller frees; null for a malformed tree or without memory.
    unsigned short* TreeValues(HGMRNCODENODE* nodes, int count, Traversal walk);
};
