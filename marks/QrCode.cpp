#include "marks/QrCode.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Level M, indexed by version: error correction codewords per block and the
// number of blocks.
const int kEccPerBlock[QrCode::kMaxVersion + 1] = {0, 10, 16, 26, 18, 24, 16, 18, 22, 22, 26};
const int kBlocks[QrCode::kMaxVersion + 1] = {0, 1, 1, 1, 2, 2, 4, 4, 4, 5, 5};
// Level M's two format bits.
const int kLevelBits = 0;

// Modules left for data and error correction once the function patterns
// and format and version information are drawn.
int RawModules(int version) {
    int result = (16 * version + 128) * version + 64;
    if (version >= 2) {
        const int align = version / 7 + 2;
        result -= (25 * align - 10) * align - 55;
        if (version >= 7)
            result -= 36;
    }
    return result;
}

int TotalCodewords(int version) { return RawModules(version) / 8; }

// The centres of the alignment patterns along either axis.
std::vector<int> AlignmentPositions(int version) {
    if (version == 1)
        return {};
    const int count = version / 7 + 2, size = version * 4 + 17;
    const int step = (version * 4 + count * 2 + 1) / (count * 2 - 2) * 2;
    std::vector<int> positions(count);
    positions[0] = 6;
    for (int i = count - 1, pos = size - 7; i >= 1; i--, pos -= step)
        positions[i] = pos;
    return positions;
}

// GF(256) with the QR polynomial x^8 + x^4 + x^3 + x^2 + 1.
uint8_t Multiply(uint8_t x, uint8_t y) {
    int z = 0;
    for (int i = 7; i >= 0; i--) {
        z = (z << 1) ^ ((z >> 7) * 0x11D);
        z ^= ((y >> i) & 1) * x;
    }
    return static_cast<uint8_t>(z);
}

// The generator polynomial of `degree` (roots 2^0 .. 2^(degree-1)),
// coefficients from the highest power down, the leading 1 left out.
std::vector<uint8_t> Divisor(int degree) {
    std::vector<uint8_t> result(degree, 0);
    result[degree - 1] = 1;
    uint8_t root = 1;
    for (int i = 0; i < degree; i++) {
        for (int j = 0; j < degree; j++) {
            result[j] = Multiply(result[j], root);
            if (j + 1 < degree)
                result[j] ^= result[j + 1];
        }
        root = Multiply(root, 0x02);
    }
    return result;
}

std::vector<uint8_t> Remainder(const std::vector<uint8_t>& data, const std::vector<uint8_t>& divisor) {
    std::vector<uint8_t> result(divisor.size(), 0);
    for (uint8_t b : data) {
        const uint8_t factor = b ^ result[0];
        result.erase(result.begin());
        result.push_back(0);
        for (size_t i = 0; i < result.size(); i++)
            result[i] ^= Multiply(divisor[i], factor);
    }
    return result;
}

// Appends `count` low bits of `value`, most significant first.
void AppendBits(std::vector<bool>& bits, unsigned value, int count) {
    for (int i = count - 1; i >= 0; i--)
        bits.push_back(((value >> i) & 1) != 0);
}

bool MaskBit(int mask, int x, int y) {
    switch (mask) {
        case 0:
            return (x + y) % 2 == 0;
        case 1:
            return y % 2 == 0;
        case 2:
            return x % 3 == 0;
        case 3:
            return (x + y) % 3 == 0;
        case 4:
            return (x / 3 + y / 2) % 2 == 0;
        case 5:
            return x * y % 2 + x * y % 3 == 0;
        case 6:
            return (x * y % 2 + x * y % 3) % 2 == 0;
        default:
            return ((x + y) % 2 + x * y % 3) % 2 == 0;
    }
}

}  // namespace

int QrCode::DataCapacity(int version) {
    const int dataCodewords = TotalCodewords(version) - kEccPerBlock[version] * kBlocks[version];
    // Mode (4 bits) and count (8 bits up to version 9, 16 from 10).
    const int headerBits = 4 + (version < 10 ? 8 : 16);
    return (dataCodewords * 8 - headerBits) / 8;
}

