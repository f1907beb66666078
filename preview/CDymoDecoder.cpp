#include "preview/CDymoDecoder.h"

#include <algorithm>
#include <cstdio>

namespace {

const uint8_t kEsc = 0x1B, kSyn = 0x16, kEtb = 0x17;
const char* kCommands = "ESC @ * c d e g h i E G A, ESC B n, ESC D n, ESC q c, ESC L hi lo, ESC Q hi lo or ESC f 01 n";

const char* DensityName(int c) {
    switch (c) {
        case 'c':
            return "light";
        case 'd':
            return "medium";
        case 'e':
            return "normal";
        default:
            return "dark";
    }
}

}  // namespace

bool CDymoDecoder::Parse(CByteReader& in) {
    m_iRowBytes = m_iDotTab = m_iLength = m_iRows = m_iGroupRows = 0;
    m_bTornOff = true;
    bool reset = false;
    while (!in.AtEnd()) {
        bool query = false;
        if (!StatusQuery(in, query))
            return false;
        if (query)
            continue;
        const int b = in.Peek();
        if (!reset) {
            // A host may ask the printer's state before the job.
            if (!Reset(in))
                return false;
            reset = true;
        } else if (b == kEsc) {
            if (!Escape(in))
                return false;
        } else if (b == kSyn || b == kEtb) {
            if (!Row(in))
                return false;
        } else {
            return Fail(in.Offset(), "ESC, SYN or ETB", in.Describe(in.Offset(), 4));
        }
    }
    FlushRows();
    if (!reset)
        return Fail(in.Offset(), "ESC bytes and ESC @ to reset the printer", "end of stream");
    if (PageOpen())
        return Fail(in.Offset(), "ESC G or ESC E to end the label", "end of stream");
    if (Pages().empty())
        return Fail(in.Offset(), "a label after the reset", "end of stream");
    if (!m_bTornOff)
        return Fail(in.Offset(), "ESC E to feed the last label to the tear bar", "end of stream");
    return true;
}

// A run of ESC bytes and ESC @: whatever row or command the printer was in
// the middle of takes the first of them.
bool CDymoDecoder::Reset(CByteReader& in) {
    const size_t at = in.Offset();
    size_t escapes = 0;
    while (in.Peek(escapes) == kEsc)
        escapes++;
    if (escapes == 0 || in.Peek(escapes) != '@')
        return Fail(at + escapes, "ESC bytes and ESC @ to reset the printer", in.Describe(at + escapes, 4));
    if (PageOpen())
        return Fail(at, "ESC G or ESC E to end the label before a reset", in.Describe(at, 4));
    in.Skip(escapes + 1);
    m_iRowBytes = m_iDotTab = m_iLength = 0;
    Command(at, "reset (" + std::to_string(escapes) + " ESC, @)");
    return true;
}

bool CDymoDecoder::RowFits(size_t at, int dotTab, int rowBytes) {
    if (dotTab + rowBytes <= kMaxRowBytes)
        return true;
    return Fail(at, "ESC B and ESC D within the head's " + std::to_string(kMaxRowBytes) + " bytes",
                std::to_string(dotTab) + " + " + std::to_string(rowBytes) + " bytes");
}

