#include "preview/CEscposDecoder.h"

#include <algorithm>
#include <cstdio>

const char* CEscposDecoder::kCommands = "ESC @, ESC a, ESC J, ESC p, GS V, GS v 0 or GS FF";

bool CEscposDecoder::Parse(CByteReader& in) {
    static const uint8_t kInit[] = {0x1B, 0x40}, kPulse[] = {0x1B, 0x70}, kImage[] = {0x1D, 0x76, 0x30};
    bool lastWasImage = false, awaitImage = false;
    while (!in.AtEnd()) {
        // A status query may come between any two commands and changes
        // nothing on the page; a lone ESC or GS at the end is left to the
        // commands, which say what they miss.
        bool query = false;
        if (!(in.Remaining() == 1 && (in.Peek() == 0x1B || in.Peek() == 0x1D))) {
            if (!StatusQuery(in, query))
                return false;
            if (query)
                continue;
        }
        // Page boundaries: the printer is initialised (a drawer pulse right
        // before ESC @ opens that page) or an image follows other commands.
        const bool image = in.Match(kImage, 3);
        const bool pulseBeforeInit =
            in.Match(kPulse, 2) && in.Remaining() > 6 && in.Peek(5) == 0x1B && in.Peek(6) == 0x40;
        if (PageOpen() && Page().HasImage() && (in.Match(kInit, 2) || pulseBeforeInit || (image && !lastWasImage)))
            EndPage();
        if (in.Match(kInit, 2))
            awaitImage = true;
        bool known = false;
        const size_t at = in.Offset();
        if (!EscposCommand(in, known))
            return false;
        if (!known)
            return Fail(at, std::string("an ESC/POS command (") + kCommands + ")", in.Describe(at, 4));
        lastWasImage = image;
        if (image)
            awaitImage = false;
    }
    if (awaitImage || (PageOpen() && !Page().HasImage()) || (!PageOpen() && Pages().empty()))
        return Fail(in.Offset(), awaitImage ? "a GS v 0 image after ESC @" : "a GS v 0 image", "end of stream");
    EndLastPage();
    return true;
}