bool QrCode::Encode(const std::string& data) {
    m_Version = 0;
    for (int v = 1; v <= kMaxVersion && !m_Version; v++)
        if (static_cast<int>(data.size()) <= DataCapacity(v))
            m_Version = v;
    if (!m_Version)
        return false;
    const int version = m_Version;
    m_Size = version * 4 + 17;

    // The data bits: byte mode, count, bytes, terminator, padding.
    const int dataCodewords = TotalCodewords(version) - kEccPerBlock[version] * kBlocks[version];
    std::vector<bool> bits;
    AppendBits(bits, 0x4, 4);
    AppendBits(bits, static_cast<unsigned>(data.size()), version < 10 ? 8 : 16);
    for (unsigned char c : data)
        AppendBits(bits, c, 8);
    const size_t capacity = static_cast<size_t>(dataCodewords) * 8;
    AppendBits(bits, 0, static_cast<int>(std::min<size_t>(4, capacity - bits.size())));
    AppendBits(bits, 0, static_cast<int>((8 - bits.size() % 8) % 8));
    for (unsigned pad = 0xEC; bits.size() < capacity; pad ^= 0xEC ^ 0x11)
        AppendBits(bits, pad, 8);
    std::vector<uint8_t> codewords(bits.size() / 8, 0);
    for (size_t i = 0; i < bits.size(); i++)
        codewords[i >> 3] |= static_cast<uint8_t>(bits[i] << (7 - (i & 7)));

    // Blocks (the short ones first, one codeword less), each with its error
    // correction, then interleaved codeword by codeword.
    const int blocks = kBlocks[version], ecc = kEccPerBlock[version];
    const int total = TotalCodewords(version), shortBlocks = blocks - total % blocks;
    const int shortLength = total / blocks;
    const std::vector<uint8_t> divisor = Divisor(ecc);
    std::vector<std::vector<uint8_t>> dataBlocks, eccBlocks;
    for (int i = 0, k = 0; i < blocks; i++) {
        const int length = shortLength - ecc + (i < shortBlocks ? 0 : 1);
        dataBlocks.emplace_back(codewords.begin() + k, codewords.begin() + k + length);
        eccBlocks.push_back(Remainder(dataBlocks.back(), divisor));
        k += length;
    }
    std::vector<uint8_t> interleaved;
    for (int i = 0; i <= shortLength - ecc; i++)
        for (const std::vector<uint8_t>& block : dataBlocks)
            if (i < static_cast<int>(block.size()))
                interleaved.push_back(block[i]);
    for (int i = 0; i < ecc; i++)
        for (const std::vector<uint8_t>& block : eccBlocks)
            interleaved.push_back(block[i]);

    m_Modules.assign(static_cast<size_t>(m_Size) * m_Size, 0);
    m_IsFunction.assign(m_Modules.size(), 0);
    DrawFunctionPatterns();
    PlaceCodewords(interleaved);

    long best = -1;
    for (int mask = 0; mask < 8; mask++) {
        ApplyMask(mask);
        DrawFormat(mask);
        const long penalty = Penalty();
        if (best < 0 || penalty < best) {
            best = penalty;
            m_Mask = mask;
        }
        ApplyMask(mask);  // undone: XOR twice
    }
    ApplyMask(m_Mask);
    DrawFormat(m_Mask);
    return true;
}

void QrCode::SetFunction(int x, int y, bool dark) {
    Set(x, y, dark);
    m_IsFunction[static_cast<size_t>(y) * m_Size + x] = 1;
}

void QrCode::DrawFunctionPatterns() {
    for (int i = 0; i < m_Size; i++) {
        SetFunction(6, i, i % 2 == 0);
        SetFunction(i, 6, i % 2 == 0);
    }
    DrawFinder(3, 3);
    DrawFinder(m_Size - 4, 3);
    DrawFinder(3, m_Size - 4);
    const std::vector<int> align = AlignmentPositions(m_Version);
    const size_t n = align.size();
    for (size_t i = 0; i < n; i++)
        for (size_t j = 0; j < n; j++)
            if (!((i == 0 && j == 0) || (i == 0 && j == n - 1) || (i == n - 1 && j == 0)))
                DrawAlignment(align[i], align[j]);
    DrawFormat(0);  // reserves the format areas; drawn again with the mask
    DrawVersion();
}

// The finder and its light separator, clipped at the symbol's edge.
void QrCode::DrawFinder(int cx, int cy) {
    for (int dy = -4; dy <= 4; dy++)
        for (int dx = -4; dx <= 4; dx++) {
            const int x = cx + dx, y = cy + dy;
            const int dist = std::max(std::abs(dx), std::abs(dy));
            if (x >= 0 && x < m_Size && y >= 0 && y < m_Size)
                SetFunction(x, y, dist != 2 && dist != 4);
        }
}

void QrCode::DrawAlignment(int cx, int cy) {
    for (int dy = -2; dy <= 2; dy++)
        for (int dx = -2; dx <= 2; dx++)
            SetFunction(cx + dx, cy + dy, std::max(std::abs(dx), std::abs(dy)) != 1);
}

