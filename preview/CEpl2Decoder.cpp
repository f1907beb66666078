#include "preview/CEpl2Decoder.h"

#include <cstdio>

namespace {

const size_t kMaxLine = 1024;

// Reads the unsigned decimal at `pos` (at most nine digits), or with a
// leading '-' or '+' where `sign`; false when none is there.
bool Number(const std::string& s, size_t& pos, long& value, bool sign = false) {
    long negative = 1;
    if (sign && pos < s.size() && (s[pos] == '-' || s[pos] == '+'))
        negative = s[pos++] == '-' ? -1 : 1;
    const size_t start = pos;
    value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 9)
        value = value * 10 + (s[pos++] - '0');
    value *= negative;
    return pos > start;
}

// Numbers separated by commas from `pos` to the end of `s`.
bool Numbers(const std::string& s, size_t pos, long* values, int count) {
    for (int i = 0; i < count; i++)
        if ((i > 0 && (pos >= s.size() || s[pos++] != ',')) || !Number(s, pos, values[i]))
            return false;
    return pos == s.size();
}

bool InRange(long v, long low, long high) { return v >= low && v <= high; }

}  // namespace

bool CEpl2Decoder::Bad(size_t at, const std::string& expected, const std::string& line) {
    return Fail(at, expected, "\"" + line.substr(0, 24) + (line.size() > 24 ? "\" ..." : "\""));
}

bool CEpl2Decoder::ReadLine(CByteReader& in, std::string& line) {
    line.clear();
    int commas = 0;
    while (true) {
        const int c = in.Peek();
        if (c < 0)
            return Fail(in.Offset(), "LF to end the line", "end of stream");
        if (c == '\n' || (c == '\r' && in.Peek(1) == '\n')) {
            in.Skip(c == '\r' ? 2 : 1);
            return true;
        }
        if (c < 0x20 || c > 0x7E || line.size() >= kMaxLine)
            return Fail(in.Offset(), line.size() >= kMaxLine ? "LF within 1024 characters" : "printable text or LF",
                        in.Describe(in.Offset(), 4));
        in.Skip(1);
        if (c == ',' && line.compare(0, 2, "GW") == 0 && ++commas == 4)
            return true;
        line += static_cast<char>(c);
    }
}

bool CEpl2Decoder::Parse(CByteReader& in) {
    m_iWidth = m_iLength = 0;
    std::string line;
    while (!in.AtEnd()) {
        const size_t at = in.Offset();
        if (!ReadLine(in, line))
            return false;
        if (!line.empty() && !Line(in, at, line))
            return false;
    }
    if (PageOpen())
        return Fail(in.Offset(), "P to print the label", "end of stream");
    // Line ends alone print nothing: not a job.
    if (Pages().empty())
        return Fail(in.Offset(), "N to begin a label", "end of stream");
    return true;
}

bool CEpl2Decoder::Line(CByteReader& in, size_t at, const std::string& line) {
    if (line == "N") {
        if (PageOpen())
            Page().ClearDots();
        if (!Page().Extend(static_cast<int>(m_iWidth), static_cast<int>(m_iLength)))
            return PageTooLarge(at, static_cast<int>(m_iWidth), static_cast<int>(m_iLength));
        Command(at, "N");
        return true;
    }
    if (line == "C")
        return Bad(at, "a command other than a bare C (cut to some, the counter command to older guides)", line);
    if (!PageOpen())
        return Bad(at, "N to begin a label", line);
    CPreviewPage& page = Page();
    long v[2] = {0, 0};
    const char letter = line[0];
    if (line.compare(0, 2, "GW") == 0)
        return Graphic(in, at, line);
    if (letter == 'q') {
        if (!Numbers(line, 1, v, 1) || !InRange(v[0], 8, 65535))
            return Bad(at, "q with a width of 8 to 65535 dots", line);
        m_iWidth = v[0];
        if (!page.Extend(static_cast<int>(m_iWidth), 0))
            return PageTooLarge(at, static_cast<int>(m_iWidth), page.Height());
        page.Set("label width", std::to_string(m_iWidth) + " dots");
    } else if (letter == 'Q') {
        if (!LabelLength(at, line))
            return false;
    } else if (letter == 'D') {
        if (!Numbers(line, 1, v, 1) || !InRange(v[0], 0, 15))
            return Bad(at, "D with a darkness of 0 to 15", line);
        page.Set("darkness", std::to_string(v[0]));
    } else if (letter == 'S') {
        if (!Numbers(line, 1, v, 1) || !InRange(v[0], 0, 6))
            return Bad(at, "S with a speed code of 0 to 6", line);
        page.Set("speed", std::to_string(v[0]));
    } else if (letter == 'O') {
        if (line.find_first_not_of("CDPLF,0123456789", 1) != std::string::npos)
            return Bad(at, "O with option letters (C D P L F)", line);
        page.Set("options", line.substr(1));
    } else if (letter == 'P') {
        const bool sets = line.find(',') != std::string::npos;
        if (!Numbers(line, 1, v, sets ? 2 : 1) || !InRange(v[0], 1, 65535) || (sets && !InRange(v[1], 1, 65535)))
            return Bad(at, "P with 1 to 65535 labels (and copies of each)", line);
        page.Set("print", line.substr(1));
        Command(at, line);
        EndPage();
        return true;
    } else {
        return Bad(at, "an EPL2 command (N, q, Q, D, S, O, GW, P)", line);
    }
    Command(at, line);
    return true;
}

