// Edge-keeping halftoning: hard edges thresholded, everything else diffused.
//
// A label picture scaled by CUPS (300 to 203 dpi, say) leaves one gray column
// along every bar edge. Error diffusion turns such a column into a dotted line
// beside the bar, and scanners misread the widths. Here a pixel is an edge
// pixel where its 3x3 neighbourhood spans at least kEdgeRange gray levels,
// or where its 5x5 neighbourhood holds both a dark and a light level: it
// prints black at or below 128, white above, takes no error and passes none,
// so a column of equal gray pixels along an edge prints as one straight line.
// The 3x3 range catches narrow bars and spaces that never reach black or
// white; the 5x5 test catches the outer column of an edge spread over two
// pixels (Poppler's anti-aliasing, a 2:1 scale), whose 3x3 range is small.
// All other pixels take Burkes error diffusion; error pushed into an edge
// pixel is dropped rather than printed as a stray dot.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/CxImage.h"
#include "image/CxImageRows.h"

namespace {

// Gray range over a 3x3 window from which a pixel is an edge, and the levels
// a 5x5 window must reach at both ends. Grain and smooth shading in
// photographs stay well below either; anti-aliased text and scaled bar edges
// (a black-to-white step spread over one or two pixels) reach them.
constexpr int kEdgeRange = 96;
constexpr int kDark = 64, kLight = 192;
constexpr int kWindowReach = 2;  // pixels the wide window reaches each way
constexpr int kWindowRows = 2 * kWindowReach + 1;

// Errors are kept in 1/32 of a gray level, so that dividing them by the
// weights' sum with a shift (rounding down) costs under 1/32 level per push
// instead of biasing the tone. Errors stay within +-128 levels and the pushes
// waiting for a pixel within +-80, so every sum fits 16 bits.
constexpr int kScale = 32;
constexpr int kWhite = 255 * kScale;
constexpr int kMid = 128 * kScale;

// Burkes: weights 8 4 to the right in the row, 2 4 8 4 2 in the row below.
constexpr int kRight1 = 8, kRight2 = 4, kBelowFar = 2, kBelowNear = 4, kBelow = 8;
constexpr int kWeightShift = 5;
static_assert(kRight1 + kRight2 + 2 * (kBelowFar + kBelowNear) + kBelow == 1 << kWeightShift,
              "the weights share out the whole error, and the shift divides by their sum");
constexpr int kReach = 2;  // columns a push reaches left or right

// error * weight >> kWeightShift as one shift: the same floor, and no
// product to overflow 16 bits.
constexpr int ShiftFor(int weight) {
    int shift = kWeightShift;
    while (weight > 1) {
        weight >>= 1;
        shift--;
    }
    return shift;
}
constexpr bool IsPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }
static_assert(IsPowerOfTwo(kRight1) && IsPowerOfTwo(kRight2) && IsPowerOfTwo(kBelowFar) && IsPowerOfTwo(kBelowNear) &&
                  IsPowerOfTwo(kBelow),
              "each weight is applied as a shift");

// What is known of a pixel before diffusion: it is diffused, or it is an
// edge printing black or white. Bit 1 marks an edge, bit 0 its colour.
constexpr uint8_t kEdgeBlack = 2, kEdgeWhite = 3;

typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint8_t Bytes8 __attribute__((vector_size(8)));
typedef int16_t Lanes __attribute__((vector_size(16)));
constexpr int kLanes = 8;

// Lane shuffle of two vectors: GCC takes the indices as a mask vector,
// clang as constants.
#if defined(__clang__)
#define SHUFFLE2(Mask, a, b, ...) __builtin_shufflevector(a, b, __VA_ARGS__)
#else
#define SHUFFLE2(Mask, a, b, ...) __builtin_shuffle(a, b, Mask{__VA_ARGS__})
#endif

