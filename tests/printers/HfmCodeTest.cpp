#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "printers/CHfmCode.h"
#include "printers/HfmTestDecoder.h"
#include "support/TestFiles.h"

using testing_support::Bytes;
using testing_support::DiffBytes;
using testing_support::HfmTestDecoder;
using Node = CHfmCode::HGMRNCODENODE;

namespace {

// Everything the coder makes for one page, released as the caller must.
struct Coded {
    Coded(Bytes input, int bytesPerRow, int rows, int maxChunk = 256) : data(std::move(input)) {
        tree = coder.GetHfmTree(data.data(), static_cast<int>(data.size()), &nodeCount, 0, 0);
        preorder = coder.GetTreePreorder(tree, nodeCount);
        inorder = coder.GetTreeMiddleorder(tree, nodeCount);
        chunks = coder.HFMDGencoding(tree, nodeCount, data.data(), bytesPerRow, rows, maxChunk, &chunkCount);
    }
    ~Coded() {
        std::free(tree);
        std::free(preorder);
        std::free(inorder);
        if (chunks)
            std::free(chunks[0].pData);
        std::free(chunks);
    }
    Coded(const Coded&) = delete;
    Coded& operator=(const Coded&) = delete;

    bool Complete() const { return tree && preorder && inorder && chunks; }
    std::vector<uint16_t> Pre() const { return std::vector<uint16_t>(preorder, preorder + nodeCount); }
    std::vector<uint16_t> In() const { return std::vector<uint16_t>(inorder, inorder + nodeCount); }
    std::vector<Bytes> Chunks() const {
        std::vector<Bytes> out;
        for (int k = 0; k < chunkCount; k++)
            out.emplace_back(chunks[k].pData, chunks[k].pData + chunks[k].iLength);
        return out;
    }
    // The code of `value` as "0"/"1" text; empty when it has no leaf.
    std::string CodeOf(int value) const {
        for (int j = 0; j < (nodeCount + 1) / 2; j++) {
            if (tree[j].wValue != value)
                continue;
            std::string code;
            for (int i = 0; i < tree[j].iCodeLen; i++)
                code += tree[j].byCode[i] ? '1' : '0';
            return code;
        }
        return "";
    }
    // Preorder then inorder, two bytes each, low byte first.
    Bytes TreeBytes() const {
        Bytes out;
        for (const unsigned short* seq : {preorder, inorder})
            for (int i = 0; i < nodeCount; i++) {
                out.push_back(static_cast<uint8_t>(seq[i]));
                out.push_back(static_cast<uint8_t>(seq[i] >> 8));
            }
        return out;
    }

