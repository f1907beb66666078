// ^GF and ~DG data: ASCII hex with ZPL's run-length compression, :B64: and
// :Z64: with their CRC, or plain binary, decoded straight into the image's
// row bytes.
#include <zlib.h>

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "render/Crc16.h"
#include "zpl/ZplGraphics.h"

namespace zpl {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string WithoutSpaces(const std::string& data) {
    std::string s;
    s.reserve(data.size());
    for (char c : data)
        if (!IsSpace(c))
            s += c;
    return s;
}

// The image's bytes, rows one after another, as the decoders fill them.
struct Bytes {
    uint8_t* data;
    size_t size;
};

// The image's bytes as hex digits are written into them: a nibble cursor that
// runs across rows and stops at the end.
class NibbleWriter {
public:
    NibbleWriter(Bytes bytes, size_t rowBytes) : m_Bytes(bytes), m_RowNibbles(rowBytes * 2) {}

    bool Full() const { return m_Pos >= m_Bytes.size * 2; }
    size_t Pos() const { return m_Pos; }
    // Nibbles left in the row being written.
    size_t RowLeft() const { return m_RowNibbles - m_Pos % m_RowNibbles; }

    // `count` copies of the nibble `v`, across rows, whole bytes at a time.
    void Put(int v, size_t count) {
        const size_t end = std::min(m_Pos + count, m_Bytes.size * 2);
        if (m_Pos < end && (m_Pos & 1))
            PutOne(v);
        const size_t bytes = (end - m_Pos) / 2;
        std::memset(m_Bytes.data + m_Pos / 2, v * 0x11, bytes);
        m_Pos += bytes * 2;
        if (m_Pos < end)
            PutOne(v);
    }
    // `,` and `!`: the rest of the row white or black; a row just begun is
    // filled whole.
    void EndRow(uint8_t fill) {
        const size_t rowStart = m_Pos - m_Pos % m_RowNibbles;
        const size_t end = std::min(rowStart + m_RowNibbles, m_Bytes.size * 2);
        if (fill)
            Put(fill & 0xF, end - m_Pos);
        m_Pos = end;
    }
    // `:`: the rest of the row as the row above has it (white above the first).
    void RepeatRow() {
        const size_t rowStart = m_Pos - m_Pos % m_RowNibbles;
        if (rowStart == 0)
            return EndRow(0);
        const size_t end = std::min(rowStart + m_RowNibbles, m_Bytes.size * 2);
        if (m_Pos & 1)
            PutOne(m_Bytes.data[(m_Pos - m_RowNibbles) / 2] & 0xF);
        const size_t from = m_Pos / 2, to = (end + 1) / 2;
        std::memcpy(m_Bytes.data + from, m_Bytes.data + from - m_RowNibbles / 2, to - from);
        m_Pos = end;
    }

private:
    void PutOne(int v) {
        uint8_t& b = m_Bytes.data[m_Pos / 2];
        b = (m_Pos & 1) ? uint8_t((b & 0xF0) | v) : uint8_t((b & 0x0F) | v << 4);
        m_Pos++;
    }

    Bytes m_Bytes;
    size_t m_RowNibbles, m_Pos = 0;
};

bool DecodeHex(const std::string& data, size_t rowBytes, Bytes bytes, bool exact, std::string& problem) {
    NibbleWriter out(bytes, rowBytes);
    size_t repeat = 0, i = 0;
    for (; i < data.size() && !out.Full(); i++) {
        const char c = data[i];
        const int v = HexValue(c);
        if (v >= 0) {
            const size_t count = repeat ? repeat : 1;
            if (exact && count > out.RowLeft()) {
                problem = "row " + std::to_string(out.Pos() / (rowBytes * 2) + 1) + " of the graphic holds more than " +
                          std::to_string(rowBytes) + " bytes";
                return false;
            }
            out.Put(v, count);
            repeat = 0;
        } else if (c >= 'G' && c <= 'Y') {
            repeat += c - 'G' + 1;
        } else if (c >= 'g' && c <= 'z') {
            repeat += size_t(c - 'g' + 1) * 20;
        } else if (c == ',' || c == '!') {
            out.EndRow(c == '!' ? 0xF : 0);
            repeat = 0;
        } else if (c == ':') {
            out.RepeatRow();
            repeat = 0;
        } else if (!IsSpace(c)) {
            problem = std::string("graphic data holds '") + c + "', which is neither hex nor ZPL compression";
            return false;
        }
    }
    if (!exact)
        return true;
    if (!out.Full()) {
        problem = "graphic data ends after " + std::to_string(out.Pos() / 2) + " of its " + std::to_string(bytes.size) +
                  " bytes";
        return false;
    }
    if (i < data.size() || repeat) {
        problem = "graphic data goes on past its " + std::to_string(bytes.size) + " bytes";
        return false;
    }
    return true;
}

bool DecodeBase64(const std::string& text, std::vector<uint8_t>& out, std::string& problem) {
    out.reserve(text.size() / 4 * 3 + 3);
    uint32_t acc = 0;
    int bits = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] != '='; i++) {
        const char c = text[i];
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+' || c == '-')
            v = 62;
        else if (c == '/' || c == '_')
            v = 63;
        else {
            problem = std::string("base64 graphic data holds '") + c + "'";
            return false;
        }
        acc = (acc << 6 | uint32_t(v)) & 0xFFFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(uint8_t(acc >> bits));
        }
    }
    for (; i < text.size(); i++)
        if (text[i] != '=') {
            problem = "base64 graphic data goes on after its padding";
            return false;
        }
    return true;
}