bool CEscposDecoder::EscposCommand(CByteReader& in, bool& known) {
    known = true;
    const size_t at = in.Offset();
    const int first = in.Peek(), second = in.Peek(1);
    char text[160];
    if (first == 0x1B) {
        if (!Need(in, 2, "an ESC command byte"))
            return false;
        if (second == 0x40) {
            in.Skip(2);
            const bool nul = in.Peek() == 0x00;
            if (nul)
                in.Skip(1);
            Command(at, nul ? "ESC @ (initialise) + NUL" : "ESC @ (initialise)");
            Page();
            return true;
        }
        if (second == 0x61) {
            if (!Need(in, 3, "ESC a and its justification byte"))
                return false;
            const int n = in.Peek(2);
            static const char* kAlign[] = {"left", "centre", "right"};
            const int which = n >= 48 ? n - 48 : n;
            if (which < 0 || which > 2)
                return Fail(at + 2, "justification 0, 1 or 2 (or 30-32)", in.Describe(at + 2, 1));
            in.Skip(3);
            std::snprintf(text, sizeof text, "ESC a %d (%s)", n, kAlign[which]);
            Command(at, text);
            Page().Set("justification", kAlign[which]);
            return true;
        }
        if (second == 0x4A) {
            if (!Need(in, 3, "ESC J and its feed byte"))
                return false;
            const int n = in.Peek(2);
            in.Skip(3);
            std::snprintf(text, sizeof text, "ESC J %d (feed %d dots)", n, n);
            Command(at, text);
            Page().AddCount("feed", n, " dots");
            return true;
        }
        if (second == 0x70) {
            if (!Need(in, 5, "ESC p with its pin, on-time and off-time bytes"))
                return false;
            const int pin = in.Peek(2), on = in.Peek(3), off = in.Peek(4);
            if (pin != 0 && pin != 1 && pin != 48 && pin != 49)
                return Fail(at + 2, "drawer pin 0 or 1 (or 30, 31)", in.Describe(at + 2, 1));
            in.Skip(5);
            std::snprintf(text, sizeof text, "ESC p %d %d %d (drawer pulse on pin %d, %d ms on, %d ms off)", pin, on,
                          off, pin % 48 == 0 ? 2 : 5, on * 2, off * 2);
            Command(at, text);
            Page().AddCount("drawer pulses", 1, "");
            return true;
        }
        return Fail(at, std::string("an ESC/POS command (") + kCommands + ")", in.Describe(at, 4));
    }
    if (first == 0x1D) {
        if (!Need(in, 2, "a GS command byte"))
            return false;
        if (second == 0x76)
            return RasterImage(in);
        if (second == 0x56) {
            if (!Need(in, 3, "GS V and its cut mode"))
                return false;
            const int m = in.Peek(2);
            const bool withFeed = m == 65 || m == 66;
            if (m != 0 && m != 1 && m != 48 && m != 49 && !withFeed)
                return Fail(at + 2, "cut mode 0, 1, 30, 31, 41 or 42", in.Describe(at + 2, 1));
            if (withFeed && !Need(in, 4, "GS V and its feed byte"))
                return false;
            const bool partial = m == 1 || m == 49 || m == 66;
            if (withFeed) {
                const int n = in.Peek(3);
                std::snprintf(text, sizeof text, "GS V %d %d (feed %d dots, %s cut)", m, n, n,
                              partial ? "partial" : "full");
                Page().AddCount("feed", n, " dots");
                in.Skip(4);
            } else {
                std::snprintf(text, sizeof text, "GS V %d (%s cut)", m, partial ? "partial" : "full");
                in.Skip(3);
            }
            Command(at, text);
            Page().AddCount(partial ? "partial cuts" : "full cuts", 1, "");
            return true;
        }
        if (second == 0x0C) {
            in.Skip(2);
            Command(at, "GS FF (feed to the next mark)");
            Page().AddCount("mark feeds", 1, "");
            return true;
        }
        return Fail(at, std::string("an ESC/POS command (") + kCommands + ")", in.Describe(at, 4));
    }
    known = false;
    return true;
}

bool CEscposDecoder::RasterImage(CByteReader& in) {
    const size_t at = in.Offset();
    if (!Need(in, 8, "GS v 0 with its mode and four size bytes"))
        return false;
    if (in.Peek(2) != 0x30)
        return Fail(at + 2, "GS v 0 (1D 76 30)", in.Describe(at, 3));
    const int m = in.Peek(3);
    if (!(m <= 3 || (m >= 48 && m <= 51)))
        return Fail(at + 3, "GS v 0 mode 0-3 (or 30-33)", in.Describe(at + 3, 1));
    in.Skip(4);
    const int widthBytes = in.LE16(), rows = in.LE16();
    if (widthBytes == 0)
        return Fail(at + 4, "a GS v 0 width of at least 1 byte", "0");
    if (rows == 0)
        return Fail(at + 6, "a GS v 0 height of at least 1 row", "0");
    const size_t bytes = size_t(widthBytes) * rows;
    if (!Need(in, bytes,
              std::to_string(bytes) + " bytes of image data (" + std::to_string(widthBytes) + " x " +
                  std::to_string(rows) + ")"))
        return false;
    if (!StackImage(at, widthBytes, rows, in.Here()))
        return false;
    in.Skip(bytes);
    static const char* kModes[] = {"normal", "double width", "double height", "quadruple"};
    char text[128];
    std::snprintf(text, sizeof text, "GS v 0 m=%d %dx%d (%d x %d dots, %s, %zu bytes)", m, widthBytes, rows,
                  widthBytes * 8, rows, kModes[m % 48], bytes);
    Command(at, text);
    Page().Set("image mode", kModes[m % 48]);
    return true;
}

bool CEscposDecoder::StackImage(size_t at, int rowBytes, int rows, const uint8_t* data) {
    CPreviewPage& page = Page();
    if (!page.Stack(rowBytes, rows, data))
        return PageTooLarge(at, std::max(page.Width(), rowBytes * 8), page.Height() + rows);
    page.MarkImage();
    return true;
}