template <class V>
inline V Load(const void* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
inline void Store(void* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

inline Bytes16 Min(Bytes16 a, Bytes16 b) { return a < b ? a : b; }
inline Bytes16 Max(Bytes16 a, Bytes16 b) { return a > b ? a : b; }
inline Lanes Splat(int v) { return Lanes{} + static_cast<int16_t>(v); }

// The spans of a row, the ends repeated: smallest and largest level of
// x - 1 .. x + 1 and of x - 2 .. x + 2.
struct Spans {
    uint8_t *lo, *hi, *wideLo, *wideHi;
};

void RowSpan(const uint8_t* levels, int width, const Spans& out) {
    static_assert(kWindowReach == 2, "the vector loop reads two levels each way");
    auto at = [&](int x) { return levels[std::clamp(x, 0, width - 1)]; };
    auto one = [&](int x) {
        const uint8_t a = at(x - 2), b = at(x - 1), c = at(x), d = at(x + 1), e = at(x + 2);
        out.lo[x] = std::min(b, std::min(c, d));
        out.hi[x] = std::max(b, std::max(c, d));
        out.wideLo[x] = std::min(out.lo[x], std::min(a, e));
        out.wideHi[x] = std::max(out.hi[x], std::max(a, e));
    };
    int x = 0;
    for (; x < std::min(kWindowReach, width); x++)
        one(x);
    for (; x + 16 + kWindowReach <= width; x += 16) {
        const Bytes16 a = Load<Bytes16>(levels + x - 2), b = Load<Bytes16>(levels + x - 1),
                      c = Load<Bytes16>(levels + x), d = Load<Bytes16>(levels + x + 1),
                      e = Load<Bytes16>(levels + x + 2);
        const Bytes16 l = Min(b, Min(c, d)), h = Max(b, Max(c, d));
        Store(out.lo + x, l);
        Store(out.hi + x, h);
        Store(out.wideLo + x, Min(l, Min(a, e)));
        Store(out.wideHi + x, Max(h, Max(a, e)));
    }
    for (; x < width; x++)
        one(x);
}

// The code of each pixel of a row (0, kEdgeBlack or kEdgeWhite) from its
// level and the spans of the rows y - 2 .. y + 2 (row[kWindowReach] is y's).
void EdgeCodes(const Spans row[kWindowRows], const uint8_t* levels, int width, uint8_t* codes) {
    const Spans* near = row + kWindowReach - 1;  // rows y - 1 .. y + 1
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        Bytes16 l = Load<Bytes16>(near[0].lo + x), h = Load<Bytes16>(near[0].hi + x);
        for (int r = 1; r < 3; r++) {
            l = Min(l, Load<Bytes16>(near[r].lo + x));
            h = Max(h, Load<Bytes16>(near[r].hi + x));
        }
        Bytes16 wl = Load<Bytes16>(row[0].wideLo + x), wh = Load<Bytes16>(row[0].wideHi + x);
        for (int r = 1; r < kWindowRows; r++) {
            wl = Min(wl, Load<Bytes16>(row[r].wideLo + x));
            wh = Max(wh, Load<Bytes16>(row[r].wideHi + x));
        }
        const Bytes16 edge = reinterpret_cast<Bytes16>((h - l >= kEdgeRange) | ((wl <= kDark) & (wh >= kLight)));
        const Bytes16 white = reinterpret_cast<Bytes16>(Load<Bytes16>(levels + x) > 128);
        Store(codes + x, edge & (kEdgeBlack | (white & 1)));
    }
    for (; x < width; x++) {
        int l = 255, h = 0, wl = 255, wh = 0;
        for (int r = 0; r < 3; r++) {
            l = std::min<int>(l, near[r].lo[x]);
            h = std::max<int>(h, near[r].hi[x]);
        }
        for (int r = 0; r < kWindowRows; r++) {
            wl = std::min<int>(wl, row[r].wideLo[x]);
            wh = std::max<int>(wh, row[r].wideHi[x]);
        }
        const bool edge = h - l >= kEdgeRange || (wl <= kDark && wh >= kLight);
        codes[x] = !edge ? 0 : levels[x] > 128 ? kEdgeWhite : kEdgeBlack;
    }
}

// The cell of an edge pixel: far below any level plus pushes (those stay
// above -80 levels), yet far enough from the 16-bit limit that adding pushes
// to it cannot wrap.
constexpr int16_t kEdgeCell = -512 * kScale;

// The cells a row starts from: level * kScale plus the pushes from the row
// above (`above`), or kEdgeCell.
void RowCells(const uint8_t* levels, const uint8_t* codes, const int16_t* above, int width, int16_t* cells) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const Lanes level = __builtin_convertvector(Load<Bytes8>(levels + x), Lanes);
        const Lanes edge = __builtin_convertvector(Load<Bytes8>(codes + x), Lanes) != 0;
        const Lanes cell = level * static_cast<int16_t>(kScale) + Load<Lanes>(above + x);
        Store(cells + x, (edge & Splat(kEdgeCell)) | (~edge & cell));
    }
    for (; x < width; x++)
        cells[x] = codes[x] ? kEdgeCell : static_cast<int16_t>(levels[x] * kScale + above[x]);
}

