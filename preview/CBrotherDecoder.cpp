#include "preview/CBrotherDecoder.h"

#include <cstdio>

namespace {

const int kHeadBytes[] = {90, 162};
const char* kPageCommands = "ESC i a/z/M/A/K/d/!, M n, g 00 n, w 01/02 n, Z, 0C or 1A";

bool HeadWidth(int n) { return n == kHeadBytes[0] || n == kHeadBytes[1]; }

uint8_t Reversed(uint8_t v) {
    v = static_cast<uint8_t>((v & 0xF0) >> 4 | (v & 0x0F) << 4);
    v = static_cast<uint8_t>((v & 0xCC) >> 2 | (v & 0x33) << 2);
    return static_cast<uint8_t>((v & 0xAA) >> 1 | (v & 0x55) << 1);
}

}  // namespace

bool CBrotherDecoder::Parse(CByteReader& in) {
    // A decoder is asked again as a stream grows (the virtual printer):
    // nothing of a former, cut-off read may remain.
    m_bJob = false;
    m_iJobPages = 0;
    m_iHeadBytes = 0;
    m_bMedia = false;
    m_bPackBits = false;
    m_iAnnounced = 0;
    m_Rows.clear();
    while (!in.AtEnd()) {
        bool query = false;
        if (!StatusQuery(in, query))
            return false;
        if (query)
            continue;
        const size_t at = in.Offset();
        if (!m_bJob) {
            if (!Preamble(in))
                return false;
            continue;
        }
        const int c = in.Peek();
        if (c == 0x1B) {
            if (!Escape(in))
                return false;
        } else if (c == 'M') {
            if (!Need(in, 2, "M and its compression byte"))
                return false;
            const int mode = in.Peek(1);
            if (mode != 0 && mode != 2)
                return Fail(at + 1, "compression 0 (none) or 2 (PackBits)", in.Describe(at + 1, 1));
            if (!m_Rows.empty())
                return Fail(at, "M n before the page's first row", in.Describe(at, 2));
            in.Skip(2);
            m_bPackBits = mode == 2;
            Page().Set("compression", m_bPackBits ? "PackBits" : "none");
            Command(at, mode ? "M 02 (PackBits rows)" : "M 00 (plain rows)");
        } else if (c == 'g' || c == 'w' || c == 'Z') {
            if (!Row(in))
                return false;
        } else if (c == 0x0C || c == 0x1A) {
            if (!PageEnd(in))
                return false;
        } else {
            return Fail(at, std::string("a page command (") + kPageCommands + ")", in.Describe(at, 4));
        }
    }
    if (m_bJob)
        return Fail(in.Offset(), PageOpen() ? "0C or 1A to end the page" : "1A to end the job", "end of stream");
    return true;
}

bool CBrotherDecoder::Preamble(CByteReader& in) {
    const size_t at = in.Offset();
    size_t zeros = 0;
    while (in.Peek() == 0x00) {
        in.Skip(1);
        zeros++;
    }
    if (zeros < kLeastInvalidate)
        return Fail(at + zeros, "at least 200 bytes of 00 to begin a job",
                    in.AtEnd() ? "end of stream after " + std::to_string(zeros)
                               : std::to_string(zeros) + " and " + in.Describe(in.Offset(), 2));
    const size_t init = in.Offset();
    if (!Need(in, 2, "ESC @ after the invalidate run"))
        return false;
    if (in.Peek() != 0x1B || in.Peek(1) != 0x40)
        return Fail(init, "ESC @ after the invalidate run", in.Describe(init, 2));
    in.Skip(2);
    Command(at, std::to_string(zeros) + " x 00 (invalidate)");
    Command(init, "ESC @ (initialise)");
    m_bJob = true;
    m_iJobPages = 0;
    return true;
}