// Inflates at most the image's bytes: whatever the stream holds past them is
// never produced, so a zlib bomb costs no more than the image.
bool Inflate(const std::vector<uint8_t>& in, Bytes bytes, bool exact, std::string& problem) {
    z_stream z{};
    if (inflateInit2(&z, 15 + 32) != Z_OK) {
        problem = "zlib could not start";
        return false;
    }
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = uInt(in.size());
    z.next_out = bytes.data;
    z.avail_out = uInt(bytes.size);
    int rc = Z_OK;
    while (rc == Z_OK && z.avail_out > 0 && z.avail_in > 0)
        rc = inflate(&z, Z_NO_FLUSH);
    if (exact && rc == Z_OK && z.avail_out == 0) {
        // Full: the stream must end here, giving not one byte more.
        uint8_t spare;
        z.next_out = &spare;
        z.avail_out = 1;
        rc = inflate(&z, Z_FINISH);
        if (z.avail_out == 0) {
            inflateEnd(&z);
            problem = ":Z64: graphic data inflates to more than " + std::to_string(bytes.size) + " bytes";
            return false;
        }
        z.avail_out = 0;
    }
    const bool ended = exact ? rc == Z_STREAM_END && z.avail_out == 0 : rc == Z_STREAM_END || z.avail_out == 0;
    const uLong inflated = z.total_out;
    const bool rest = z.avail_in > 0;
    inflateEnd(&z);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        problem = std::string(":Z64: graphic data is damaged (") + (z.msg ? z.msg : "zlib error") + ")";
        return false;
    }
    if (exact && rc == Z_STREAM_END && z.avail_out > 0) {
        problem = ":Z64: graphic data inflates to " + std::to_string(inflated) + " of its " +
                  std::to_string(bytes.size) + " bytes";
        return false;
    }
    if (!ended) {
        problem = ":Z64: graphic data ends before its compressed stream does";
        return false;
    }
    if (exact && rest) {
        problem = ":Z64: graphic data goes on after its compressed stream";
        return false;
    }
    return true;
}

// :Z64:<base64>:<crc> or :B64:<base64>:<crc>, spaces already gone.
bool DecodeEncoded(const std::string& data, Bytes bytes, bool exact, std::string& problem) {
    const bool zipped = data.compare(0, 5, ":Z64:") == 0;
    const size_t end = data.find(':', 5);
    const std::string text = data.substr(5, end == std::string::npos ? std::string::npos : end - 5);
    if (exact && end == std::string::npos) {
        problem = "the graphic's base64 data has no CRC";
        return false;
    }
    if (end != std::string::npos) {
        // Some senders leave the CRC out; one that is there must match.
        const std::string crc = data.substr(end + 1);
        unsigned long given = 0;
        bool hex = crc.size() == 4;
        for (char c : crc) {
            hex = hex && HexValue(c) >= 0;
            given = given << 4 | unsigned(std::max(HexValue(c), 0));
        }
        if (!hex) {
            problem = "the graphic's CRC '" + crc.substr(0, 16) + "' is not 4 hex digits";
            return false;
        }
        const uint16_t actual = Crc16::Xmodem(text.data(), text.size());
        if (given != actual) {
            char words[96];
            snprintf(words, sizeof words, "the graphic's CRC is %04lX but its data gives %04X", given, actual);
            problem = words;
            return false;
        }
    }
    std::vector<uint8_t> raw;
    if (!DecodeBase64(text, raw, problem))
        return false;
    if (zipped)
        return Inflate(raw, bytes, exact, problem);
    if (exact && raw.size() != bytes.size) {
        problem = ":B64: graphic data holds " + std::to_string(raw.size()) + " of its " + std::to_string(bytes.size) +
                  " bytes";
        return false;
    }
    std::memcpy(bytes.data, raw.data(), std::min(raw.size(), bytes.size));
    return true;
}