// Level and mask, BCH(15,5) protected and XOR-ed with 0x5412, in both copies.
void QrCode::DrawFormat(int mask) {
    const int data = kLevelBits << 3 | mask;
    int rem = data;
    for (int i = 0; i < 10; i++)
        rem = (rem << 1) ^ ((rem >> 9) * 0x537);
    const int bits = (data << 10 | rem) ^ 0x5412;
    auto bit = [bits](int i) { return ((bits >> i) & 1) != 0; };
    for (int i = 0; i <= 5; i++)
        SetFunction(8, i, bit(i));
    SetFunction(8, 7, bit(6));
    SetFunction(8, 8, bit(7));
    SetFunction(7, 8, bit(8));
    for (int i = 9; i < 15; i++)
        SetFunction(14 - i, 8, bit(i));
    for (int i = 0; i < 8; i++)
        SetFunction(m_Size - 1 - i, 8, bit(i));
    for (int i = 8; i < 15; i++)
        SetFunction(8, m_Size - 15 + i, bit(i));
    SetFunction(8, m_Size - 8, true);  // the dark module
}

// From version 7: the version, BCH(18,6) protected, beside two finders.
void QrCode::DrawVersion() {
    if (m_Version < 7)
        return;
    int rem = m_Version;
    for (int i = 0; i < 12; i++)
        rem = (rem << 1) ^ ((rem >> 11) * 0x1F25);
    const long bits = static_cast<long>(m_Version) << 12 | rem;
    for (int i = 0; i < 18; i++) {
        const bool dark = ((bits >> i) & 1) != 0;
        const int a = m_Size - 11 + i % 3, b = i / 3;
        SetFunction(a, b, dark);
        SetFunction(b, a, dark);
    }
}

// Two columns at a time from the right, up then down, skipping the timing
// column; the remainder bits stay light.
void QrCode::PlaceCodewords(const std::vector<uint8_t>& codewords) {
    size_t i = 0;
    const size_t bits = codewords.size() * 8;
    for (int right = m_Size - 1; right >= 1; right -= 2) {
        if (right == 6)
            right = 5;
        for (int vert = 0; vert < m_Size; vert++)
            for (int j = 0; j < 2; j++) {
                const int x = right - j;
                const bool upward = ((right + 1) & 2) == 0;
                const int y = upward ? m_Size - 1 - vert : vert;
                if (!m_IsFunction[static_cast<size_t>(y) * m_Size + x] && i < bits) {
                    Set(x, y, ((codewords[i >> 3] >> (7 - (i & 7))) & 1) != 0);
                    i++;
                }
            }
    }
}

void QrCode::ApplyMask(int mask) {
    for (int y = 0; y < m_Size; y++)
        for (int x = 0; x < m_Size; x++) {
            const size_t at = static_cast<size_t>(y) * m_Size + x;
            if (!m_IsFunction[at] && MaskBit(mask, x, y))
                m_Modules[at] ^= 1;
        }
}

// The four rules: runs of five or more, 2 x 2 blocks, finder-like
// 1:1:3:1:1 runs with four light modules beside them (outside the symbol
// counts as light), and the share of dark modules away from half.
long QrCode::Penalty() const {
    long penalty = 0;
    const int n = m_Size;
    auto at = [this, n](int line, int i, bool vertical) {
        if (i < 0 || i >= n)
            return false;
        return vertical ? Dark(line, i) : Dark(i, line);
    };
    static const bool kFinder[7] = {true, false, true, true, true, false, true};
    for (int vertical = 0; vertical < 2; vertical++)
        for (int line = 0; line < n; line++) {
            int run = 1;
            for (int i = 1; i <= n; i++) {
                if (i < n && at(line, i, vertical) == at(line, i - 1, vertical)) {
                    run++;
                    continue;
                }
                if (run >= 5)
                    penalty += 3 + (run - 5);
                run = 1;
            }
            for (int i = 0; i + 7 <= n; i++) {
                bool match = true;
                for (int k = 0; k < 7 && match; k++)
                    match = at(line, i + k, vertical) == kFinder[k];
                if (!match)
                    continue;
                bool lightBefore = true, lightAfter = true;
                for (int k = 1; k <= 4; k++) {
                    lightBefore = lightBefore && !at(line, i - k, vertical);
                    lightAfter = lightAfter && !at(line, i + 6 + k, vertical);
                }
                if (lightBefore || lightAfter)
                    penalty += 40;
            }
        }
    long dark = 0;
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            dark += Dark(x, y);
            if (x + 1 < n && y + 1 < n && Dark(x, y) == Dark(x + 1, y) && Dark(x, y) == Dark(x, y + 1) &&
                Dark(x, y) == Dark(x + 1, y + 1))
                penalty += 3;
        }
    const long total = static_cast<long>(n) * n;
    penalty += std::labs(dark * 20 - total * 10) / total * 10;
    return penalty;
}