// "Qlength,gap", "Qlength,Bthickness,offset" or "Qlength,0" (continuous).
bool CEpl2Decoder::LabelLength(size_t at, const std::string& line) {
    size_t pos = 1;
    long length = 0, gap = 0, offset = 0;
    std::string media;
    if (!Number(line, pos, length) || length < 1 || length > 65535 || pos >= line.size() || line[pos++] != ',')
        return Bad(at, "Q with a label length of 1 to 65535 dots and a comma", line);
    if (pos < line.size() && line[pos] == 'B') {
        pos++;
        if (!Number(line, pos, gap) || !InRange(gap, 16, 240) || pos >= line.size() || line[pos++] != ',' ||
            !Number(line, pos, offset, true) || pos != line.size())
            return Bad(at, "a black line of 16 to 240 dots and its offset", line);
        media = "black line " + std::to_string(gap) + " dots, offset " + std::to_string(offset);
    } else {
        if (!Number(line, pos, gap) || pos != line.size() || (gap != 0 && !InRange(gap, 16, 240)))
            return Bad(at, "a gap of 16 to 240 dots, or 0 (continuous)", line);
        media = gap ? "gap " + std::to_string(gap) + " dots" : "continuous";
    }
    m_iLength = length;
    CPreviewPage& page = Page();
    if (!page.Extend(0, static_cast<int>(length)))
        return PageTooLarge(at, page.Width(), static_cast<int>(length));
    page.Set("label length", std::to_string(length) + " dots");
    page.Set("media", media);
    return true;
}

bool CEpl2Decoder::Graphic(CByteReader& in, size_t at, const std::string& line) {
    long v[4] = {0, 0, 0, 0};
    if (!Numbers(line, 2, v, 4) || v[2] < 1 || v[3] < 1)
        return Bad(at, "GWx,y,width bytes,height with width and height above 0", line);
    const long x = v[0], y = v[1], widthBytes = v[2], height = v[3];
    if (m_iWidth == 0)
        return Bad(at, "q before GW (the label width)", line);
    if (x + 8 * widthBytes > m_iWidth)
        return Bad(at, "GW within the label width of " + std::to_string(m_iWidth) + " dots", line);
    if (m_iLength > 0 && y + height > m_iLength)
        return Bad(at, "GW within the label length of " + std::to_string(m_iLength) + " dots", line);
    const size_t bytes = size_t(widthBytes) * size_t(height);
    if (bytes > CPreviewPage::kMaxBytes)
        return PageTooLarge(at, static_cast<int>(x + widthBytes * 8), static_cast<int>(y + height));
    if (!Need(in, bytes, std::to_string(bytes) + " bytes of GW data"))
        return false;
    if (!Page().Place(static_cast<int>(x), static_cast<int>(y), static_cast<int>(widthBytes), static_cast<int>(height),
                      in.Here(), false))
        return PageTooLarge(at, static_cast<int>(x + widthBytes * 8), static_cast<int>(y + height));
    in.Skip(bytes);
    Page().MarkImage();
    char text[128];
    std::snprintf(text, sizeof text, "GW %ld,%ld %ldx%ld (%zu bytes)", x, y, widthBytes * 8, height, bytes);
    Command(at, text);
    return true;
}