// Eight rows of eight cells as eight vectors of columns: lane k of out[i] is
// r[k][i]. Interleaves single cells, then pairs, then quadruples of rows.
inline void Transpose(const int16_t* const r[kLanes], Lanes out[kLanes]) {
    Lanes a[kLanes], b[kLanes];
    for (int i = 0; i < kLanes; i += 2) {
        const Lanes p = Load<Lanes>(r[i]), q = Load<Lanes>(r[i + 1]);
        a[i] = SHUFFLE2(Lanes, p, q, 0, 8, 1, 9, 2, 10, 3, 11);
        a[i + 1] = SHUFFLE2(Lanes, p, q, 4, 12, 5, 13, 6, 14, 7, 15);
    }
    for (int i = 0; i < kLanes; i += 4)
        for (int j = 0; j < 2; j++) {
            b[i + 2 * j] = SHUFFLE2(Lanes, a[i + j], a[i + j + 2], 0, 1, 8, 9, 2, 3, 10, 11);
            b[i + 2 * j + 1] = SHUFFLE2(Lanes, a[i + j], a[i + j + 2], 4, 5, 12, 13, 6, 7, 14, 15);
        }
    for (int i = 0; i < 4; i++) {
        out[2 * i] = SHUFFLE2(Lanes, b[i], b[i + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        out[2 * i + 1] = SHUFFLE2(Lanes, b[i], b[i + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

// One bit per lane, lane k in bit k, from -1 / 0 lanes.
inline uint8_t LaneBits(Lanes flags) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_packs_epi16(reinterpret_cast<__m128i>(flags), _mm_setzero_si128());
    return static_cast<uint8_t>(_mm_movemask_epi8(bytes));
#else
    const Bytes8 narrow = __builtin_convertvector(flags & Splat(1), Bytes8);
    uint64_t word;
    std::memcpy(&word, &narrow, sizeof word);
    return static_cast<uint8_t>((word * 0x0102040810204080ull) >> 56);
#endif
}

// Lane k to lane k + 1: a row's pushes into the row below.
inline Lanes ToRowBelow(Lanes v) { return SHUFFLE2(Lanes, v, Lanes{}, 8, 0, 1, 2, 3, 4, 5, 6); }

// The pushes of a row with errors `error` into the row below; error[-2],
// error[-1], error[width] and error[width + 1] must be readable and zero.
void PushesBelow(const int16_t* error, int width, int16_t* below) {
    auto sum = [](auto farLeft, auto left, auto at, auto right, auto farRight) {
        return (farLeft >> ShiftFor(kBelowFar)) + (left >> ShiftFor(kBelowNear)) + (at >> ShiftFor(kBelow)) +
               (right >> ShiftFor(kBelowNear)) + (farRight >> ShiftFor(kBelowFar));
    };
    int x = 0;
    for (; x + 8 <= width; x += 8)
        Store(below + x, sum(Load<Lanes>(error + x - 2), Load<Lanes>(error + x - 1), Load<Lanes>(error + x),
                             Load<Lanes>(error + x + 1), Load<Lanes>(error + x + 2)));
    for (; x < width; x++)
        below[x] = static_cast<int16_t>(sum(error[x - 2], error[x - 1], error[x], error[x + 1], error[x + 2]));
}

// Eight rows are halftoned together, one per 16-bit lane, as a wavefront: at
// step x the lane of row y0 + k works on pixel x - k * kLag. A row's pushes
// into the row below reach kReach columns ahead, so with kLag > kReach they
// land on steps still to come; the extra column keeps them two steps ahead,
// off the chain from one step to the next. The pushes are plain sums (the
// clamp comes after all of them), so their order does not matter and the
// output is that of a plain scan.
constexpr int kLag = kReach + 2;
constexpr int kLead = (kLanes - 1) * kLag;  // steps before the last lane starts
constexpr int kPending = kLag + kReach;     // steps ahead a push can land

// The halftone of `height` rows of gray levels (row y at levels + y * stride)
// into the 1-bit rows of `result`.
void EdgeKeepingRows(const uint8_t* levels, size_t stride, int width, int height, CxImage& result) {
    const size_t w = static_cast<size_t>(width);
    // Row spans of rows y - 2 .. y + 2 (ends repeated), slot r % 5 for row r.
    std::vector<uint8_t> spanBytes(4 * kWindowRows * w);
    auto spans = [&](int r) {
        uint8_t* p = &spanBytes[std::clamp(r, 0, height - 1) % kWindowRows * 4 * w];
        return Spans{p, p + w, p + 2 * w, p + 3 * w};
    };
    std::vector<uint8_t> codes(kLanes * w);
    // Steps of a band: enough for the last lane to finish its row and for the
    // first lane to run kReach past its end, so that `last` covers the pushes
    // of the band's bottom row. Cell rows start kLead steps early and run to
    // the last step; outside the image they hold kEdgeCell, which takes and
    // passes nothing.
    const int steps = (width + kLead + kReach + 7) & ~7;
    const size_t rowCells = static_cast<size_t>(kLead + steps);
    std::vector<int16_t> cells(kLanes * rowCells, kEdgeCell);
    auto cellRow = [&](int k) { return &cells[k * rowCells + kLead]; };
    // Pushes from the row above the band into its top row; none for the
    // others, whose pushes from above arrive in the lanes.
    std::vector<int16_t> above(w), none(w);
    std::vector<int16_t> last(static_cast<size_t>(steps));        // errors of the band's bottom row
    std::vector<uint8_t> whites(static_cast<size_t>(steps) + 8);  // lane k in bit k

    for (int r = 0; r < std::min(kWindowReach, height); r++)
        RowSpan(levels + static_cast<size_t>(r) * stride, width, spans(r));
    for (int y0 = 0; y0 < height; y0 += kLanes) {
        const int rows = std::min(kLanes, height - y0);
        for (int k = 0; k < rows; k++) {
            const int y = y0 + k;
            const uint8_t* src = levels + static_cast<size_t>(y) * stride;
            if (y + kWindowReach < height)
                RowSpan(src + kWindowReach * stride, width, spans(y + kWindowReach));
            Spans window[kWindowRows];
            for (int r = 0; r < kWindowRows; r++)
                window[r] = spans(y - kWindowReach + r);
            EdgeCodes(window, src, width, &codes[k * w]);
            RowCells(src, &codes[k * w], k ? none.data() : above.data(), width, cellRow(k));
        }
        for (int k = rows; k < kLanes; k++)
            std::fill_n(cellRow(k), w, kEdgeCell);

        // pending[i]: pushes from the row above for step x + i. A row's own
        // pushes into x: `near` from x - 1, `far` from x - 2 (and `farNext`,
        // from x - 1 for x + 1).
        Lanes pending[kPending] = {};
        Lanes near = {}, far = {}, farNext = {};
        for (int x0 = 0; x0 < steps; x0 += 8) {
            const int16_t* r[kLanes];
            for (int k = 0; k < kLanes; k++)
                r[k] = cellRow(k) + x0 - k * kLag;
            Lanes column[kLanes];
            Transpose(r, column);
            uint8_t bits[8];
#pragma GCC unroll 8
            for (int i = 0; i < 8; i++) {
                const Lanes edge = column[i] == Splat(kEdgeCell);
                // An edge cell's error is dropped below and its colour comes
                // from its code.
                Lanes level = column[i] + pending[0];
                level = level < 0 ? Splat(0) : level;
                level = level > kWhite ? Splat(kWhite) : level;
                // `far` first: it is ready a step before `near`.
                const Lanes v = (level + far) + near;
                const Lanes white = v > kMid;
                const Lanes error = (v - (white & kWhite)) & ~edge;
                bits[i] = LaneBits(white);
                last[static_cast<size_t>(x0 + i)] = error[kLanes - 1];
                far = farNext;
                farNext = error >> ShiftFor(kRight2);
                near = error >> ShiftFor(kRight1);
                const Lanes below = ToRowBelow(error);
#pragma GCC unroll 8
                for (int p = 0; p + 1 < kPending; p++)
                    pending[p] = pending[p + 1];
                pending[kPending - 1] = Lanes{};
                // Pixel c - 2 .. c + 2 of the row below is worked on at step
                // x + kLag - 2 .. x + kLag + 2, now pending[kLag - 3 ..].
                pending[kLag - 3] += below >> ShiftFor(kBelowFar);
                pending[kLag - 2] += below >> ShiftFor(kBelowNear);
                pending[kLag - 1] += below >> ShiftFor(kBelow);
                pending[kLag] += below >> ShiftFor(kBelowNear);
                pending[kLag + 1] += below >> ShiftFor(kBelowFar);
            }
            std::memcpy(&whites[static_cast<size_t>(x0)], bits, sizeof bits);
        }

        // Bit k of whites[c + k * kLag] is pixel c of row y0 + k, unless the
        // pixel's code gives it.
        for (int k = 0; k < rows; k++) {
            const uint8_t* src = &whites[static_cast<size_t>(k * kLag)];
            const uint8_t* code = &codes[k * w];
            uint8_t* out = result.GetBits(static_cast<uint32_t>(y0 + k));
            int c = 0;
            for (; c + 8 <= width; c += 8) {
                const uint64_t diffused = Load<uint64_t>(src + c) >> k;
                const uint64_t known = Load<uint64_t>(code + c);
                *out++ = CxImageRows::PackEightFlags(((diffused & ~(known >> 1)) | known) & 0x0101010101010101ull);
            }
            if (c < width) {
                uint8_t byte = 0;
                for (int i = 0; c < width; c++, i++) {
                    const int white = code[c] ? code[c] & 1 : (src[c] >> k) & 1;
                    byte |= static_cast<uint8_t>(white << (7 - i));
                }
                *out = byte;
            }
        }

        // The bottom row's pushes into the next band's top row, from its
        // errors in `last`, which run from kReach columns before the row's
        // start to kReach after its end.
        if (y0 + kLanes < height)
            PushesBelow(&last[kLead], width, above.data());
    }
}

}  // namespace

bool CxImage::DitherEdgeKeeping() {
    return Halftone(
        [](CxImage& gray, CxImage& bw, const void*) {
            // The levels are read from the image itself when it is gray, else
            // (a failed conversion) from a copy of the indices, as Dither does.
            std::vector<uint8_t> copy;
            size_t stride = 0;
            const uint8_t* levels = CxImageRows::GrayLevels(gray, copy, stride);
            EdgeKeepingRows(levels, stride, static_cast<int>(gray.GetWidth()), static_cast<int>(gray.GetHeight()), bw);
        },
        nullptr);
}
