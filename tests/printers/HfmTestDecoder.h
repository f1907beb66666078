#pragma once

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace testing_support {

// What a Tavrin printer does with a page: rebuild the code tree from its
// preorder and inorder node values, then decode the chunks. Written from the
// wire format alone, so the coder's output is checked by independent means.
class HfmTestDecoder {
public:
    // Empty on success, else what is wrong with the two sequences.
    std::string Build(const std::vector<uint16_t>& preorder, const std::vector<uint16_t>& inorder) {
        m_nodes.clear();
        if (preorder.empty() || preorder.size() != inorder.size())
            return "traversals of different or zero length";
        std::map<uint16_t, size_t> position;
        for (size_t i = 0; i < inorder.size(); i++)
            if (!position.emplace(inorder[i], i).second)
                return "value repeated in the inorder sequence";
        m_pre = &preorder;
        m_position = &position;
        m_next = 0;
        m_error.clear();
        m_root = Rebuild(0, inorder.size());
        if (m_error.empty() && m_next != preorder.size())
            m_error = "preorder holds values outside the tree";
        if (m_error.empty() && m_nodes.size() < 3)
            m_error = "a tree needs at least two leaves";
        return m_error;
    }

    // Decodes the chunks of a page of `bytesPerRow`-byte rows into `page`.
    // Checks what the printer relies on: every chunk decodes to whole rows,
    // no chunk is empty, the pad count is 0-7, an inner chunk's pad bits are
    // the next chunk's first bits and the last chunk's are 0, and a chunk
    // is closed only when the next row would bring it to `limitBits`.
    // Empty on success, else the first fault.
    std::string Decode(const std::vector<Bytes>& chunks, size_t bytesPerRow, long long limitBits, Bytes& page) {
        page.clear();
        if (m_nodes.empty())
            return "no tree";
        std::vector<uint8_t> stream;  // every chunk's code bits, one per byte
        std::vector<size_t> chunkEnd;
        std::vector<std::vector<long long>> rowBits(chunks.size());
        for (size_t k = 0; k < chunks.size(); k++) {
            std::ostringstream where;
            where << "chunk " << k << ": ";
            const Bytes& chunk = chunks[k];
            if (chunk.size() < 2)
                return where.str() + "empty";
            const unsigned pad = chunk[0];
            if (pad > 7)
                return where.str() + "pad count above 7";
            const size_t bits = (chunk.size() - 1) * 8 - pad;
            size_t node = m_root, rowStart = page.size();
            long long bitsInRow = 0;
            for (size_t i = 0; i < bits; i++) {
                const uint8_t bit = (chunk[1 + i / 8] >> (7 - i % 8)) & 1;
                stream.push_back(bit);
                bitsInRow++;
                node = bit ? m_nodes[node].right : m_nodes[node].left;
                if (m_nodes[node].value < 256) {
                    page.push_back(static_cast<uint8_t>(m_nodes[node].value));
                    node = m_root;
                    if (page.size() - rowStart == bytesPerRow) {
                        rowBits[k].push_back(bitsInRow);
                        bitsInRow = 0;
                        rowStart = page.size();
                    }
                }
            }
            if (node != m_root)
                return where.str() + "ends inside a code";
            if (page.size() != rowStart)
                return where.str() + "ends inside a row";
            chunkEnd.push_back(stream.size());
        }
        for (size_t k = 0; k < chunks.size(); k++) {
            const Bytes& chunk = chunks[k];
            for (unsigned j = 0; j < chunk[0]; j++) {
                const size_t at = chunkEnd[k] + j;
                const uint8_t expected = at < stream.size() ? stream[at] : 0;
                const uint8_t actual = (chunk.back() >> (chunk[0] - 1 - j)) & 1;
                if (actual != expected) {
                    std::ostringstream msg;
                    msg << "chunk " << k << ": pad bit " << j << " is " << int(actual) << ", the stream has "
                        << int(expected);
                    return msg.str();
                }
            }
            long long total = 0;
            for (long long row : rowBits[k])
                total += row;
            if (total >= limitBits && rowBits[k].size() > 1)
                return "chunk " + std::to_string(k) + " reaches the limit with more than one row";
            if (k + 1 < chunks.size() && total + rowBits[k + 1].front() < limitBits)
                return "chunk " + std::to_string(k) + " closed although the next row fitted";
        }
        return "";
    }

    // The preorder then inorder values as a Tavrin tree packet carries them.
    static bool SplitTreeBytes(const Bytes& bytes, std::vector<uint16_t>& preorder, std::vector<uint16_t>& inorder) {
        if (bytes.size() % 4 != 0)
            return false;
        const size_t n = bytes.size() / 4;
        preorder.clear();
        inorder.clear();
        for (size_t i = 0; i < 2 * n; i++) {
            const uint16_t value = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
            (i < n ? preorder : inorder).push_back(value);
        }
        return true;
    }

private:
    struct Node {
        uint16_t value;
        size_t left, right;
    };

    // The subtree whose inorder values lie in [from, to).
    size_t Rebuild(size_t from, size_t to) {
        if (!m_error.empty())
            return 0;
        if (m_next >= m_pre->size()) {
            m_error = "preorder too short";
            return 0;
        }
        const uint16_t value = (*m_pre)[m_next++];
        auto it = m_position->find(value);
        if (it == m_position->end() || it->second < from || it->second >= to) {
            m_error = "traversals disagree at value " + std::to_string(value);
            return 0;
        }
        const size_t self = m_nodes.size();
        m_nodes.push_back({value, 0, 0});
        const size_t mid = it->second;
        const bool leaf = from == mid && mid + 1 == to;
        if (leaf != (value < 256)) {
            m_error = "value " + std::to_string(value) + (leaf ? " is a leaf" : " has children");
            return 0;
        }
        if (!leaf) {
            if (from == mid || mid + 1 == to) {
                m_error = "inner node " + std::to_string(value) + " lacks a child";
                return 0;
            }
            const size_t left = Rebuild(from, mid);
            const size_t right = Rebuild(mid + 1, to);
            m_nodes[self].left = left;
            m_nodes[self].right = right;
        }
        return self;
    }

    std::vector<Node> m_nodes;
    size_t m_root = 0;
    const std::vector<uint16_t>* m_pre = nullptr;
    const std::map<uint16_t, size_t>* m_position = nullptr;
    size_t m_next = 0;
    std::string m_error;
};

}  // namespace testing_support
