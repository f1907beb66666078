#include "printers/CHfmCode.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

using Node = CHfmCode::HGMRNCODENODE;

const int kMaxNodes = 511;  // 256 leaves
const int kMaxCodeLen = 255;

// A tree the walks can trust: children lie below their parent's index, every
// node but the root has exactly one parent, and inner nodes have two
// children. Then a walk from the last record visits each node once.
bool IsWellFormed(const Node* nodes, int count) {
    if (!nodes || count < 1 || count > kMaxNodes)
        return false;
    int parents[kMaxNodes] = {};
    for (int j = 0; j < count; j++) {
        const int left = nodes[j].iLeft, right = nodes[j].iRight;
        if (left == -1 && right == -1)
            continue;
        if (left < 0 || left >= j || right < 0 || right >= j || left == right)
            return false;
        parents[left]++;
        parents[right]++;
    }
    for (int j = 0; j < count; j++)
        if (parents[j] != (j == count - 1 ? 0 : 1))
            return false;
    return true;
}

// Leaf codes in a form the writer can emit a word at a time: the bits most
// significant first, 32 to a word.
struct LeafCode {
    uint32_t words[(kMaxCodeLen + 31) / 32];
    int32_t length;  // 0: the value has no leaf
};

bool BuildCodeTable(const Node* nodes, int nodeCount, LeafCode* table) {
    std::memset(table, 0, sizeof(LeafCode) * 256);
    if (nodeCount < 1 || nodeCount > kMaxNodes)
        return false;
    const int leaves = (nodeCount + 1) / 2;
    for (int j = 0; j < leaves; j++) {
        const Node& leaf = nodes[j];
        if (leaf.wValue > 255 || leaf.iCodeLen < 1 || leaf.iCodeLen > kMaxCodeLen || table[leaf.wValue].length)
            return false;
        LeafCode& code = table[leaf.wValue];
        code.length = leaf.iCodeLen;
        for (int i = 0; i < leaf.iCodeLen; i++)
            if (leaf.byCode[i] & 1)
                code.words[i / 32] |= 0x80000000u >> (i % 32);
    }
    return true;
}

// Packs codes most significant bit first. The accumulator holds fewer than
// 32 pending bits between calls, so a piece of up to 32 bits always fits.
class BitWriter {
public:
    explicit BitWriter(uint8_t* out) : m_out(out) {}

    void Put(uint32_t bits, int count) {
        m_acc = (m_acc << count) | bits;
        m_pending += count;
        if (m_pending >= 32) {
            m_pending -= 32;
            const uint32_t word = static_cast<uint32_t>(m_acc >> m_pending);
            m_out[0] = static_cast<uint8_t>(word >> 24);
            m_out[1] = static_cast<uint8_t>(word >> 16);
            m_out[2] = static_cast<uint8_t>(word >> 8);
            m_out[3] = static_cast<uint8_t>(word);
            m_out += 4;
        }
    }

    void Put(const LeafCode& code) {
        if (code.length <= 32) {
            Put(code.words[0] >> (32 - code.length), code.length);
            return;
        }
        for (int done = 0, k = 0; done < code.length; done += 32, k++) {
            const int n = code.length - done < 32 ? code.length - done : 32;
            Put(code.words[k] >> (32 - n), n);
        }
    }

    // Writes the pending bits, the last byte filled with zero bits.
    void Finish() {
        while (m_pending >= 8) {
            m_pending -= 8;
            *m_out++ = static_cast<uint8_t>(m_acc >> m_pending);
        }
        if (m_pending > 0)
            *m_out++ = static_cast<uint8_t>(m_acc << (8 - m_pending));
        m_pending = 0;
    }

private:
    uint8_t* m_out;
    uint64_t m_acc = 0;
    int m_pending = 0;
};

// Copies `bytes` bytes of the bit stream starting at bit `start`.
void CopyBits(const uint8_t* stream, long long start, long long bytes, uint8_t* out) {
    const uint8_t* src = stream + start / 8;
    const unsigned shift = static_cast<unsigned>(start % 8);
    if (shift == 0) {
        std::memcpy(out, src, static_cast<size_t>(bytes));
        return;
    }
    for (long long i = 0; i < bytes; i++)
        out[i] = static_cast<uint8_t>((src[i] << shift) | (src[i + 1] >> (8 - shift)));
}

}  // namespace