bool CBrotherDecoder::Escape(CByteReader& in) {
    const size_t at = in.Offset();
    if (!Need(in, 3, "ESC i and a command letter"))
        return false;
    if (in.Peek(1) != 'i')
        return Fail(at, "ESC i (ESC @ only opens a job)", in.Describe(at, 3));
    const int letter = in.Peek(2);
    if (letter == 'z')
        return MediaInfo(in);
    struct Fixed {
        int letter;
        int length;  // bytes after ESC i and the letter
        const char* name;
    };
    static const Fixed kFixed[] = {
        {'a', 1, "raster mode"},   {'M', 1, "mode"},   {'A', 1, "cut every"},
        {'K', 1, "expanded mode"}, {'d', 2, "margin"}, {'!', 1, "status notices"},
    };
    for (const Fixed& f : kFixed) {
        if (f.letter != letter)
            continue;
        if (!Need(in, 3 + f.length,
                  std::string("ESC i ") + char(letter) + " and its " + std::to_string(f.length) +
                      (f.length == 1 ? " byte" : " bytes")))
            return false;
        if (!m_Rows.empty())
            return Fail(at, "0C or 1A to end the page before its settings", in.Describe(at, 3));
        in.Skip(3);
        const int n = in.U8();
        const int value = f.length == 2 ? n | in.U8() << 8 : n;
        if (letter == 'a' && value != 1)
            return Fail(at + 3, "raster mode 01", in.Describe(at + 3, 1));
        if (letter == 'A' && value == 0)
            return Fail(at + 3, "cutting every 1-255 labels", "0");
        CPreviewPage& page = Page();
        std::string shown = std::to_string(value);
        if (letter == 'M') {
            page.Set("auto cut", value & 0x40 ? "yes" : "no");
            if (value & 0x80)
                page.Set("mirror", "yes");
        } else if (letter == 'K') {
            page.Set("cut at end", value & 0x08 ? "yes" : "no");
            if (value & 0x40)
                page.Set("feed resolution", "600 dpi");
        } else if (letter == 'd') {
            page.Set("margin", shown + " dots");
        } else if (letter != 'a') {
            page.Set(f.name, shown);
        }
        char text[64];
        std::snprintf(text, sizeof text, "ESC i %c %s (%s)", letter, shown.c_str(), f.name);
        Command(at, text);
        return true;
    }
    return Fail(at, "ESC i a, z, M, A, K, d, ! or S", in.Describe(at, 3));
}

bool CBrotherDecoder::MediaInfo(CByteReader& in) {
    const size_t at = in.Offset();
    if (!Need(in, 13, "ESC i z and its 10 bytes"))
        return false;
    if (!m_Rows.empty() || m_bMedia)
        return Fail(at, "one ESC i z before the page's rows", in.Describe(at, 3));
    in.Skip(3);
    const int valid = in.U8(), type = in.U8(), width = in.U8(), length = in.U8();
    const uint32_t rows = in.LE32();
    const int page = in.U8(), last = in.U8();
    if ((valid & 0x02) && type != 0x0A && type != 0x0B)
        return Fail(at + 4, "media type 0A (continuous) or 0B (die-cut)", in.Describe(at + 4, 1));
    if (page != (m_iJobPages == 0 ? 0 : 1))
        return Fail(at + 11, m_iJobPages == 0 ? "00 for the job's first page" : "01 for a page after the first",
                    in.Describe(at + 11, 1));
    if (last != 0)
        return Fail(at + 12, "00", in.Describe(at + 12, 1));
    m_bMedia = true;
    m_iAnnounced = rows;
    char media[48], text[128];
    if (type == 0x0B)
        std::snprintf(media, sizeof media, "%d x %d mm die-cut", width, length);
    else
        std::snprintf(media, sizeof media, "%d mm continuous", width);
    CPreviewPage& p = Page();
    p.Set("media", media);
    p.Set("rows", std::to_string(rows));
    std::snprintf(text, sizeof text, "ESC i z (%s, %u rows, valid %02X)", media, rows, valid);
    Command(at, text);
    return true;
}