bool IsEncoded(const std::string& data) { return data.compare(0, 5, ":Z64:") == 0 || data.compare(0, 5, ":B64:") == 0; }

// Compressed binary is Zebra's own; its text forms are the ones we can read.
bool IsText(const std::string& data) {
    for (unsigned char c : data)
        if (c < 0x20 && !IsSpace(char(c)))
            return false;
        else if (c >= 0x7F)
            return false;
    return true;
}

}  // namespace

bool DecodeGraphic(char format, long totalBytes, long rowBytes, const std::string& data, const GraphicLimits& limits,
                   ZplBitmap& out, std::string& problem) {
    out = ZplBitmap();
    problem.clear();
    if (totalBytes < 1 || rowBytes < 1) {
        problem =
            "graphic of " + std::to_string(totalBytes) + " bytes, " + std::to_string(rowBytes) + " a row, has no dots";
        return false;
    }
    if (size_t(totalBytes) > limits.maxBytes) {
        problem =
            "graphic of " + std::to_string(totalBytes) + " bytes is larger than " + std::to_string(limits.maxBytes);
        return false;
    }
    if (size_t(rowBytes) > limits.maxBytes) {
        problem =
            "graphic rows of " + std::to_string(rowBytes) + " bytes are larger than " + std::to_string(limits.maxBytes);
        return false;
    }
    if (limits.exact && totalBytes % rowBytes != 0) {
        problem = "graphic of " + std::to_string(totalBytes) + " bytes is not whole rows of " +
                  std::to_string(rowBytes) + " bytes";
        return false;
    }
    const size_t d = size_t(rowBytes), height = (size_t(totalBytes) + d - 1) / d;
    // d bytes a row are exactly the bitmap's rows, one after another: the
    // decoders write straight into them.
    ZplBitmap image(int(d * 8), int(height));
    assert(height < 2 || image.Row(1) == image.Row(0) + d);
    const Bytes bytes{image.Row(0), height * d};
    const char f = char(toupper(static_cast<unsigned char>(format)));
    bool ok;
    if (f == 'B' && !IsEncoded(data)) {
        std::memcpy(bytes.data, data.data(), std::min(data.size(), bytes.size));
        ok = true;
    } else if (f == 'A' || f == 'B' || f == 'C') {
        if (f == 'C' && !IsText(data)) {
            problem = "compressed binary graphic data (^GFC) is Zebra's own format, which is not supported";
            return false;
        }
        const std::string text = WithoutSpaces(data);
        ok = IsEncoded(text) ? DecodeEncoded(text, bytes, limits.exact, problem)
                             : DecodeHex(text, d, bytes, limits.exact, problem);
    } else {
        problem = std::string("graphic format '") + format + "' is not A, B or C";
        return false;
    }
    if (!ok)
        return false;
    // Bytes past the image's count are not part of it.
    std::fill(bytes.data + totalBytes, bytes.data + bytes.size, 0);
    out = std::move(image);
    return true;
}

ZplBitmap Enlarged(const ZplBitmap& image, int mx, int my, int maxSide) {
    mx = std::max(mx, 1);
    my = std::max(my, 1);
    const int width = int(std::min(int64_t(image.Width()) * mx, int64_t(maxSide)));
    const int height = int(std::min(int64_t(image.Height()) * my, int64_t(maxSide)));
    ZplBitmap out(width, height);
    const int rows = std::min(image.Height(), (height + my - 1) / my);
    const int cols = std::min(image.Width(), (width + mx - 1) / mx);
    for (int y = 0; y < rows; y++) {
        const uint8_t* r = image.Row(y);
        for (int x = 0; x < cols;) {
            if (!(r[x >> 3] >> (7 - (x & 7)) & 1)) {
                // Skip white bytes whole.
                x = (r[x >> 3] << (x & 7) & 0xFF) ? x + 1 : (x | 7) + 1;
                continue;
            }
            int run = x;
            while (run < cols && (r[run >> 3] >> (7 - (run & 7)) & 1))
                run++;
            out.Fill(x * mx, y * my, (run - x) * mx, my);
            x = run;
        }
    }
    return out;
}

ZplBitmap Magnified(const ZplBitmap& image, int mx, int my) {
    // ^XG takes 1 to 10; beyond that a hostile label would only cost memory.
    return Enlarged(image, std::min(mx, 10), std::min(my, 10), 32000);
}

}  // namespace zpl
