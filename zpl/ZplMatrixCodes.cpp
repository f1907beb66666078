#include "zpl/ZplMatrixCodes.h"

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "marks/QrSymbol.h"
#include "zpl/ZplCode128.h"

namespace zpl {

namespace {

const size_t kMaxData = 3000;  // more than the largest QR code holds in bytes

using Symbol = std::unique_ptr<zint_symbol, void (*)(zint_symbol*)>;

Symbol NewSymbol(int symbology) {
    Symbol s(ZBarcode_Create(), ZBarcode_Delete);
    if (s) {
        s->symbology = symbology;
        s->input_mode = DATA_MODE;
    }
    return s;
}

bool TooLong(const std::string& data, const char* name, std::string& problem) {
    if (data.size() <= kMaxData)
        return false;
    problem = std::string(name) + " data of " + std::to_string(data.size()) + " bytes is longer than a label can hold";
    return true;
}

// libzint keeps a row's modules eight to a byte, the first in the low bit.
bool ModuleSet(const zint_symbol& s, int row, int column) {
    return s.encoded_data[row][column >> 3] >> (column & 7) & 1;
}

bool Encode(zint_symbol& s, const std::string& data, const char* name, std::string& problem) {
    const int result = ZBarcode_Encode(&s, reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
    if (result >= ZINT_ERROR) {
        problem = std::string(name) + " cannot encode the data: " + s.errtxt;
        return false;
    }
    if (s.rows <= 0 || s.width <= 0 || s.rows > 200 || s.width > 144 * 8) {
        problem = std::string(name) + " came out empty";
        return false;
    }
    return true;
}

void Matrix(const zint_symbol& s, const char* name, MatrixSymbol& out) {
    out.modules = ZplBitmap(s.width, s.rows);
    for (int y = 0; y < s.rows; y++) {
        uint8_t* row = out.modules.Row(y);
        for (int x = 0; x < s.width; x++)
            if (ModuleSet(s, y, x))
                row[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
    out.summary = std::string(name) + " " + std::to_string(s.width) + "x" + std::to_string(s.rows);
}

// ZPL's QR input modes in manual mode keep only what the mode can hold
// (as the reference viewer does: a '|' in alphanumeric data goes).
std::string ManualQrData(const std::string& data) {
    static const char kAlnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    std::string out;
    for (size_t i = 0; i < data.size();) {
        const char mode = char(toupper((unsigned char)data[i++]));
        if (mode == 'B') {
            size_t count = 0, digits = 0;
            while (digits < 4 && i < data.size() && isdigit((unsigned char)data[i]))
                count = count * 10 + size_t(data[i++] - '0'), digits++;
            count = std::min(count, data.size() - i);
            out += data.substr(i, count);
            i += count;
            if (i < data.size() && data[i] == ',')
                i++;
            continue;
        }
        for (; i < data.size(); i++) {
            const char c = data[i];
            if (mode == 'N' ? isdigit((unsigned char)c) != 0 : mode == 'A' ? c && strchr(kAlnum, c) != nullptr : true)
                out += c;
        }
    }
    return out;
}

}  // namespace

bool EncodeQr(const std::string& data, char ecDefault, int mask, MatrixSymbol& out, std::string& problem) {
    if (TooLong(data, "QR", problem))
        return false;
    static const char kLevels[] = "LMQH";  // QrSymbol's levels in order
    auto level = [](char c) {
        const char* at = c ? strchr(kLevels, toupper((unsigned char)c)) : nullptr;
        return at ? int(at - kLevels) + QrSymbol::kLevelL : 0;
    };
    int ec = data.empty() ? 0 : level(data[0]);
    if (!ec)
        ec = level(ecDefault) ? level(ecDefault) : QrSymbol::kLevelH;
    // Error correction, input mode and a separator come first, whatever
    // they are.
    const bool manual = data.size() > 1 && toupper((unsigned char)data[1]) == 'M';
    std::string text = data.size() > 3 ? data.substr(3) : "";
    if (manual)
        text = ManualQrData(text);
    if (text.empty()) {
        problem = "QR code has no data after its error correction and input mode";
        return false;
    }
    QrSymbol symbol;
    if (!symbol.Encode(text, QrSymbol::Level(ec), mask, problem))
        return false;
    // The strongest error correction the same size holds, as the reference
    // viewer gives ("MA," data comes out at Q when Q fits).
    for (int tried = QrSymbol::kLevelH; tried > ec; tried--) {
        QrSymbol stronger;
        std::string ignored;
        if (stronger.Encode(text, QrSymbol::Level(tried), mask, ignored) && stronger.Size() == symbol.Size()) {
            symbol = stronger;
            break;
        }
    }
    const int size = symbol.Size();
    out.modules = ZplBitmap(size, size);
    for (int y = 0; y < size; y++) {
        const uint8_t* modules = symbol.Row(y);
        uint8_t* row = out.modules.Row(y);
        for (int x = 0; x < size; x++)
            row[x >> 3] |= uint8_t(modules[x] << (7 - (x & 7)));
    }
    out.summary = "QR " + std::to_string(size) + "x" + std::to_string(size);
    return true;
}

namespace {

// ^BX data with ZPL's escapes resolved; FNC1 as GS, `gs1` when one leads.
std::string DataMatrixText(const std::string& data, char escape, bool& gs1) {
    std::string out;
    gs1 = false;
    for (size_t i = 0; i < data.size(); i++) {
        if (!escape || data[i] != escape || i + 1 >= data.size()) {
            out += data[i];
            continue;
        }
        const char code = data[i + 1];
        if (code == '1') {
            if (i == 0)
                gs1 = true;
            else
                out += '\x1d';
            i++;
        } else if ((code == 'd' || code == 'D') && i + 4 < data.size() && isdigit((unsigned char)data[i + 2]) &&
                   isdigit((unsigned char)data[i + 3]) && isdigit((unsigned char)data[i + 4])) {
            out += char(std::stoi(data.substr(i + 2, 3)) & 0xFF);
            i += 4;
        } else if (code == 'X' && i + 2 < data.size() && data[i + 2] >= '@' && data[i + 2] <= '_') {
            out += char(data[i + 2] - '@');
            i += 2;
        } else if (code == escape) {
            out += escape;
            i++;
        } else {
            out += data[i];
        }
    }
    return out;
}

// libzint's Data Matrix sizes (option_2): 1-24 square, 25-30 rectangular.
int DataMatrixSize(int rows, int columns) {
    static const int kSquare[] = {10, 12, 14, 16, 18, 20, 22, 24, 26,  32,  36,  40,
                                  44, 48, 52, 64, 72, 80, 88, 96, 104, 120, 132, 144};
    static const int kRect[][2] = {{8, 18}, {8, 32}, {12, 26}, {12, 36}, {16, 36}, {16, 48}};
    for (int i = 0; i < 24; i++)
        if (rows == kSquare[i] && columns == kSquare[i])
            return i + 1;
    for (int i = 0; i < 6; i++)
        if (rows == kRect[i][0] && columns == kRect[i][1])
            return 25 + i;
    return 0;
}

}  // namespace

bool EncodeDataMatrix(const std::string& data, char escape, int rows, int columns, bool rectangle, MatrixSymbol& out,
                      std::string& problem) {
    if (TooLong(data, "Data Matrix", problem))
        return false;
    bool gs1 = false;
    std::string text = DataMatrixText(data, escape, gs1);
    Symbol s = NewSymbol(BARCODE_DATAMATRIX);
    if (!s) {
        problem = "Data Matrix: out of memory";
        return false;
    }
    if (gs1) {
        // libzint takes GS1 data as [AI]data and puts FNC1 after the
        // variable-length fields itself.
        std::vector<Gs1Element> elements;
        if (!SplitGs1(text, '\x1d', elements, problem))
            return false;
        text.clear();
        for (const Gs1Element& e : elements)
            text += "[" + e.ai + "]" + e.value;
        s->input_mode = GS1_MODE | GS1NOCHECK_MODE;
    }
    if (text.empty()) {
        problem = "Data Matrix has no data";
        return false;
    }
    s->option_2 = DataMatrixSize(rows, columns);
    s->option_3 = rectangle ? 0 : DM_SQUARE;
    if (!Encode(*s, text, "Data Matrix", problem))
        return false;
    Matrix(*s, "Data Matrix", out);
    return true;
}

bool EncodePdf417(const std::string& data, int security, int columns, int rows, bool truncate, MatrixSymbol& out,
                  std::string& problem) {
    if (TooLong(data, "PDF417", problem))
        return false;
    if (data.empty()) {
        problem = "PDF417 has no data";
        return false;
    }
    Symbol s = NewSymbol(truncate ? BARCODE_PDF417COMP : BARCODE_PDF417);
    if (!s) {
        problem = "PDF417: out of memory";
        return false;
    }
    s->option_1 = security >= 0 && security <= 8 ? security : -1;
    s->option_2 = columns >= 1 && columns <= 30 ? columns : 0;
    s->option_3 = rows >= 3 && rows <= 90 ? rows : 0;
    if (!Encode(*s, data, "PDF417", problem))
        return false;
    Matrix(*s, "PDF417", out);
    return true;
}

namespace {

// Aztec's layers and data words, from the mode message around the bull's
// eye (compact: 2 + 6 bits, full range: 5 + 11 bits, most significant first).
struct AztecMode {
    bool compact = true;
    int layers = 0, dataWords = 0;
};

bool ReadAztecMode(const ZplBitmap& m, AztecMode& mode) {
    const int size = m.Width(), c = size / 2;
    if (size < 15 || m.Height() != size)
        return false;
    auto ring = [&](int r, bool dark) {
        for (int i = -r; i <= r; i++)
            if (m.Dot(c + i, c - r) != dark || m.Dot(c + i, c + r) != dark || m.Dot(c - r, c + i) != dark ||
                m.Dot(c + r, c + i) != dark)
                return false;
        return true;
    };
    mode.compact = !(size >= 19 && ring(5, false) && ring(6, true));
    std::vector<int> bits;
    const int r = mode.compact ? 5 : 7, span = mode.compact ? 3 : 5;
    auto side = [&](int x0, int y0, int dx, int dy) {
        for (int i = 0; i <= 2 * span; i++) {
            const int x = x0 + dx * i, y = y0 + dy * i;
            if (!mode.compact && (dx ? x == c : y == c))
                continue;  // the reference grid's centre line
            bits.push_back(m.Dot(x, y));
        }
    };
    side(c - span, c - r, 1, 0);
    side(c + r, c - span, 0, 1);
    side(c + span, c + r, -1, 0);
    side(c - r, c + span, 0, -1);
    auto number = [&](int from, int count) {
        int v = 0;
        for (int i = from; i < from + count; i++)
            v = v * 2 + bits[i];
        return v;
    };
    mode.layers = number(0, mode.compact ? 2 : 5) + 1;
    mode.dataWords = number(mode.compact ? 2 : 5, mode.compact ? 6 : 11) + 1;
    return true;
}

int AztecWordBits(int layers) { return layers <= 2 ? 6 : layers <= 8 ? 8 : layers <= 22 ? 10 : 12; }

}  // namespace

bool EncodeAztec(const std::string& data, int ecSize, MatrixSymbol& out, std::string& problem) {
    if (TooLong(data, "Aztec", problem))
        return false;
    if (data.empty()) {
        problem = "Aztec has no data";
        return false;
    }
    auto encode = [&](int symbology, int level, int size) {
        Symbol s = NewSymbol(symbology);
        if (!s) {
            problem = "Aztec: out of memory";
            return false;
        }
        s->option_1 = level;
        s->option_2 = size;
        if (!Encode(*s, data, "Aztec", problem))
            return false;
        Matrix(*s, "Aztec", out);
        return true;
    };
    if (ecSize == 300)
        return encode(BARCODE_AZRUNE, -1, 0);
    if (ecSize >= 101 && ecSize <= 104)
        return encode(BARCODE_AZTEC, -1, ecSize - 100);
    if (ecSize >= 201 && ecSize <= 232)
        return encode(BARCODE_AZTEC, -1, ecSize - 200 + 4);
    if (!encode(BARCODE_AZTEC, -1, 0))
        return false;
    if (ecSize < 1 || ecSize > 99)
        return true;
    // A share of check words: the smallest symbol where the data, counted in
    // that symbol's word size, leaves at least that share.
    AztecMode mode;
    if (!ReadAztecMode(out.modules, mode))
        return true;
    // The last word may hold padding: count the fewest bits it could be.
    const int dataBits = (mode.dataWords - 1) * AztecWordBits(mode.layers) + 1;
    struct Size {
        int width, option;
        bool compact;
        int layers;
    };
    std::vector<Size> sizes;
    for (int l = 1; l <= 4; l++)
        sizes.push_back({11 + 4 * l, l, true, l});
    for (int l = 1; l <= 32; l++) {
        const int base = 15 + 4 * l;  // and a reference grid line each 16 modules from the centre
        sizes.push_back({base + 2 * ((base / 2 - 1) / 15), l + 4, false, l});
    }
    std::stable_sort(sizes.begin(), sizes.end(), [](const Size& a, const Size& b) { return a.width < b.width; });
    const MatrixSymbol first = out;
    for (const Size& z : sizes) {
        const int wordBits = AztecWordBits(z.layers);
        const int total = (z.compact ? 88 + 16 * z.layers : 112 + 16 * z.layers) * z.layers / wordBits;
        const int words = (dataBits + wordBits - 1) / wordBits;
        if (words > total || (total - words) * 100 < ecSize * total)
            continue;
        if (encode(BARCODE_AZTEC, -1, z.option))
            return true;
    }
    out = first;  // too much to ask: the usual error correction
    return true;
}

namespace {

// MaxiCode at 8 dots/mm as the reference viewer draws it: 30 hexagons a row
// 6.68 dots apart, odd rows shifted half a hexagon right, 33 rows 5.81
// dots apart, and the bull's eye's six circles at ISO's proportions (fitted
// to its picture: the same modules, 0.5 % of the dots differ).
const double kHexPitch = 6.68, kRowPitch = 5.8125;
const int kMaxiWidth = 200, kMaxiHeight = 193;
const int kHexRows[7][2] = {{2, 2}, {1, 4}, {0, 6}, {0, 6}, {0, 6}, {1, 4}, {2, 2}};  // start, width

void DrawMaxi(const zint_symbol& s, ZplBitmap& out) {
    out = ZplBitmap(kMaxiWidth, kMaxiHeight);
    for (int r = 0; r < s.rows && r < 33; r++)
        for (int c = 0; c < s.width && c < 30; c++) {
            if (!ModuleSet(s, r, c))
                continue;
            const int x = int(std::lround((c + (r & 1) * 0.5) * kHexPitch));
            const int y = int(std::floor(r * kRowPitch + 0.25));
            for (int k = 0; k < 7; k++)
                out.Fill(x + kHexRows[k][0], y + k, kHexRows[k][1], 1);
        }
    // The circles' radii over the outer one's (ISO/IEC 16023).
    static const double kRadii[6] = {0.132, 0.305, 0.481, 0.654, 0.827, 1.0};
    const double cx = 97.0, cy = 97.0, outer = 29.5;
    for (int y = int(cy - outer) - 1; y <= int(cy + outer) + 1; y++) {
        uint8_t* row = out.Row(y);
        for (int x = int(cx - outer) - 1; x <= int(cx + outer) + 1; x++) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / outer;
            int ring = 0;
            while (ring < 6 && d >= kRadii[ring])
                ring++;
            // Ring 0 is the light centre; odd rings are dark.
            if (ring < 6 && ring % 2 == 1)
                row[x >> 3] |= uint8_t(0x80 >> (x & 7));
            else if (ring < 6)
                row[x >> 3] &= uint8_t(~(0x80 >> (x & 7)));
        }
    }
}

}  // namespace

bool DrawMaxiCode(const std::string& data, int mode, int number, int total, ZplBitmap& out, std::string& summary,
                  std::string& problem) {
    if (TooLong(data, "MaxiCode", problem))
        return false;
    if (mode < 2 || mode > 6) {
        problem = "MaxiCode has modes 2 to 6, not " + std::to_string(mode);
        return false;
    }
    Symbol s = NewSymbol(BARCODE_MAXICODE);
    if (!s) {
        problem = "MaxiCode: out of memory";
        return false;
    }
    s->option_1 = mode;
    std::string secondary = data;
    if (mode == 2 || mode == 3) {
        // Class of service, country, postcode in ZPL; postcode, country,
        // class of service for libzint.
        const size_t postcode = mode == 2 ? 9 : 6;
        if (data.size() < 6 + postcode) {
            problem = "MaxiCode mode " + std::to_string(mode) + " starts with " + std::to_string(6 + postcode) +
                      " characters of class of service, country and postcode";
            return false;
        }
        std::string code = data.substr(6, postcode);
        if (mode == 2)
            code.erase(std::remove(code.begin(), code.end(), ' '), code.end());
        const std::string primary = code + data.substr(3, 3) + data.substr(0, 3);
        strncpy(s->primary, primary.c_str(), sizeof(s->primary) - 1);
        secondary = data.substr(6 + postcode);
    }
    if (total > 1 && total <= 8 && number >= 1 && number <= total) {
        s->structapp.index = number;
        s->structapp.count = total;
    }
    if (secondary.empty())
        secondary = " ";  // libzint wants some data; the reader shows none
    if (!Encode(*s, secondary, "MaxiCode", problem))
        return false;
    DrawMaxi(*s, out);
    summary = "MaxiCode mode " + std::to_string(mode);
    return true;
}

}  // namespace zpl
