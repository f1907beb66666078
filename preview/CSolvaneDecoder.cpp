#include "preview/CSolvaneDecoder.h"

#include <cstdio>
#include <vector>

#include "preview/Inflate.h"

namespace {

const uint8_t kBegin[] = {0x10, 0xFF, 0xFE, 0x01};
const uint8_t kEnd[] = {0x10, 0xFF, 0xFE, 0x45};
const char* kSolvaneCommands = "10 FF FE 01, 10 FF FE 45, 10 FF 10 00 d, 10 FF 10 03 t or 10 50";

}  // namespace

bool CSolvaneDecoder::Parse(CByteReader& in) {
    while (!in.AtEnd()) {
        const size_t at = in.Offset();
        if (!PageOpen()) {
            if (!in.Match(kBegin, sizeof kBegin))
                return Fail(at, "10 FF FE 01 to begin a page", in.Describe(at, 4));
            in.Skip(sizeof kBegin);
            Command(at, "10 FF FE 01 (begin page)");
            Page();
            continue;
        }
        if (in.Peek() == 0x10) {
            if (!SolvaneCommand(in))
                return false;
            continue;
        }
        if (in.Peek() == 0x1F) {
            if (!CompressedImage(in))
                return false;
            continue;
        }
        bool known = false;
        if (!EscposCommand(in, known))
            return false;
        if (!known)
            return Fail(at,
                        std::string("a Solvane command (") + kSolvaneCommands + ", 1F 00) or an ESC/POS one (" +
                            kCommands + ")",
                        in.Describe(at, 4));
    }
    if (PageOpen())
        return Fail(in.Offset(), "10 FF FE 45 to end the page", "end of stream");
    return true;
}

bool CSolvaneDecoder::SolvaneCommand(CByteReader& in) {
    const size_t at = in.Offset();
    char text[96];
    if (in.Peek(1) == 0x50) {
        in.Skip(2);
        Command(at, "10 50 (cut line)");
        Page().AddCount("cut lines", 1, "");
        return true;
    }
    if (!Need(in, 4, std::string("a Solvane command (") + kSolvaneCommands + ")"))
        return false;
    if (in.Match(kBegin, sizeof kBegin))
        return Fail(at, "10 FF FE 45 to end the page before the next", in.Describe(at, 4));
    if (in.Match(kEnd, sizeof kEnd)) {
        if (!Page().HasImage())
            return Fail(at, "an image before the end of the page", in.Describe(at, 4));
        in.Skip(4);
        Command(at, "10 FF FE 45 (end page)");
        EndPage();
        return true;
    }
    static const uint8_t kSet[] = {0x10, 0xFF, 0x10};
    if (in.Match(kSet, 3) && (in.Peek(3) == 0x00 || in.Peek(3) == 0x03)) {
        const bool density = in.Peek(3) == 0x00;
        if (!Need(in, 5, density ? "10 FF 10 00 and its density byte" : "10 FF 10 03 and its paper type byte"))
            return false;
        const int value = in.Peek(4);
        static const char* kPaper[] = {"black mark", "continuous", "gap", "perforated"};
        if (density && value > 5)
            return Fail(at + 4, "a density of 0-5", in.Describe(at + 4, 1));
        if (!density && value > 3)
            return Fail(at + 4, "paper type 0-3", in.Describe(at + 4, 1));
        in.Skip(5);
        if (density) {
            std::snprintf(text, sizeof text, "10 FF 10 00 %02X (density %d)", value, value);
            Page().Set("density", std::to_string(value));
        } else {
            std::snprintf(text, sizeof text, "10 FF 10 03 %02X (paper: %s)", value, kPaper[value]);
            Page().Set("paper", kPaper[value]);
        }
        Command(at, text);
        return true;
    }
    return Fail(at, std::string("a Solvane command (") + kSolvaneCommands + ")", in.Describe(at, 5));
}

bool CSolvaneDecoder::CompressedImage(CByteReader& in) {
    const size_t at = in.Offset();
    if (!Need(in, 10, "the 10-byte head of a compressed image (1F 00, width, rows, length)"))
        return false;
    if (in.Peek(1) != 0x00)
        return Fail(at, "1F 00 to begin a compressed image", in.Describe(at, 2));
    in.Skip(2);
    const int widthBytes = in.BE16(), rows = in.BE16();
    const uint32_t length = in.BE32();
    if (widthBytes == 0)
        return Fail(at + 2, "a compressed image width of at least 1 byte", "0");
    if (rows == 0)
        return Fail(at + 4, "a compressed image height of at least 1 row", "0");
    if (!Need(in, length, std::to_string(length) + " bytes of deflate data and Adler-32"))
        return false;
    const size_t bytes = size_t(widthBytes) * rows;
    if (bytes > CPreviewPage::kMaxBytes)
        return PageTooLarge(at, widthBytes * 8, Page().Height() + rows);
    std::vector<uint8_t> image;
    Inflate::Fault fault;
    if (!Inflate::RawWithAdler(in.Here(), length, bytes, image, fault))
        return Fail(in.Offset() + fault.at, fault.expected, fault.found);
    if (!StackImage(at, widthBytes, rows, image.data()))
        return false;
    in.Skip(length);
    char text[128];
    std::snprintf(text, sizeof text, "1F 00 compressed image %dx%d (%d x %d dots, %u deflate bytes)", widthBytes, rows,
                  widthBytes * 8, rows, length);
    Command(at, text);
    return true;
}