    CHfmCode coder;
    Bytes data;
    int nodeCount = 0, chunkCount = 0;
    Node* tree = nullptr;
    unsigned short* preorder = nullptr;
    unsigned short* inorder = nullptr;
    CHfmCode::HFMCODECHUNK* chunks = nullptr;
};

Bytes Repeat(uint8_t value, size_t n) { return Bytes(n, value); }

TEST(HfmCoder, WorkedExampleTreeAndChunk) {
    Coded c({0x00, 0x00, 0x00, 0xFF}, 4, 1);
    ASSERT_TRUE(c.Complete());
    ASSERT_EQ(c.nodeCount, 3);
    EXPECT_EQ(c.tree[0].wValue, 0x00);
    EXPECT_EQ(c.tree[0].iWeight, 3);
    EXPECT_EQ(c.tree[1].wValue, 0xFF);
    EXPECT_EQ(c.tree[1].iWeight, 1);
    EXPECT_EQ(c.tree[2].wValue, 256);
    EXPECT_EQ(c.tree[2].iWeight, 4);
    EXPECT_EQ(c.tree[2].iLeft, 1);
    EXPECT_EQ(c.tree[2].iRight, 0);
    EXPECT_EQ(c.tree[2].iParent, -1);
    EXPECT_EQ(c.tree[2].iCodeLen, 0);
    EXPECT_EQ(c.CodeOf(0x00), "1");
    EXPECT_EQ(c.CodeOf(0xFF), "0");
    EXPECT_EQ(c.Pre(), (std::vector<uint16_t>{256, 255, 0}));
    EXPECT_EQ(c.In(), (std::vector<uint16_t>{255, 256, 0}));
    EXPECT_EQ(DiffBytes({0x00, 0x01, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x00}, c.TreeBytes()), "");
    ASSERT_EQ(c.chunkCount, 1);
    EXPECT_EQ(c.chunks[0].pData[0], 0x04);
    EXPECT_EQ(DiffBytes({0x04, 0xE0}, c.Chunks()[0]), "");
}

// A one-value input gets the neighbouring value as a second leaf of weight 1.
struct SingleValueCase {
    uint8_t value;
    size_t occurrences;
    uint16_t added;
    const char* code;  // of `value`
    Bytes chunk;
};

void PrintTo(const SingleValueCase& t, std::ostream* os) { *os << "value " << int(t.value) << " x" << t.occurrences; }

class HfmSingleValue : public ::testing::TestWithParam<SingleValueCase> {};

TEST_P(HfmSingleValue, AddsTheNeighbourAsSecondLeaf) {
    const SingleValueCase& t = GetParam();
    Coded c(Repeat(t.value, t.occurrences), static_cast<int>(t.occurrences), 1);
    ASSERT_TRUE(c.Complete());
    ASSERT_EQ(c.nodeCount, 3);
    EXPECT_EQ(c.tree[0].wValue, t.value);
    EXPECT_EQ(c.tree[0].iWeight, static_cast<int>(t.occurrences));
    EXPECT_EQ(c.tree[1].wValue, t.added);
    EXPECT_EQ(c.tree[1].iWeight, 1);
    EXPECT_EQ(c.CodeOf(t.value), t.code);
    // The first pick of the joining step is the left child.
    const uint16_t left = t.code[0] == '0' ? t.value : t.added;
    const uint16_t right = t.code[0] == '0' ? t.added : t.value;
    EXPECT_EQ(c.Pre(), (std::vector<uint16_t>{256, left, right}));
    EXPECT_EQ(c.In(), (std::vector<uint16_t>{left, 256, right}));
    ASSERT_EQ(c.chunkCount, 1);
    EXPECT_EQ(DiffBytes(t.chunk, c.Chunks()[0]), "");
}

INSTANTIATE_TEST_SUITE_P(Values, HfmSingleValue,
                         ::testing::Values(SingleValueCase{0x00, 4, 0x01, "1", {0x04, 0xF0}},  // all-zero input
                                           SingleValueCase{0x7F, 3, 0x80, "1", {0x05, 0xE0}},
                                           SingleValueCase{0x80, 3, 0x7F, "1", {0x05, 0xE0}},
                                           SingleValueCase{0xFF, 2, 0xFE, "1", {0x06, 0xC0}},
                                           SingleValueCase{
                                               0x05, 1, 0x06, "0", {0x07, 0x00}},  // equal weights: index 0 first
                                           SingleValueCase{0x00, 1, 0x01, "0", {0x07, 0x00}},
                                           SingleValueCase{0x80, 1, 0x7F, "0", {0x07, 0x00}},
                                           SingleValueCase{0xFF, 1, 0xFE, "0", {0x07, 0x00}}));

// Trees worked out by hand from the joining rule: the lightest parentless
// node first, the lowest index on equal weights, the first pick on the left.
struct TieCase {
    const char* name;
    std::vector<std::pair<uint8_t, size_t>> counts;
    std::vector<std::pair<uint8_t, const char*>> codes;
    std::vector<uint16_t> preorder, inorder;
};

void PrintTo(const TieCase& t, std::ostream* os) { *os << t.name; }

class HfmTies : public ::testing::TestWithParam<TieCase> {};

TEST_P(HfmTies, BuildsTheTreeTheRulesDefine) {
    const TieCase& t = GetParam();
    Bytes data;
    for (const auto& vc : t.counts)
        data.insert(data.end(), vc.second, vc.first);
    Coded c(data, static_cast<int>(data.size()), 1);
    ASSERT_TRUE(c.Complete());
    for (const auto& vc : t.codes)
        EXPECT_EQ(c.CodeOf(vc.first), vc.second) << "value " << int(vc.first);
    EXPECT_EQ(c.Pre(), t.preorder);
    EXPECT_EQ(c.In(), t.inorder);
}

INSTANTIATE_TEST_SUITE_P(Cases, HfmTies,
                         ::testing::Values(TieCase{"FourEqualLeaves",
                                                   {{0x10, 1}, {0x20, 1}, {0x30, 1}, {0x40, 1}},
                                                   {{0x10, "00"}, {0x20, "01"}, {0x30, "10"}, {0x40, "11"}},
                                                   {258, 256, 0x10, 0x20, 257, 0x30, 0x40},
                                                   {0x10, 256, 0x20, 258, 0x30, 257, 0x40}},
                                           TieCase{"LeafBeatsEqualInnerNode",
                                                   {{0x01, 1}, {0x02, 1}, {0x03, 2}},
                                                   {{0x03, "0"}, {0x01, "10"}, {0x02, "11"}},
                                                   {257, 0x03, 256, 0x01, 0x02},
                                                   {0x03, 257, 0x01, 256, 0x02}},
                                           TieCase{"SecondPickTakesLowerIndex",
                                                   {{0x0A, 2}, {0x0B, 3}, {0x0C, 3}},
                                                   {{0x0C, "0"}, {0x0A, "10"}, {0x0B, "11"}},
                                                   {257, 0x0C, 256, 0x0A, 0x0B},
                                                   {0x0C, 257, 0x0A, 256, 0x0B}},
                                           TieCase{"LighterInnerNodeGoesLeft",
                                                   {{0x41, 3}, {0x42, 1}, {0x43, 1}},
                                                   {{0x42, "00"}, {0x43, "01"}, {0x41, "1"}},
                                                   {257, 256, 0x42, 0x43, 0x41},
                                                   {0x42, 256, 0x43, 257, 0x41}}),
                         [](const ::testing::TestParamInfo<TieCase>& info) { return std::string(info.param.name); });

TEST(HfmCoder, MinNodeSkipsJoinedNodesAndKeepsResultsWithoutCandidate) {
    CHfmCode coder;
    Node nodes[4] = {};
    const int weights[4] = {4, 2, 2, 1};
    for (int j = 0; j < 4; j++) {
        nodes[j].iWeight = weights[j];
        nodes[j].iParent = -1;
    }
    int first = -5, second = -5;
    coder.GetMinTreeNode(nodes, 3, &first, &second);  // record 3 is outside the search
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    nodes[1].iParent = 3;
    coder.GetMinTreeNode(nodes, 4, &first, &second);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(second, 2);
    nodes[0].iParent = nodes[2].iParent = nodes[3].iParent = 3;
    first = second = -5;
    coder.GetMinTreeNode(nodes, 4, &first, &second);
    EXPECT_EQ(first, -5);
    EXPECT_EQ(second, -5);
    nodes[2].iParent = -1;
    coder.GetMinTreeNode(nodes, 4, &first, &second);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, -5);
}

