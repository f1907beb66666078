#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The Tavrin page's Huffman tree rebuilt from the two traversals the printer
// receives (node values in preorder, then in inorder; leaves are the byte
// values 0-255, inner nodes 256 and up), and the decoding of code bits with
// it: bit 0 goes to the left child, bits are read most significant first.
class CHfmDecodeTree {
public:
    struct Fault {
        size_t index = 0;  // position in preorder followed by inorder
        std::string expected, found;
    };

    // False when the two sequences do not describe one full binary tree of
    // two or more leaves with distinct node values.
    bool Build(const std::vector<uint16_t>& preorder, const std::vector<uint16_t>& inorder, Fault& fault);
    int NodeCount() const { return static_cast<int>(m_Nodes.size()); }

    // Decodes `bits` code bits from `data` and appends the bytes to `out`.
    // False when the bits end inside a code; *stopBit is then the bit
    // where that unfinished code began.
    bool Decode(const uint8_t* data, size_t bits, std::vector<uint8_t>& out, size_t* stopBit) const;

private:
    struct Node {
        int child[2];  // -1 in a leaf
        int value;
    };
    int Rebuild(const std::vector<uint16_t>& preorder, size_t& next, int lo, int hi, Fault& fault);

    std::vector<Node> m_Nodes;  // the root first
    std::vector<int> m_InorderIndex;
};
