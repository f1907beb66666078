// Halftoning of CxImage to one bit: six error-diffusion kernels and four
// ordered matrices.
//
// Error diffusion pushes the error of each pixel into the gray levels of its
// neighbours, clamping every neighbour to 0..255 after each single push;
// weights are applied to the full error one by one with division truncating
// toward zero. Since the clamps make the result depend on the order of the
// pushes, every cell receives its pushes in exactly the order of a plain scan
// (rows top down, each left to right, taps in kernel order), however the
// work is arranged (see Diffuse).
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/CxImage.h"
#include "image/CxImageRows.h"

namespace {

struct Tap {
    int dx, dy, weight;
};

struct FloydSteinberg {
    static constexpr int kDivisor = 16;
    static constexpr int kRows = 2;
    static constexpr std::array<Tap, 4> kTaps = {{{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}};
};

struct Burkes {
    static constexpr int kDivisor = 32;
    static constexpr int kRows = 2;
    static constexpr std::array<Tap, 7> kTaps = {
        {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}};
};

struct Stucki {
    static constexpr int kDivisor = 42;
    static constexpr int kRows = 3;
    static constexpr std::array<Tap, 12> kTaps = {{{1, 0, 8},
                                                   {2, 0, 4},
                                                   {-2, 1, 2},
                                                   {-1, 1, 4},
                                                   {0, 1, 8},
                                                   {1, 1, 4},
                                                   {2, 1, 2},
                                                   {-2, 2, 1},
                                                   {-1, 2, 2},
                                                   {0, 2, 4},
                                                   {1, 2, 2},
                                                   {2, 2, 1}}};
};

struct JarvisJudiceNinke {
    static constexpr int kDivisor = 48;
    static constexpr int kRows = 3;
    static constexpr std::array<Tap, 12> kTaps = {{{1, 0, 7},
                                                   {2, 0, 5},
                                                   {-2, 1, 3},
                                                   {-1, 1, 5},
                                                   {0, 1, 7},
                                                   {1, 1, 5},
                                                   {2, 1, 3},
                                                   {-2, 2, 1},
                                                   {-1, 2, 3},
                                                   {0, 2, 5},
                                                   {1, 2, 3},
                                                   {2, 2, 1}}};
};

struct Sierra {
    static constexpr int kDivisor = 32;
    static constexpr int kRows = 3;
    static constexpr std::array<Tap, 10> kTaps = {{{1, 0, 5},
                                                   {2, 0, 3},
                                                   {-2, 1, 2},
                                                   {-1, 1, 4},
                                                   {0, 1, 5},
                                                   {1, 1, 4},
                                                   {2, 1, 2},
                                                   {-1, 2, 2},
                                                   {0, 2, 3},
                                                   {1, 2, 2}}};
};

struct StevensonArce {
    static constexpr int kDivisor = 200;
    static constexpr int kRows = 4;
    static constexpr std::array<Tap, 12> kTaps = {{{2, 0, 32},
                                                   {-3, 1, 12},
                                                   {-1, 1, 26},
                                                   {1, 1, 30},
                                                   {3, 1, 16},
                                                   {-2, 2, 12},
                                                   {0, 2, 26},
                                                   {2, 2, 12},
                                                   {-3, 3, 5},
                                                   {-1, 3, 12},
                                                   {1, 3, 12},
                                                   {3, 3, 5}}};
};

// The gray levels being diffused: the pixel rows of an 8-bit gray image,
// written to as errors are pushed into them.
struct GrayPlane {
    uint8_t* bits;
    size_t stride;
    uint8_t* Row(int y) const { return bits + static_cast<size_t>(y) * stride; }
};

constexpr int kLanes = 8;
typedef int16_t Lanes __attribute__((vector_size(16)));
typedef uint16_t UnsignedLanes __attribute__((vector_size(16)));
typedef uint32_t WideLanes __attribute__((vector_size(32)));
typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint8_t Levels8 __attribute__((vector_size(8)));

// Lane shuffle of two vectors: GCC takes the indices as a mask vector,
// clang as constants.
#if defined(__clang__)
#define SHUFFLE2(Mask, a, b, ...) __builtin_shufflevector(a, b, __VA_ARGS__)
#else
#define SHUFFLE2(Mask, a, b, ...) __builtin_shuffle(a, b, Mask{__VA_ARGS__})
#endif

template <size_t N>
constexpr int Reach(const std::array<Tap, N>& taps) {
    int reach = 0;
    for (const Tap& t : taps)
        reach = std::max(reach, t.dx < 0 ? -t.dx : t.dx);
    return reach;
}

template <size_t N>
constexpr int AheadInRow(const std::array<Tap, N>& taps) {
    int ahead = 0;
    for (const Tap& t : taps)
        if (t.dy == 0)
            ahead = std::max(ahead, t.dx);
    return ahead;
}

// v / divisor for 0 <= v < 8192 as the high half of v * multiplier shifted
// right by `shift`: the multiplier is 2^(16 + shift) / divisor rounded up, as
// large as 16 bits allow, and v times the rounding stays below 1 / divisor, so
// the quotient is exact (checked below for every v).
struct Reciprocal {
    uint32_t multiplier;
    int shift;
};

constexpr uint32_t CeilDiv(uint32_t a, uint32_t b) { return (a + b - 1) / b; }

constexpr Reciprocal ReciprocalOf(int divisor) {
    const uint32_t d = static_cast<uint32_t>(divisor);
    int shift = 0;
    while (CeilDiv(1u << (17 + shift), d) < 65536)
        shift++;
    return {CeilDiv(1u << (16 + shift), d), shift};
}

constexpr bool ReciprocalIsExact(int divisor) {
    const Reciprocal r = ReciprocalOf(divisor);
    for (uint32_t v = 0; v < 8192; v++)
        if (((v * r.multiplier) >> 16 >> r.shift) != v / static_cast<uint32_t>(divisor))
            return false;
    return true;
}
static_assert(ReciprocalIsExact(42) && ReciprocalIsExact(48) && ReciprocalIsExact(200), "exact division");

// High 16 bits of each unsigned 16-bit product.
inline UnsignedLanes MultiplyHigh(UnsignedLanes a, uint16_t b) {
#if defined(__SSE2__)
    return reinterpret_cast<UnsignedLanes>(
        _mm_mulhi_epu16(reinterpret_cast<__m128i>(a), _mm_set1_epi16(static_cast<short>(b))));
#else
    const WideLanes wide = __builtin_convertvector(a, WideLanes) * static_cast<uint32_t>(b);
    return __builtin_convertvector(wide >> 16, UnsignedLanes);
#endif
}

inline Lanes Splat(int v) { return Lanes{} + static_cast<int16_t>(v); }

inline Lanes Clamp255(Lanes v) {
    const Lanes zero = {};
    const Lanes top = Splat(255);
    v = v < zero ? zero : v;
    return v > top ? top : v;
}

// Lane k moves to lane k + n: a row's pushes into the row n below it.
inline Lanes ShiftUp(Lanes v, int n) {
    const Lanes z = {};
    if (n == 1)
        return SHUFFLE2(Lanes, v, z, 8, 0, 1, 2, 3, 4, 5, 6);
    if (n == 2)
        return SHUFFLE2(Lanes, v, z, 8, 8, 0, 1, 2, 3, 4, 5);
    return SHUFFLE2(Lanes, v, z, 8, 8, 8, 0, 1, 2, 3, 4);
}

// One bit per lane, lane k in bit k, from -1 / 0 lanes.
inline uint8_t LaneBits(Lanes flags) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_packs_epi16(reinterpret_cast<__m128i>(flags), _mm_setzero_si128());
    return static_cast<uint8_t>(_mm_movemask_epi8(bytes));
#else
    typedef int8_t Bytes8 __attribute__((vector_size(8)));
    const Bytes8 narrow = __builtin_convertvector(flags & Splat(1), Bytes8);
    uint64_t word;
    std::memcpy(&word, &narrow, sizeof word);
    return static_cast<uint8_t>((word * 0x0102040810204080ull) >> 56);
#endif
}

// Eight bytes of a vector as eight lanes.
inline Lanes HalfToLanes(Bytes16 v, int half) {
    Levels8 bytes;
    std::memcpy(&bytes, reinterpret_cast<const uint8_t*>(&v) + 8 * half, sizeof bytes);
    return __builtin_convertvector(bytes, Lanes);
}

// Rows r[0..7], eight bytes each, as eight vectors of columns: lane k of
// vector i is r[k][i].
inline void TransposeBytes(const uint8_t* const r[kLanes], Lanes out[kLanes]) {
    Bytes16 row[kLanes];
    for (int k = 0; k < kLanes; k++) {
        row[k] = Bytes16{};
        std::memcpy(&row[k], r[k], 8);
    }
    // Interleave bytes, then pairs, then quadruples of rows.
    Bytes16 a[4], b[4];
    for (int i = 0; i < 4; i++)
        a[i] = SHUFFLE2(Bytes16, row[2 * i], row[2 * i + 1], 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    for (int i = 0; i < 2; i++) {
        b[2 * i] = SHUFFLE2(Bytes16, a[2 * i], a[2 * i + 1], 0, 1, 16, 17, 2, 3, 18, 19, 4, 5, 20, 21, 6, 7, 22, 23);
        b[2 * i + 1] =
            SHUFFLE2(Bytes16, a[2 * i], a[2 * i + 1], 8, 9, 24, 25, 10, 11, 26, 27, 12, 13, 28, 29, 14, 15, 30, 31);
    }
    for (int i = 0; i < 2; i++) {
        const Bytes16 lo = SHUFFLE2(Bytes16, b[i], b[i + 2], 0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
        const Bytes16 hi =
            SHUFFLE2(Bytes16, b[i], b[i + 2], 8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15, 28, 29, 30, 31);
        out[4 * i] = HalfToLanes(lo, 0);
        out[4 * i + 1] = HalfToLanes(lo, 1);
        out[4 * i + 2] = HalfToLanes(hi, 0);
        out[4 * i + 3] = HalfToLanes(hi, 1);
    }
}

inline bool AllZero(Lanes v) {
    uint64_t half[2];
    std::memcpy(half, &v, sizeof half);
    return (half[0] | half[1]) == 0;
}

// error * weight / divisor, truncated toward zero, from the error's magnitude
// (at most 128) and its sign (-1 or 0 per lane).
template <int Divisor>
inline Lanes Push(Lanes magnitude, Lanes sign, int weight) {
    const Lanes v = magnitude * static_cast<int16_t>(weight);
    Lanes q;
    if constexpr ((Divisor & (Divisor - 1)) == 0) {
        q = v >> __builtin_ctz(Divisor);
    } else {
        constexpr Reciprocal r = ReciprocalOf(Divisor);
        q = reinterpret_cast<Lanes>(MultiplyHigh(reinterpret_cast<UnsignedLanes>(v), r.multiplier) >> r.shift);
    }
    return (q ^ sign) - sign;
}

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

inline Lanes LoadLevels(const uint8_t* p) {
    Levels8 v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(v, Lanes);
}

inline void StoreLevels(uint8_t* p, Lanes v) {
    const Levels8 narrow = __builtin_convertvector(v, Levels8);
    std::memcpy(p, &narrow, sizeof narrow);
}

// Error diffusion of a whole plane into the 1-bit result.
//
// Eight rows are diffused together, one per 16-bit lane, as a wavefront: at
// step x the lane of row y0 + k works on pixel x - k * kLag. Because kLag is
// larger than twice the kernel's reach, every cell receives its pushes in the
// order of a plain top-down, left-to-right scan and each level is read after
// its last push, so the output is the same bit for bit. Cell (c, y0 + k) is
// lane k of cells[c + k * kLag]. Pushes into rows below the band leave the
// vector and are applied afterwards, row by row, from the final levels.
template <class Kernel>
void Diffuse(const GrayPlane& gray, int width, int height, CxImage& result) {
    constexpr int kReach = Reach(Kernel::kTaps);
    constexpr int kLag = 2 * kReach + 1;
    constexpr int kAhead = AheadInRow(Kernel::kTaps);
    constexpr int kDivisor = Kernel::kDivisor;
    std::vector<Lanes> cells(static_cast<size_t>(width) + (kLanes - 1 + Kernel::kRows) * kLag + kAhead + 2);
    Lanes* const W = cells.data();
    std::vector<uint8_t> whites(cells.size() + 8);  // per step: which lanes printed white
    std::vector<int16_t> errors(static_cast<size_t>(width));
    const Lanes laneIndex = {0, 1, 2, 3, 4, 5, 6, 7};

    for (int y0 = 0; y0 < height; y0 += kLanes) {
        const int rows = std::min(kLanes, height - y0);
        // Cell (c, y0 + k) goes to lane k of W[c + k * kLag]. Where all eight
        // rows have eight columns to give, blocks are transposed; the ends of
        // the rows go lane by lane.
        int blockFrom = (kLanes - 1) * kLag, blockTo = blockFrom;
        if (rows == kLanes && width > blockFrom) {
            blockTo = blockFrom + (width - blockFrom) / 8 * 8;
            const uint8_t* r[kLanes];
            for (int j = blockFrom; j < blockTo; j += 8) {
                for (int k = 0; k < kLanes; k++)
                    r[k] = gray.Row(y0 + k) + j - k * kLag;
                TransposeBytes(r, W + j);
            }
        }
        for (int k = 0; k < rows; k++) {
            const uint8_t* src = gray.Row(y0 + k);
            Lanes* dst = W + k * kLag;
            for (int c = 0; c < width; c++) {
                if (c + k * kLag == blockFrom)
                    c = blockTo - k * kLag;
                if (c < width)
                    dst[c][k] = src[c];
            }
        }

        // The cells a row's own pushes reach stay in registers: they are
        // read as the next levels.
        Lanes ahead[kAhead + 1];
        for (int i = 0; i <= kAhead; i++)
            ahead[i] = W[i];
        int on = 0, off = 0;  // lanes off .. on - 1 are working
        Lanes active = {};
        const int steps = (rows - 1) * kLag + width;
        for (int x = 0; x < steps; x++) {
            if ((on < rows && on * kLag <= x) || off * kLag + width <= x) {
                while (on < rows && on * kLag <= x)
                    on++;
                while (off < on && off * kLag + width <= x)
                    off++;
                active = (laneIndex >= Splat(off)) & (laneIndex < Splat(on));
            }
            const Lanes level = ahead[0];
            const Lanes white = level > Splat(128);
            whites[x] = LaneBits(white);
            const Lanes error = (level - (white & Splat(255))) & active;
            if (!AllZero(error)) {
                const Lanes sign = error >> 15;
                const Lanes magnitude = (error ^ sign) - sign;
#pragma GCC unroll 16
                for (const Tap& t : Kernel::kTaps) {
                    const Lanes push = Push<kDivisor>(magnitude, sign, t.weight);
                    if (t.dy == 0) {
                        ahead[t.dx] = Clamp255(ahead[t.dx] + push);
                    } else {
                        Lanes& cell = W[x + t.dx + t.dy * kLag];
                        cell = Clamp255(cell + ShiftUp(push, t.dy));
                    }
                }
            }
            W[x] = ahead[0];
#pragma GCC unroll 4
            for (int i = 0; i < kAhead; i++)
                ahead[i] = ahead[i + 1];
            ahead[kAhead] = W[x + kAhead + 1];
        }

        // Bit k of whites[c + k * kLag] is pixel c of row y0 + k.
        for (int k = 0; k < rows; k++) {
            const uint8_t* src = whites.data() + k * kLag;
            uint8_t* out = result.GetBits(static_cast<uint32_t>(y0 + k));
            int c = 0;
            for (; c + 8 <= width; c += 8) {
                uint64_t eight;
                std::memcpy(&eight, src + c, 8);
                *out++ = CxImageRows::PackEightFlags((eight >> k) & 0x0101010101010101ull);
            }
            if (c < width) {
                uint8_t byte = 0;
                for (int i = 0; c < width; c++, i++)
                    byte |= static_cast<uint8_t>(((src[c] >> k) & 1) << (7 - i));
                *out = byte;
            }
        }

        // Rows of the band, in order, push into the rows below it. A target
        // cell must see the pushes of one source row in pixel order, that is
        // in descending dx: the taps are listed in ascending dx per row.
        for (int k = std::max(0, kLanes - Kernel::kRows + 1); k < rows && y0 + kLanes < height; k++) {
            const Lanes* src = W + k * kLag;
            for (int c = 0; c < width; c++) {
                const int level = src[c][k];
                errors[c] = static_cast<int16_t>(level > 128 ? level - 255 : level);
            }
            for (size_t i = Kernel::kTaps.size(); i-- > 0;) {
                const Tap& t = Kernel::kTaps[i];
                const int y = y0 + k + t.dy;
                if (k + t.dy < kLanes || y >= height)
                    continue;
                uint8_t* target = gray.Row(y) + t.dx;
                const int16_t* error = errors.data();
                const int from = std::max(0, -t.dx), to = std::min(width, width - t.dx);
                int c = from;
                for (; c + kLanes <= to; c += kLanes) {
                    Lanes e;
                    std::memcpy(&e, error + c, sizeof e);
                    const Lanes sign = e >> 15;
                    const Lanes push = Push<kDivisor>((e ^ sign) - sign, sign, t.weight);
                    StoreLevels(target + c, Clamp255(LoadLevels(target + c) + push));
                }
                for (; c < to; c++)
                    target[c] = static_cast<uint8_t>(Clamp255(target[c] + error[c] * t.weight / kDivisor));
            }
        }
    }
}

// Ordered methods: every matrix makes a pixel white exactly when its level is
// above a per-position limit, so each is reduced to a table of limits.
const uint8_t kM4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Indexed [x & 7][y & 7]: the first index is the column.
const uint8_t kM8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

// Indexed [x & 15][y & 15].
const uint8_t kM16[16][16] = {
    {1, 235, 59, 219, 15, 231, 55, 215, 2, 232, 56, 216, 12, 228, 52, 212},
    {129, 65, 187, 123, 143, 79, 183, 119, 130, 66, 184, 120, 140, 76, 180, 116},
    {33, 193, 17, 251, 47, 207, 31, 247, 34, 194, 18, 248, 44, 204, 28, 244},
    {161, 97, 145, 81, 175, 111, 159, 95, 162, 98, 146, 82, 172, 108, 156, 92},
    {9, 225, 49, 209, 5, 239, 63, 223, 10, 226, 50, 210, 6, 236, 60, 220},
    {137, 73, 177, 113, 133, 69, 191, 127, 138, 74, 178, 114, 134, 70, 188, 124},
    {41, 201, 25, 241, 37, 197, 21, 255, 42, 202, 26, 242, 38, 198, 22, 252},
    {169, 105, 153, 89, 165, 101, 149, 85, 170, 106, 154, 90, 166, 102, 150, 86},
    {3, 233, 57, 217, 13, 229, 53, 213, 0, 234, 58, 218, 14, 230, 54, 214},
    {131, 67, 185, 121, 141, 77, 181, 117, 128, 64, 186, 122, 142, 78, 182, 118},
    {35, 195, 19, 249, 45, 205, 29, 245, 32, 192, 16, 250, 46, 206, 30, 246},
    {163, 99, 147, 83, 173, 109, 157, 93, 160, 96, 144, 80, 174, 110, 158, 94},
    {11, 227, 51, 211, 7, 237, 61, 221, 8, 224, 48, 208, 4, 238, 62, 222},
    {139, 75, 179, 115, 135, 71, 189, 125, 136, 72, 176, 112, 132, 68, 190, 126},
    {43, 203, 27, 243, 39, 199, 23, 253, 40, 200, 24, 240, 36, 196, 20, 254},
    {171, 107, 155, 91, 167, 103, 151, 87, 168, 104, 152, 88, 164, 100, 148, 84},
};

// Entry k of the generated 4x4 matrix: the bits of k / 4 and k mod 4
// interleaved, two output bits per step.
uint8_t GeneratedBayer(int k) {
    unsigned a = static_cast<unsigned>(k) / 4, b = static_cast<unsigned>(k) % 4, v = 0;
    for (int i = 0; i < 4; i++) {
        v = ((v * 2 + ((a & 1) ^ (b & 1))) * 2) + (b & 1);
        a >>= 1;
        b >>= 1;
    }
    return static_cast<uint8_t>(v);
}

// Whether `level` prints white at (x, y) under ordered method 1, 7, 8 or 9.
bool OrderedWhite(int method, int level, uint32_t x, uint32_t y) {
    switch (method) {
        case 1: {
            const int d = level * 16 / 255;
            return d / 16 + (kM4[y % 4][x % 4] < d % 16 ? 1 : 0) != 0;
        }
        case 7:
            return level > GeneratedBayer(static_cast<int>((x % 4) + 4 * (y % 4)));
        case 8: {
            const int q = level >> 2;
            return q != 0 && q >= kM8[x & 7][y & 7];
        }
        default:
            return level > kM16[x & 15][y & 15];
    }
}

// Rows of limits for one method: limits[r][x] is the highest level that prints
// black at column x in rows y with y mod period = r.
std::vector<std::vector<uint8_t>> OrderedLimits(int method, uint32_t width) {
    const uint32_t period = method == 9 ? 16 : method == 8 ? 8 : 4;
    std::vector<std::vector<uint8_t>> limits(period, std::vector<uint8_t>(width));
    for (uint32_t r = 0; r < period; r++) {
        uint8_t cell[16];
        for (uint32_t c = 0; c < period; c++) {
            int blackMax = 0;
            for (int level = 0; level < 256; level++)
                if (!OrderedWhite(method, level, c, r))
                    blackMax = level;
            cell[c] = static_cast<uint8_t>(blackMax);
        }
        for (uint32_t x = 0; x < width; x++)
            limits[r][x] = cell[x % period];
    }
    return limits;
}

void OrderedRows(int method, const CxImage& gray, CxImage& result) {
    const uint32_t width = gray.GetWidth();
    const uint32_t height = gray.GetHeight();
    const std::vector<std::vector<uint8_t>> limits = OrderedLimits(method, width);
    std::vector<uint8_t> scratch(gray.GetBpp() == 8 ? 0 : width);
    for (uint32_t y = 0; y < height; y++)
        CxImageRows::PackAbove(CxImageRows::GrayRow(gray, y, scratch.data()), limits[y % limits.size()].data(), width,
                               result.GetBits(y));
}

}  // namespace

bool CxImage::Halftone(void (*fill)(CxImage& gray, CxImage& bw, const void* context), const void* context) {
    if (!bitmapBlock)
        return false;
    if (header.biBitCount == 1)
        return true;
    GrayScale();

    CxImage bw(0);
    bw.CopyInfo(*this);
    if (!bw.Create(GetWidth(), GetHeight(), 1, info.imageType)) {
        SetLastError(bw.GetLastError());
        return false;
    }
    fill(*this, bw, context);
    bw.SetPaletteColor(0, 0, 0, 0, 0);
    bw.SetPaletteColor(1, 255, 255, 255, 0);
    AlphaHandOver(bw);
    Transfer(bw);
    return true;
}

bool CxImage::Dither(int32_t method) {
    return Halftone(
        [](CxImage& gray, CxImage& bw, const void* context) {
            const int32_t m = *static_cast<const int32_t*>(context);
            // Compared unsigned: negative numbers fall back to Floyd-Steinberg too.
            switch (static_cast<uint32_t>(m)) {
                case 1:
                case 7:
                case 8:
                case 9:
                    OrderedRows(m, gray, bw);
                    return;
                default:
                    break;
            }
            // The levels are diffused in place: in the image itself when it
            // is gray, else (a failed conversion) in a copy of the indices.
            const int width = static_cast<int>(gray.GetWidth()), height = static_cast<int>(gray.GetHeight());
            std::vector<uint8_t> copy;
            size_t stride = 0;
            const GrayPlane plane = {CxImageRows::GrayLevels(gray, copy, stride), stride};
            switch (static_cast<uint32_t>(m)) {
                case 2:
                    Diffuse<Burkes>(plane, width, height, bw);
                    break;
                case 3:
                    Diffuse<Stucki>(plane, width, height, bw);
                    break;
                case 4:
                    Diffuse<JarvisJudiceNinke>(plane, width, height, bw);
                    break;
                case 5:
                    Diffuse<Sierra>(plane, width, height, bw);
                    break;
                case 6:
                    Diffuse<StevensonArce>(plane, width, height, bw);
                    break;
                default:
                    Diffuse<FloydSteinberg>(plane, width, height, bw);
                    break;
            }
        },
        &method);
}