bool CBrotherDecoder::RowData(CByteReader& in, size_t at, int n, std::vector<uint8_t>& row) {
    if (!Need(in, static_cast<size_t>(n), std::to_string(n) + " bytes of row data"))
        return false;
    const uint8_t* d = in.Here();
    if (!m_bPackBits) {
        row.assign(d, d + n);
    } else {
        for (int i = 0; i < n;) {
            const int control = static_cast<int8_t>(d[i++]);
            if (control >= 0) {
                if (i + control + 1 > n)
                    return Fail(in.Offset() + i - 1, "a literal run inside the row", "a run past its end");
                row.insert(row.end(), d + i, d + i + control + 1);
                i += control + 1;
            } else if (control == -128) {
                return Fail(in.Offset() + i - 1, "a PackBits control byte", "80");
            } else {
                if (i >= n)
                    return Fail(in.Offset() + i - 1, "the repeated byte of a run", "the row's end");
                row.insert(row.end(), static_cast<size_t>(1 - control), d[i++]);
            }
        }
    }
    const int width = static_cast<int>(row.size());
    if (!HeadWidth(width) || (m_iHeadBytes && width != m_iHeadBytes))
        return Fail(at,
                    m_iHeadBytes ? "a row of the job's " + std::to_string(m_iHeadBytes) + " bytes"
                                 : std::string("a row of 90 or 162 bytes (the head's width)"),
                    "a row of " + std::to_string(width) + " bytes");
    m_iHeadBytes = width;
    in.Skip(static_cast<size_t>(n));
    return true;
}

bool CBrotherDecoder::Row(CByteReader& in) {
    const size_t at = in.Offset();
    if (!m_bMedia)
        return Fail(at, "ESC i z before the page's first row", in.Describe(at, 3));
    if (in.Peek() == 'Z') {
        in.Skip(1);
        m_Rows.emplace_back();
        Command(at, "Z (white row)");
        return true;
    }
    const bool pair = in.Peek() == 'w';
    std::vector<uint8_t> row;
    for (int plane = pair ? 1 : 0; plane <= (pair ? 2 : 0); plane++) {
        const size_t here = in.Offset();
        if (!Need(in, 3, pair ? "w, its colour and a length" : "g 00 and a length"))
            return false;
        const int expected = pair ? 'w' : 'g';
        if (in.Peek() != expected || in.Peek(1) != plane)
            return Fail(here, pair ? "w 0" + std::to_string(plane) : std::string("g 00"), in.Describe(here, 2));
        const int n = in.Peek(2);
        in.Skip(3);
        std::vector<uint8_t> data;
        if (!RowData(in, here, n, data))
            return false;
        if (row.empty())
            row = std::move(data);
        else
            for (size_t i = 0; i < row.size(); i++)
                row[i] |= data[i];  // red prints as a dot as well
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s row (%d bytes)", pair ? "w 01/02" : "g 00", m_iHeadBytes);
    Command(at, text);
    m_Rows.push_back(std::move(row));
    return true;
}

bool CBrotherDecoder::PageEnd(CByteReader& in) {
    const size_t at = in.Offset();
    const bool last = in.Peek() == 0x1A;
    if (!m_bMedia)
        return Fail(at, "ESC i z and rows before the page's end", in.Describe(at, 1));
    if (m_Rows.size() != m_iAnnounced)
        return Fail(at, std::to_string(m_iAnnounced) + " rows as ESC i z says",
                    std::to_string(m_Rows.size()) + " rows and " + in.Describe(at, 1));
    const int headBytes = m_iHeadBytes ? m_iHeadBytes : kHeadBytes[0];
    const size_t bytes = size_t(headBytes) * m_Rows.size();
    if (bytes > CPreviewPage::kMaxBytes)
        return PageTooLarge(at, headBytes * 8, static_cast<int>(m_Rows.size()));
    // As read: the row reversed, bit by bit.
    std::vector<uint8_t> dots(bytes, 0);
    for (size_t y = 0; y < m_Rows.size(); y++) {
        const std::vector<uint8_t>& row = m_Rows[y];
        uint8_t* out = dots.data() + y * headBytes;
        for (size_t i = 0; i < row.size(); i++)
            out[headBytes - 1 - i] = Reversed(row[i]);
    }
    CPreviewPage& page = Page();
    page.Set("head", std::to_string(headBytes * 8) + " pins");
    if (!page.Place(0, 0, headBytes, static_cast<int>(m_Rows.size()), dots.data(), true))
        return PageTooLarge(at, headBytes * 8, static_cast<int>(m_Rows.size()));
    page.MarkImage();
    in.Skip(1);
    Command(at, last ? "1A (print, last page)" : "0C (print)");
    EndPage();
    m_Rows.clear();
    m_bMedia = false;
    m_bPackBits = false;
    m_iJobPages++;
    if (last)
        m_bJob = false;
    return true;
}