bool CDymoDecoder::Escape(CByteReader& in) {
    const size_t at = in.Offset();
    if (!Need(in, 2, std::string("a command (") + kCommands + ")"))
        return false;
    const int c = in.Peek(1);
    FlushRows();
    if (c == kEsc || c == '@')
        return Reset(in);
    char text[96];
    switch (c) {
        case '*':
        case 'h':
        case 'i':
        case 'A':
            in.Skip(2);
            std::snprintf(text, sizeof text, "ESC %c%s", c,
                          c == 'h'   ? " (text mode)"
                          : c == 'i' ? " (graphics mode)"
                          : c == 'A' ? " (status)"
                                     : "");
            if (c == 'h' || c == 'i')
                Page().Set("mode", c == 'h' ? "text, 300 x 300" : "graphics, 300 x 600");
            Command(at, text);
            return true;
        case 'c':
        case 'd':
        case 'e':
        case 'g':
            in.Skip(2);
            Page().Set("density", DensityName(c));
            std::snprintf(text, sizeof text, "ESC %c (density %s)", c, DensityName(c));
            Command(at, text);
            return true;
        case 'E':
        case 'G':
            in.Skip(2);
            Command(at, c == 'E' ? "ESC E (form feed to the tear bar)" : "ESC G (short form feed)");
            m_bTornOff = c == 'E' || (m_bTornOff && !PageOpen());
            if (PageOpen())
                EndLabel();
            return true;
        case 'B':
        case 'D':
        case 'q': {
            if (!Need(in, 3, std::string("ESC ") + char(c) + " and its byte"))
                return false;
            const int n = in.Peek(2);
            if (c == 'q') {
                if (n < '0' || n > '2')
                    return Fail(at + 2, "a roll of '0' to '2'", in.Describe(at + 2, 1));
                std::snprintf(text, sizeof text, "ESC q '%c' (roll)", n);
                Page().Set("roll", n == '0' ? "auto" : n == '1' ? "left" : "right");
            } else if (c == 'B') {
                if (!RowFits(at + 2, n, m_iRowBytes))
                    return false;
                m_iDotTab = n;
                std::snprintf(text, sizeof text, "ESC B %d (dot tab)", n);
                Page().Set("dot tab", std::to_string(n) + " bytes");
            } else {
                if (n == 0)
                    return Fail(at + 2, "1 to " + std::to_string(kMaxRowBytes) + " bytes per row", "0");
                if (!RowFits(at + 2, m_iDotTab, n))
                    return false;
                m_iRowBytes = n;
                std::snprintf(text, sizeof text, "ESC D %d (bytes per row)", n);
                Page().Set("bytes per row", std::to_string(n));
            }
            in.Skip(3);
            Command(at, text);
            return true;
        }
        case 'L':
        case 'Q':
        case 'f': {
            if (!Need(in, 4, std::string("ESC ") + char(c) + " and its two bytes"))
                return false;
            if (c == 'f') {
                if (in.Peek(2) != 0x01)
                    return Fail(at + 2, "01 after ESC f", in.Describe(at + 2, 1));
                const int n = in.Peek(3);
                in.Skip(4);
                CPreviewPage& page = Page();
                m_iRows += n;
                if (!page.Extend(0, m_iRows))
                    return PageTooLarge(at, page.Width(), m_iRows);
                std::snprintf(text, sizeof text, "ESC f 01 %d (skip %d rows)", n, n);
                Command(at, text);
                return true;
            }
            in.Skip(2);
            const int value = in.BE16();
            if (c == 'L') {
                m_iLength = value;
                std::snprintf(text, sizeof text, "ESC L %d (label length%s)", value,
                              value > 0x7FFF ? ": continuous" : "");
                Page().Set("label length", value > 0x7FFF ? "continuous" : std::to_string(value) + " rows");
            } else {
                std::snprintf(text, sizeof text, "ESC Q %d (top offset)", value);
                Page().Set("top offset", std::to_string(value) + " rows");
            }
            Command(at, text);
            return true;
        }
        default:
            return Fail(at, std::string("a command (") + kCommands + ")", in.Describe(at, 2));
    }
}

bool CDymoDecoder::Row(CByteReader& in) {
    const size_t at = in.Offset();
    const bool runs = in.Peek() == kEtb;
    if (m_iRowBytes == 0)
        return Fail(at, "ESC D before the first row", in.Describe(at, 1));
    in.Skip(1);
    m_Row.clear();
    if (runs) {
        if (!Runs(in, m_Row))
            return false;
    } else {
        if (!Need(in, size_t(m_iRowBytes), std::to_string(m_iRowBytes) + " bytes of a SYN row"))
            return false;
        m_Row.assign(in.Here(), in.Here() + m_iRowBytes);
        in.Skip(size_t(m_iRowBytes));
    }
    CPreviewPage& page = Page();
    if (!page.Place(m_iDotTab * 8, m_iRows, m_iRowBytes, 1, m_Row.data(), true))
        return PageTooLarge(at, (m_iDotTab + m_iRowBytes) * 8, m_iRows + 1);
    page.MarkImage();
    m_iRows++;
    if (m_iGroupRows == 0 || m_bGroupRuns != runs) {
        FlushRows();
        m_iGroupAt = at;
        m_bGroupRuns = runs;
    }
    m_iGroupRows++;
    return true;
}

// An ETB row's runs, up to exactly ESC D's dots.
bool CDymoDecoder::Runs(CByteReader& in, std::vector<uint8_t>& row) {
    const int dots = m_iRowBytes * 8;
    row.assign(size_t(m_iRowBytes), 0);
    int x = 0;
    while (x < dots) {
        if (!Need(in, 1, "the runs of an ETB row, " + std::to_string(dots - x) + " dots more"))
            return false;
        const size_t at = in.Offset();
        const uint8_t run = in.U8();
        const int length = (run & 0x7F) + 1;
        if (x + length > dots)
            return Fail(at, "a run of at most " + std::to_string(dots - x) + " dots to end the row",
                        "a run of " + std::to_string(length));
        if (run & 0x80)
            for (int i = x; i < x + length; i++)
                row[size_t(i / 8)] |= uint8_t(0x80 >> (i % 8));
        x += length;
    }
    return true;
}

void CDymoDecoder::FlushRows() {
    if (m_iGroupRows == 0)
        return;
    Command(m_iGroupAt, std::string(m_bGroupRuns ? "ETB" : "SYN") + " rows x " + std::to_string(m_iGroupRows) + " (" +
                            std::to_string(m_iRowBytes * 8) + " dots each)");
    m_iGroupRows = 0;
}

// The label ends as long as its rows, or as ESC L where that is longer.
void CDymoDecoder::EndLabel() {
    CPreviewPage& page = Page();
    const int length = m_iLength > 0 && m_iLength <= 0x7FFF ? m_iLength : 0;
    page.Extend((m_iDotTab + m_iRowBytes) * 8, std::max(m_iRows, length));
    m_iRows = 0;
    EndPage();
}