CHfmCode::HGMRNCODENODE* CHfmCode::GetHfmTree(unsigned char* data, int length, int* nodeCount, int, int) {
    if (!data || length <= 0 || !nodeCount)
        return nullptr;

    // Four tables break the store-to-load chain of long runs of one value.
    uint32_t counts[4][256] = {};
    int i = 0;
    for (; i <= length - 4; i += 4) {
        counts[0][data[i]]++;
        counts[1][data[i + 1]]++;
        counts[2][data[i + 2]]++;
        counts[3][data[i + 3]]++;
    }
    for (; i < length; i++)
        counts[0][data[i]]++;

    int32_t weights[256];
    uint16_t values[256];
    int leaves = 0;
    for (int v = 0; v < 256; v++) {
        const uint32_t count = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
        if (count > 0) {
            weights[leaves] = static_cast<int32_t>(count);
            values[leaves] = static_cast<uint16_t>(v);
            leaves++;
        }
    }
    if (leaves == 1) {
        const int v = values[0];
        weights[1] = 1;
        values[1] = static_cast<uint16_t>(v < 128 ? v + 1 : v - 1);
        leaves = 2;
    }

    const int count = 2 * leaves - 1;
    *nodeCount = count;
    Node* nodes = static_cast<Node*>(std::calloc(static_cast<size_t>(count), sizeof(Node)));
    if (!nodes)
        return nullptr;
    for (int j = 0; j < count; j++) {
        nodes[j].iLeft = nodes[j].iRight = nodes[j].iParent = -1;
        nodes[j].iCodeLen = 0;
        nodes[j].wValue = static_cast<uint16_t>(j < leaves ? values[j] : 256 + (j - leaves));
        nodes[j].iWeight = j < leaves ? weights[j] : 0;
    }

    for (int j = leaves; j < count; j++) {
        int a = 0, b = 0;
        GetMinTreeNode(nodes, j, &a, &b);
        const long long weight = static_cast<long long>(nodes[a].iWeight) + nodes[b].iWeight;
        if (weight > INT32_MAX) {  // only a one-value input of INT_MAX bytes gets here
            std::free(nodes);
            return nullptr;
        }
        nodes[a].iParent = nodes[b].iParent = j;
        nodes[j].iWeight = static_cast<int32_t>(weight);
        nodes[j].iLeft = a;
        nodes[j].iRight = b;
    }

    for (int j = 0; j < leaves; j++) {
        uint8_t climbed[kMaxCodeLen];
        int depth = 0;
        for (int node = j; nodes[node].iParent != -1 && depth < kMaxCodeLen; node = nodes[node].iParent)
            climbed[depth++] = nodes[nodes[node].iParent].iLeft == node ? 0 : 1;
        nodes[j].iCodeLen = depth;
        for (int k = 0; k < depth; k++)
            nodes[j].byCode[k] = climbed[depth - 1 - k];
    }
    return nodes;
}

void CHfmCode::GetMinTreeNode(HGMRNCODENODE* nodes, int count, int* first, int* second) {
    int best = -1;
    for (int j = 0; j < count; j++)
        if (nodes[j].iParent == -1 && (best < 0 || nodes[j].iWeight < nodes[best].iWeight))
            best = j;
    if (best < 0)
        return;
    *first = best;
    int next = -1;
    for (int j = 0; j < count; j++)
        if (j != best && nodes[j].iParent == -1 && (next < 0 || nodes[j].iWeight < nodes[next].iWeight))
            next = j;
    if (next >= 0)
        *second = next;
}

void CHfmCode::TreePreorder(HGMRNCODENODE* nodes, int node, unsigned short* out, int* position) {
    out[(*position)++] = nodes[node].wValue;
    if (nodes[node].iLeft >= 0)
        TreePreorder(nodes, nodes[node].iLeft, out, position);
    if (nodes[node].iRight >= 0)
        TreePreorder(nodes, nodes[node].iRight, out, position);
}

void CHfmCode::TreeMiddleorder(HGMRNCODENODE* nodes, int node, unsigned short* out, int* position) {
    if (nodes[node].iLeft >= 0)
        TreeMiddleorder(nodes, nodes[node].iLeft, out, position);
    out[(*position)++] = nodes[node].wValue;
    if (nodes[node].iRight >= 0)
        TreeMiddleorder(nodes, nodes[node].iRight, out, position);
}

