#include "preview/CZplDecoder.h"

#include <cstdint>

namespace {

// A command as the listing shows it: graphics by their size and encoding,
// the rest as written, cut short.
std::string Describe(const zpl::ZplCommand& c) {
    const std::string name = std::string(1, c.prefix) + c.name;
    if (c.name == "GF") {
        size_t comma = 0;
        for (int i = 0; i < 4 && comma != std::string::npos; i++)
            comma = c.params.find(',', comma + (i ? 1 : 0));
        if (comma != std::string::npos) {
            const std::string data = c.params.substr(comma + 1);
            const char* form = data.compare(0, 5, ":Z64:") == 0   ? "Z64"
                               : data.compare(0, 5, ":B64:") == 0 ? "B64"
                                                                  : "hex";
            return name + c.params.substr(0, comma) + " " + form + " (" + std::to_string(data.size()) + " characters)";
        }
    }
    const size_t kShown = 60;
    return name + (c.params.size() > kShown ? c.params.substr(0, kShown) + "..." : c.params);
}

}  // namespace

bool CZplDecoder::Parse(CByteReader& in) {
    const uint8_t* const data = in.Here();
    const size_t size = in.Remaining();
    const StatusProtocol::Protocol* status = StatusProtocol::ForLanguage(kLanguage);

    struct Read {
        zpl::Label label;
        size_t begin, end;
    };
    std::vector<Read> labels;
    std::vector<PreviewCommand> commands;
    size_t labelBegin = 0, labelEnd = 0, lastCommand = 0;
    bool open = false, ended = false;  // ended: the last command closes a label or is a query
    size_t problemAt = SIZE_MAX;
    std::string problem;

    zpl::InterpreterOptions options;
    options.strict = true;
    options.commands = [&](const zpl::ZplCommand& c) {
        lastCommand = c.offset;
        if (c.prefix == '^' && c.name == "XA") {
            labelBegin = c.offset;
            open = true;
        } else if (c.prefix == '^' && c.name == "XZ") {
            labelEnd = c.offset + 3;
            open = false;
        }
        const StatusProtocol::Query* query = status ? status->Match(data + c.offset, size - c.offset) : nullptr;
        ended = query || (c.prefix == '^' && c.name == "XZ");
        commands.push_back({c.offset, query ? std::string("status query ") + query->name : Describe(c)});
    };
    options.problems = [&](size_t offset, const std::string& text) {
        if (offset < problemAt) {
            problemAt = offset;
            problem = text;
        }
    };
    zpl::ZplInterpreter interpreter(options, nullptr);
    const auto keep = [&](zpl::Label& label) {
        labels.push_back({std::move(label), labelBegin, open ? size : labelEnd});
        return true;
    };
    interpreter.Feed(reinterpret_cast<const char*>(data), size, keep);
    interpreter.Finish(keep);

    for (const PreviewCommand& c : commands)
        if (c.offset < problemAt)
            Command(c.offset, c.text);
    for (Read& read : labels) {
        if (!read.label.problems.empty() || read.end > problemAt)
            break;
        in.Skip(read.begin - in.Offset());
        if (!zpl::PrintsALabel(read.label)) {
            in.Skip(read.end - in.Offset());
            continue;
        }
        CPreviewPage& page = Page();
        const zpl::ZplBitmap& dots = read.label.page;
        if (!page.Place(0, 0, static_cast<int>(dots.RowBytes()), dots.Height(), dots.Height() ? dots.Row(0) : nullptr,
                        true))
            return PageTooLarge(read.begin, dots.Width(), dots.Height());
        page.MarkImage();
        const zpl::PrintSettings& s = read.label.settings;
        page.Set("print width", std::to_string(read.label.printWidth) + " dots");
        if (read.label.labelLength)
            page.Set("label length", std::to_string(read.label.labelLength) + " dots");
        if (s.tracking)
            page.Set("media tracking", std::string(1, *s.tracking));
        if (s.mediaType)
            page.Set("media type", std::string(1, *s.mediaType));
        if (s.mode)
            page.Set("print mode", std::string(1, *s.mode));
        if (s.darkness)
            page.Set("darkness", std::to_string(*s.darkness));
        if (s.speed)
            page.Set("speed", std::to_string(*s.speed) + " in/s");
        page.Set("copies", std::to_string(s.copies));
        in.Skip(read.end - in.Offset());
        EndPage();
    }
    if (problemAt == SIZE_MAX && ended)
        return true;
    // More bytes may yet complete the label, or the command, the stream ends in.
    if (open && problemAt >= labelBegin)
        return Fail(size, "^XZ to end the label begun at byte " + std::to_string(labelBegin), "end of stream");
    if (problemAt == SIZE_MAX || problemAt >= lastCommand)
        return Fail(size,
                    commands.empty()
                        ? std::string("a ZPL command")
                        : "a label (^XA ... ^XZ) or a status query after byte " + std::to_string(lastCommand),
                    "end of stream" + (problem.empty() ? std::string() : " (" + problem + ")"));
    return Fail(problemAt, "ZPL that prints as written", problem);
}
