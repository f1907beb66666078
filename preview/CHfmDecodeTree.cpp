#include "preview/CHfmDecodeTree.h"

namespace {

std::string Value(uint16_t v) { return "node value " + std::to_string(v); }

}  // namespace

bool CHfmDecodeTree::Build(const std::vector<uint16_t>& preorder, const std::vector<uint16_t>& inorder, Fault& fault) {
    m_Nodes.clear();
    const size_t count = preorder.size();
    if (count != inorder.size() || count < 3 || count > 511 || count % 2 == 0) {
        fault = {0, "an odd node count of 3 to 511 (2 to 256 leaves)", std::to_string(count) + " nodes"};
        return false;
    }
    m_InorderIndex.assign(65536, -1);
    for (size_t i = 0; i < count; i++) {
        if (m_InorderIndex[inorder[i]] >= 0) {
            fault = {count + i, "distinct node values", Value(inorder[i]) + " a second time"};
            return false;
        }
        m_InorderIndex[inorder[i]] = static_cast<int>(i);
    }
    size_t next = 0;
    m_Nodes.reserve(count);
    if (Rebuild(preorder, next, 0, static_cast<int>(count) - 1, fault) < 0)
        return false;
    return true;
}

// Builds the subtree whose inorder values are inorder[lo..hi] from the
// preorder values at `next`; returns its node index, -1 on a fault.
int CHfmDecodeTree::Rebuild(const std::vector<uint16_t>& preorder, size_t& next, int lo, int hi, Fault& fault) {
    const size_t at = next++;
    const uint16_t value = preorder[at];
    const int pos = m_InorderIndex[value];
    if (pos < lo || pos > hi) {
        fault = {at, "a node value of this subtree in the inorder sequence",
                 Value(value) + (pos < 0 ? ", absent from it" : ", outside it")};
        return -1;
    }
    const bool leaf = value < 256;
    if (leaf != (lo == hi) || (!leaf && (pos == lo || pos == hi))) {
        fault = {at, leaf ? "an inner node (value 256 or more) with two children" : "a leaf (a byte value below 256)",
                 Value(value)};
        return -1;
    }
    const int index = static_cast<int>(m_Nodes.size());
    m_Nodes.push_back({{-1, -1}, value});
    if (!leaf) {
        const int left = Rebuild(preorder, next, lo, pos - 1, fault);
        if (left < 0)
            return -1;
        const int right = Rebuild(preorder, next, pos + 1, hi, fault);
        if (right < 0)
            return -1;
        m_Nodes[index].child[0] = left;
        m_Nodes[index].child[1] = right;
    }
    return index;
}

bool CHfmDecodeTree::Decode(const uint8_t* data, size_t bits, std::vector<uint8_t>& out, size_t* stopBit) const {
    int node = 0;
    size_t codeStart = 0;
    for (size_t bit = 0; bit < bits; bit++) {
        node = m_Nodes[node].child[(data[bit >> 3] >> (7 - (bit & 7))) & 1];
        if (m_Nodes[node].child[0] < 0) {
            out.push_back(static_cast<uint8_t>(m_Nodes[node].value));
            node = 0;
            codeStart = bit + 1;
        }
    }
    if (node != 0) {
        *stopBit = codeStart;
        return false;
    }
    return true;
}