// One value, coded as the single bit 1, so that a row of n bytes is n bits
// and the chunk sizes follow from the partition rule alone.
struct PartitionCase {
    const char* name;
    int bytesPerRow, rows, maxChunk;
    std::vector<int> chunkBits;
};

void PrintTo(const PartitionCase& t, std::ostream* os) { *os << t.name; }

class HfmPartition : public ::testing::TestWithParam<PartitionCase> {};

TEST_P(HfmPartition, CutsWholeRowsBeforeTheLimit) {
    const PartitionCase& t = GetParam();
    Coded c(Repeat(0x00, static_cast<size_t>(t.bytesPerRow) * t.rows), t.bytesPerRow, t.rows, t.maxChunk);
    ASSERT_TRUE(c.Complete());
    ASSERT_EQ(c.chunkCount, static_cast<int>(t.chunkBits.size()));
    unsigned char* next = c.chunks[0].pData;
    for (int k = 0; k < c.chunkCount; k++) {
        const int bits = t.chunkBits[k];
        const int bytes = (bits + 7) / 8;
        const int pad = bytes * 8 - bits;
        Bytes expected(1 + bytes, 0xFF);
        expected[0] = static_cast<uint8_t>(pad);
        if (k + 1 == c.chunkCount)  // the last chunk's pad bits are 0; others repeat the next chunk's 1s
            expected.back() = static_cast<uint8_t>(0xFF << pad);
        EXPECT_EQ(DiffBytes(expected, c.Chunks()[k]), "") << "chunk " << k;
        EXPECT_EQ(c.chunks[k].pData, next) << "chunks lie one after another in one block";
        next += c.chunks[k].iLength;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HfmPartition,
    ::testing::Values(PartitionCase{"ClosedWhenTheNextRowReachesTheLimitExactly", 1020, 2, 256, {1020, 1020}},
                      PartitionCase{"ThirdsOfTheLimit", 680, 3, 256, {1360, 680}},
                      PartitionCase{"FullestChunkIs255DataBytes", 1019, 2, 256, {2038}},
                      PartitionCase{"FullChunkThenRest", 1019, 3, 256, {2038, 1019}},
                      PartitionCase{"SingleRowBelowTheLimit", 2039, 1, 256, {2039}},
                      PartitionCase{"SingleRowAtTheLimitHasNoEmptyChunkAhead", 2040, 1, 256, {2040}},
                      PartitionCase{"OversizedRowsEachInAChunkOfTheirOwn", 2041, 3, 256, {2041, 2041, 2041}},
                      PartitionCase{"SmallLimit", 3, 5, 2, {6, 6, 3}},
                      PartitionCase{"EveryRowOversizedForASmallLimit", 10, 3, 2, {10, 10, 10}},
                      PartitionCase{"OneBytePerRow", 1, 20, 2, {7, 7, 6}}),
    [](const ::testing::TestParamInfo<PartitionCase>& info) { return std::string(info.param.name); });

TEST(HfmCoder, PadBitsRepeatTheNextChunkAndEndInZeros) {
    // 00 codes to 1 and FF to 0 (FF is lighter); the limit is 8 bits, so the
    // 3-bit rows give chunks of two rows and one row. The first chunk's two
    // pad bits are the third row's first bits, 0 1.
    Coded c({0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00}, 3, 3, 2);
    ASSERT_TRUE(c.Complete());
    ASSERT_EQ(c.chunkCount, 2);
    EXPECT_EQ(DiffBytes({0x02, 0xF5}, c.Chunks()[0]), "");
    EXPECT_EQ(DiffBytes({0x05, 0x60}, c.Chunks()[1]), "");
}

// Random pages of several sizes and densities through the coder and back
// through the test decoder.
struct RoundTripCase {
    int bytesPerRow, rows;
    double density;  // chance of a set bit; below 0: skewed byte values
    int maxChunk;
};

void PrintTo(const RoundTripCase& t, std::ostream* os) {
    *os << t.bytesPerRow << " x " << t.rows << ", density " << t.density << ", chunks up to " << t.maxChunk;
}

class HfmRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

Bytes RandomPage(const RoundTripCase& t, unsigned seed) {
    std::mt19937 random(seed);
    Bytes page(static_cast<size_t>(t.bytesPerRow) * t.rows);
    if (t.density < 0) {
        std::geometric_distribution<int> skew(0.35);
        for (uint8_t& b : page)
            b = static_cast<uint8_t>(std::min(skew(random), 255) * 37);
        return page;
    }
    std::bernoulli_distribution bit(t.density);
    for (uint8_t& b : page)
        for (int i = 0; i < 8; i++)
            b = static_cast<uint8_t>(b << 1 | (bit(random) ? 1 : 0));
    return page;
}

TEST_P(HfmRoundTrip, DecoderRebuildsTheExactPage) {
    const RoundTripCase& t = GetParam();
    const Bytes page = RandomPage(t, static_cast<unsigned>(t.bytesPerRow * 7919 + t.rows * 31 + t.maxChunk));
    Coded c(page, t.bytesPerRow, t.rows, t.maxChunk);
    ASSERT_TRUE(c.Complete());
    HfmTestDecoder decoder;
    ASSERT_EQ(decoder.Build(c.Pre(), c.In()), "");
    Bytes decoded;
    ASSERT_EQ(decoder.Decode(c.Chunks(), t.bytesPerRow, (t.maxChunk - 1) * 8LL, decoded), "");
    EXPECT_EQ(DiffBytes(page, decoded), "");
}

std::vector<RoundTripCase> RoundTripCases() {
    std::vector<RoundTripCase> cases;
    for (int bytesPerRow : {1, 3, 4, 48, 72, 260})
        for (int rows : {1, 2, 37, 400})
            for (double density : {0.0, 0.02, 0.5, 0.97, 1.0, -1.0})
                cases.push_back({bytesPerRow, rows, density, 256});
    for (int maxChunk : {2, 3, 17})
        for (double density : {0.1, 0.5, -1.0})
            cases.push_back({5, 120, density, maxChunk});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Pages, HfmRoundTrip, ::testing::ValuesIn(RoundTripCases()),
                         [](const ::testing::TestParamInfo<RoundTripCase>& info) {
                             const RoundTripCase& t = info.param;
                             std::string density = t.density < 0 ? "Skewed" : std::to_string(int(t.density * 100));
                             return std::to_string(t.bytesPerRow) + "x" + std::to_string(t.rows) + "_Density" +
                                    density + "_Max" + std::to_string(t.maxChunk);
                         });

// A chain-shaped tree over all 256 values: value v codes to v ones and a 0
// (255 codes to 255 ones), so codes run from 1 bit to the longest possible.
TEST(HfmCoder, CodesUpTo255BitsDecode) {
    const int leaves = 256, count = 2 * leaves - 1;
    std::vector<Node> nodes(count);
    for (int j = 0; j < count; j++) {
        nodes[j] = Node{};
        nodes[j].iLeft = nodes[j].iRight = nodes[j].iParent = -1;
        nodes[j].iWeight = 1;
        nodes[j].wValue = static_cast<uint16_t>(j);
    }
    for (int depth = 0; depth < leaves - 1; depth++) {
        const int inner = count - 1 - depth;
        const int right = depth == leaves - 2 ? leaves - 1 : inner - 1;
        nodes[inner].iLeft = depth;
        nodes[inner].iRight = right;
        nodes[depth].iParent = nodes[right].iParent = inner;
    }
    for (int v = 0; v < leaves; v++) {
        nodes[v].iCodeLen = v == 255 ? 255 : v + 1;
        for (int i = 0; i < nodes[v].iCodeLen; i++)
            nodes[v].byCode[i] = i < v ? 1 : 0;
    }

    CHfmCode coder;
    unsigned short* pre = coder.GetTreePreorder(nodes.data(), count);
    unsigned short* in = coder.GetTreeMiddleorder(nodes.data(), count);
    ASSERT_TRUE(pre && in);
    HfmTestDecoder decoder;
    ASSERT_EQ(decoder.Build(std::vector<uint16_t>(pre, pre + count), std::vector<uint16_t>(in, in + count)), "");
    std::free(pre);
    std::free(in);

    std::mt19937 random(99);
    for (int bytesPerRow : {1, 3, 16}) {
        const int rows = 50;
        Bytes page(static_cast<size_t>(bytesPerRow) * rows);
        for (uint8_t& b : page)
            b = static_cast<uint8_t>(random());
        int chunkCount = 0;
        CHfmCode::HFMCODECHUNK* chunks =
            coder.HFMDGencoding(nodes.data(), count, page.data(), bytesPerRow, rows, 256, &chunkCount);
        ASSERT_NE(chunks, nullptr);
        std::vector<Bytes> parts;
        for (int k = 0; k < chunkCount; k++)
            parts.emplace_back(chunks[k].pData, chunks[k].pData + chunks[k].iLength);
        std::free(chunks[0].pData);
        std::free(chunks);
        Bytes decoded;
        ASSERT_EQ(decoder.Decode(parts, bytesPerRow, 2040, decoded), "") << bytesPerRow << " bytes per row";
        EXPECT_EQ(DiffBytes(page, decoded), "") << bytesPerRow << " bytes per row";
    }
}

TEST(HfmCoder, RejectsMissingOrEmptyInputWithoutTouchingTheCounts) {
    CHfmCode coder;
    unsigned char byte = 0;
    int nodeCount = -7;
    EXPECT_EQ(coder.GetHfmTree(nullptr, 4, &nodeCount, 0, 0), nullptr);
    EXPECT_EQ(coder.GetHfmTree(&byte, 0, &nodeCount, 0, 0), nullptr);
    EXPECT_EQ(coder.GetHfmTree(&byte, -1, &nodeCount, 0, 0), nullptr);
    EXPECT_EQ(nodeCount, -7);

    Coded c({1, 2, 3, 4}, 2, 2);
    ASSERT_TRUE(c.Complete());
    EXPECT_EQ(coder.GetTreePreorder(nullptr, 3), nullptr);
    EXPECT_EQ(coder.GetTreePreorder(c.tree, 0), nullptr);
    EXPECT_EQ(coder.GetTreeMiddleorder(c.tree, -1), nullptr);

    int chunkCount = -7;
    EXPECT_EQ(coder.HFMDGencoding(nullptr, c.nodeCount, c.data.data(), 2, 2, 256, &chunkCount), nullptr);
    EXPECT_EQ(coder.HFMDGencoding(c.tree, c.nodeCount, nullptr, 2, 2, 256, &chunkCount), nullptr);
    EXPECT_EQ(coder.HFMDGencoding(c.tree, c.nodeCount, c.data.data(), 2, 0, 256, &chunkCount), nullptr);
    EXPECT_EQ(coder.HFMDGencoding(c.tree, c.nodeCount, c.data.data(), 0, 2, 256, &chunkCount), nullptr);
    EXPECT_EQ(chunkCount, -7);
}

TEST(HfmCoder, RefusesDataTheTreeCannotCode) {
    Coded c({1, 2, 3, 4}, 4, 1);
    ASSERT_TRUE(c.Complete());
    Bytes other = {1, 2, 3, 5};  // 5 has no leaf
    int chunkCount = -7;
    EXPECT_EQ(c.coder.HFMDGencoding(c.tree, c.nodeCount, other.data(), 4, 1, 256, &chunkCount), nullptr);
    EXPECT_EQ(chunkCount, -7);
}

TEST(HfmCoder, TraversalsRefuseMalformedTrees) {
    Coded c({1, 2, 2, 3, 3, 3}, 6, 1);
    ASSERT_TRUE(c.Complete());
    ASSERT_EQ(c.nodeCount, 5);
    std::vector<Node> broken(c.tree, c.tree + c.nodeCount);
    broken[4].iLeft = 4;  // a node that is its own child
    EXPECT_EQ(c.coder.GetTreePreorder(broken.data(), 5), nullptr);
    broken.assign(c.tree, c.tree + c.nodeCount);
    broken[4].iRight = broken[4].iLeft;  // one child reached twice
    EXPECT_EQ(c.coder.GetTreeMiddleorder(broken.data(), 5), nullptr);
    broken.assign(c.tree, c.tree + c.nodeCount);
    broken[3].iLeft = -1;  // an inner node with one child
    EXPECT_EQ(c.coder.GetTreePreorder(broken.data(), 5), nullptr);
}

}  // namespace