unsigned short* CHfmCode::TreeValues(HGMRNCODENODE* nodes, int count, Traversal walk) {
    if (!IsWellFormed(nodes, count))
        return nullptr;
    unsigned short* out = static_cast<unsigned short*>(std::malloc(sizeof(unsigned short) * count));
    if (!out)
        return nullptr;
    int position = 0;
    (this->*walk)(nodes, count - 1, out, &position);
    if (position != count) {
        std::free(out);
        return nullptr;
    }
    return out;
}

unsigned short* CHfmCode::GetTreePreorder(HGMRNCODENODE* nodes, int count) {
    return TreeValues(nodes, count, &CHfmCode::TreePreorder);
}

unsigned short* CHfmCode::GetTreeMiddleorder(HGMRNCODENODE* nodes, int count) {
    return TreeValues(nodes, count, &CHfmCode::TreeMiddleorder);
}

CHfmCode::HFMCODECHUNK* CHfmCode::HFMDGencoding(HGMRNCODENODE* nodes, int nodeCount, unsigned char* data,
                                                int bytesPerRow, int rows, int maxChunk, int* chunkCount) {
    if (!nodes || !data || !chunkCount || bytesPerRow < 1 || rows < 1 || maxChunk < 2)
        return nullptr;
    LeafCode codes[256];
    if (!BuildCodeTable(nodes, nodeCount, codes))
        return nullptr;
    int32_t lengths[256];
    for (int v = 0; v < 256; v++)
        lengths[v] = codes[v].length;

    // Partition while measuring the rows. A chunk closes before the row that
    // would bring it to the limit; a row reaching the limit alone is never
    // preceded by an empty chunk, it simply fills a chunk of its own.
    const long long limit = static_cast<long long>(maxChunk - 1) * 8;
    long long* chunkBits = static_cast<long long*>(std::malloc(sizeof(long long) * static_cast<size_t>(rows)));
    if (!chunkBits)
        return nullptr;
    int chunks = 0;
    long long current = 0, streamBits = 0;
    bool unknownValue = false;
    const unsigned char* row = data;
    for (int r = 0; r < rows; r++, row += bytesPerRow) {
        long long rowBits = 0;
        for (int i = 0; i < bytesPerRow; i++) {
            const int32_t length = lengths[row[i]];
            rowBits += length;
            unknownValue |= length == 0;
        }
        streamBits += rowBits;
        if (current > 0 && current + rowBits >= limit) {
            chunkBits[chunks++] = current;
            current = rowBits;
        } else {
            current += rowBits;
        }
    }
    chunkBits[chunks++] = current;

    long long blockBytes = 0;
    bool chunkTooLong = false;
    for (int k = 0; k < chunks; k++) {
        const long long bytes = (chunkBits[k] + 7) / 8 + 1;
        chunkTooLong |= bytes > INT32_MAX;
        blockBytes += bytes;
    }
    if (unknownValue || chunkTooLong) {  // a tree of other data, or a row of gigabytes
        std::free(chunkBits);
        return nullptr;
    }

    // The whole code stream, packed, with zero bits behind it for the last
    // chunk's padding and for the shifted copy reading one byte ahead.
    uint8_t* stream = static_cast<uint8_t*>(std::calloc(static_cast<size_t>((streamBits + 7) / 8 + 8), 1));
    unsigned char* block = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(blockBytes)));
    HFMCODECHUNK* table = static_cast<HFMCODECHUNK*>(std::malloc(sizeof(HFMCODECHUNK) * chunks));
    if (!stream || !block || !table) {
        std::free(stream);
        std::free(block);
        std::free(table);
        std::free(chunkBits);
        return nullptr;
    }

    BitWriter writer(stream);
    const size_t total = static_cast<size_t>(bytesPerRow) * static_cast<size_t>(rows);
    for (size_t i = 0; i < total; i++)
        writer.Put(codes[data[i]]);
    writer.Finish();

    // The pad bits of a chunk are whatever follows it in the stream: the
    // next chunk's first bits, or the zero tail after the last chunk.
    unsigned char* out = block;
    long long start = 0;
    for (int k = 0; k < chunks; k++) {
        const long long bytes = (chunkBits[k] + 7) / 8;
        out[0] = static_cast<unsigned char>(bytes * 8 - chunkBits[k]);
        CopyBits(stream, start, bytes, out + 1);
        table[k].pData = out;
        table[k].iLength = static_cast<int32_t>(bytes + 1);
        out += bytes + 1;
        start += chunkBits[k];
    }

    std::free(stream);
    std::free(chunkBits);
    *chunkCount = chunks;
    return table;
}
