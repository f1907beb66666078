#include "zpl/ZplInterpreter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "zpl/ZplGraphics.h"
#include "zpl/ZplLabelMaker.h"

namespace zpl {

namespace {

// Commands that change nothing a page shows (printer configuration, media
// handling, host queries): accepted silently.
const char* const kQuietCommands[] = {
    "PM", "JM", "JU", "JS", "TA", "PA", "MC", "CV", "PF", "JZ", "JA", "JC", "MF", "ML", "SZ", "FX", "PP", "PH", "HH",
    "JB", "JE", "FP", "SN", "SF", "FC", "HS", "HM", "HW", "WD", "JR", "NC", "NT", "KD", "KL", "SE", "SO", "ST", "SX",
    "XB", "PS", "JL", "JT", "JW", "JI", "JH", "LR", "CM", "DU", "DN", "RS", "RT", "WT", "WV", "HZ", "HG", "JD", "JX",
    // ~HQ: a host query the printer answers.
    "HQ"};

bool IsQuiet(const std::string& name) {
    for (const char* q : kQuietCommands)
        if (name == q)
            return true;
    return false;
}

// The reader keeps at most this much of a command: big enough for the
// largest graphic in hex.
size_t ReaderLimit(const InterpreterOptions& o) { return std::max(o.maxFieldBytes, 2 * o.maxGraphicBytes + 4096); }

constexpr int kDefaultWidthInches = 4, kDefaultHeightInches = 6;
// What a stored command costs beside its text.
constexpr size_t kStoredCommandCost = 48;

}  // namespace

ZplLabelMaker::ZplLabelMaker(const InterpreterOptions& options, ZplInterpreter::LogSink log)
    : m_Options(options),
      m_Log(std::move(log)),
      m_Reader(ReaderLimit(options)),
      m_Fonts(double(options.dpi) / std::max(1, options.sourceDpi), options.maxCanvasDots) {}

void ZplLabelMaker::Log(const std::string& text) {
    if (m_Log)
        m_Log(text);
}

void ZplLabelMaker::Problem(const std::string& text) {
    if (m_Options.problems)
        m_Options.problems(m_Offset, text);
    if (m_InLabel)
        m_Label.problems.push_back(text);
    else
        Log(text);
}

double ZplLabelMaker::Scale() const {
    if (m_Stream.formatDpi > 0)
        return m_Stream.formatScale;
    return double(m_Options.dpi) / std::max(1, m_Options.sourceDpi);
}

int ZplLabelMaker::ToDots(double value) const {
    double dots = value;
    // Inches and millimetres at the format's resolution (8 dots/mm at 203 dpi).
    const int formatDpi = m_Stream.formatDpi > 0 ? m_Stream.formatDpi : m_Options.sourceDpi;
    if (m_Stream.units == 'I')
        dots = value * formatDpi;
    else if (m_Stream.units == 'M')
        dots = value * std::round(formatDpi / 25.4);
    dots *= Scale();
    return int(std::lround(std::max(-1e8, std::min(1e8, dots))));
}

int ZplLabelMaker::FontDots(double value) const { return std::clamp(ToDots(value), 1, kMaxFontDots); }

bool ZplLabelMaker::Store(size_t bytes, const std::string& what) {
    if (m_Stream.storedBytes + bytes > m_Options.maxStoredBytes) {
        Problem(what + " is not stored: stored graphics and formats would take more than " +
                std::to_string(m_Options.maxStoredBytes) + " bytes");
        return false;
    }
    m_Stream.storedBytes += bytes;
    return true;
}

ZplBitmap& ZplLabelMaker::Page() {
    // Made at the first drawing: ^PW and ^LL usually come after ^XA.
    if (m_Label.page.Width() > 0 || m_CanvasRefused)
        return m_Label.page;
    long width = m_Options.width, height = m_Options.height;
    const auto fallback = [this](int dots, int inches) { return dots > 0 ? long(dots) : long(inches) * m_Options.dpi; };
    if (width <= 0)
        width = m_Stream.printWidth > 0 ? m_Stream.printWidth : fallback(m_Options.fallbackWidth, kDefaultWidthInches);
    if (height <= 0)
        height =
            m_Stream.labelLength > 0 ? m_Stream.labelLength : fallback(m_Options.fallbackHeight, kDefaultHeightInches);
    if (double(width) * double(height) > double(m_Options.maxCanvasDots)) {
        m_CanvasRefused = true;
        Problem("the label's canvas of " + std::to_string(width) + " x " + std::to_string(height) +
                " dots is over the limit of " + std::to_string(m_Options.maxCanvasDots) + " dots: not drawn");
        return m_Label.page;
    }
    m_Label.page = ZplBitmap(int(width), int(height));
    return m_Label.page;
}

void ZplLabelMaker::BeginLabel() {
    m_InLabel = true;
    m_Label = Label();
    m_Label.number = m_Labels + 1;
    m_CanvasRefused = false;
    m_Storing.clear();
    m_Stored.clear();
    m_StoringBytes = 0;
    m_Recalled.clear();
    m_Filled.clear();
    m_Field = FieldState();
    m_PenX = m_PenY = 0;
    m_LastFont.reset();
}

void ZplLabelMaker::EndLabel(bool closed) {
    if (m_Field.positioned || m_Field.hasData || m_Field.kind != FieldState::Kind::None)
        EndField();
    if (!m_Recalled.empty()) {
        const auto format = m_Stream.formats.find(m_Recalled);
        if (format == m_Stream.formats.end()) {
            Problem("the format " + m_Recalled + " (^XF) was never stored");
        } else {
            const std::vector<ZplCommand> commands = format->second;
            m_Replaying = true;
            for (const ZplCommand& c : commands)
                Execute(c);
            if (m_Field.positioned || m_Field.hasData || m_Field.kind != FieldState::Kind::None)
                EndField();
            m_Replaying = false;
        }
        m_Recalled.clear();
    }
    m_InLabel = false;
    if (!m_Storing.empty()) {
        // ^DF: the label was a format to keep, not to print.
        if (Store(m_StoringBytes, "the format " + m_Storing))
            m_Stream.formats[m_Storing] = std::move(m_Stored);
        m_Storing.clear();
        return;
    }
    m_Labels++;
    if (!closed)
        m_Label.problems.push_back("the label has no ^XZ: drawn as far as it went");
    if (m_CanvasRefused) {
        Log("label " + std::to_string(m_Label.number) + " is not drawn: " + m_Label.problems.front());
        return;
    }
    Page();
    // On a canvas the caller named, a narrower ^PW label sits in the middle,
    // as the reference viewer draws it.
    const int margin = (m_Label.page.Width() - m_Stream.printWidth) / 2;
    if (m_Options.width > 0 && m_Stream.printWidth > 0 && margin > 0) {
        ZplBitmap centred(m_Label.page.Width(), m_Label.page.Height());
        centred.Draw(m_Label.page, margin, 0);
        m_Label.page = std::move(centred);
    }
    if (m_Stream.inverted)
        m_Label.page = m_Label.page.Turned(2);
    m_Label.settings.copies = std::max(1, m_Label.settings.copies);
    m_Label.printWidth = m_Stream.printWidth;
    m_Label.labelLength = m_Stream.labelLength;
    for (const std::string& p : m_Label.problems)
        Log("label " + std::to_string(m_Label.number) + ": " + p);
    if (m_Sink && !(*m_Sink)(m_Label))
        m_Stopped = true;
}

void ZplLabelMaker::Run(const ZplCommand& command) {
    if (m_Stopped)
        return;
    m_Offset = command.offset;
    if (m_Options.commands)
        m_Options.commands(command);
    const bool framing = command.prefix == '^' && (command.name == "XA" || command.name == "XZ");
    if (m_InLabel && !m_Storing.empty() && !framing) {
        // Counted as it grows: a format without its ^XZ must not take all memory.
        m_StoringBytes += command.name.size() + command.params.size() + kStoredCommandCost;
        if (m_Stream.storedBytes + m_StoringBytes > m_Options.maxStoredBytes) {
            Problem("the format " + m_Storing + " is not stored: stored graphics and formats would take more than " +
                    std::to_string(m_Options.maxStoredBytes) + " bytes");
            m_Storing.clear();
            m_Stored.clear();
            m_Stored.shrink_to_fit();
            return;
        }
        m_Stored.push_back(command);
        return;
    }
    Execute(command);
}

void ZplLabelMaker::Execute(const ZplCommand& command) {
    const std::string& name = command.name;
    // A recalled format draws into the label that recalls it, once.
    if (m_Replaying && (name == "XA" || name == "XZ" || name == "XF" || name == "DF"))
        return;
    if (command.prefix == '^' && name == "XA") {
        if (m_InLabel)
            EndLabel(false);
        if (m_Labels >= m_Options.maxLabels) {
            Log("the stream has more than " + std::to_string(m_Options.maxLabels) + " labels: the rest are not drawn");
            m_Stopped = true;
            return;
        }
        BeginLabel();
        m_Label.settings = m_Stream.settings;
        m_Label.settings.copies = 1;
        return;
    }
    if (command.prefix == '^' && name == "XZ") {
        if (m_InLabel)
            EndLabel(true);
        return;
    }
    // ^FD's text may hold the delimiter: fields take their parameters whole.
    const ZplParams p(command.params, m_Reader.Delimiter());
    if (ExecuteState(name, p, command))
        return;
    if (command.prefix == '^' && ExecuteField(name, p, command))
        return;
    if (IsQuiet(name))
        return;
    const std::string shown = std::string(1, command.prefix) + name;
    if (m_Options.strict)
        Problem("ZPL command " + shown + " is not one the interpreter knows");
    else if (m_Unknown.insert(shown).second)
        Log("ZPL command " + shown + " is not supported; skipped");
}

bool ZplLabelMaker::ExecuteState(const std::string& name, const ZplParams& p, const ZplCommand& command) {
    StreamState& s = m_Stream;
    PrintSettings& settings = m_InLabel ? m_Label.settings : s.settings;
    if (name == "CC" || name == "CT" || name == "CD")
        return true;  // the reader has taken them
    if (name == "LH") {
        s.homeX = ToDots(p.Number(0, 0));
        s.homeY = ToDots(p.Number(1, 0));
    } else if (name == "LS") {
        s.shiftLeft = ToDots(p.Number(0, 0));
    } else if (name == "LT") {
        s.shiftTop = ToDots(p.Number(0, 0));
    } else if (name == "PW") {
        if (p.Has(0))
            s.printWidth = std::max(0, ToDots(p.Number(0, 0)));
    } else if (name == "LL") {
        if (p.Has(0))
            s.labelLength = std::max(0, ToDots(p.Number(0, 0)));
    } else if (name == "CF") {
        const std::string& f = p.Text(0);
        if (!f.empty() && !std::isspace(static_cast<unsigned char>(f[0])))
            s.defaultFont.name = char(std::toupper(static_cast<unsigned char>(f[0])));
        if (p.Has(1))
            s.defaultFont.height = FontDots(p.Number(1, 0));
        if (p.Has(2))
            s.defaultFont.width = FontDots(p.Number(2, 0));
        else if (p.Has(1))
            s.defaultFont.width = 0;
    } else if (name == "BY") {
        // Module widths are whole dots, at least one, after scaling.
        if (p.Has(0))
            s.bars.moduleWidth = std::max(1, std::min(ToDots(p.Number(0, 2)), int(std::lround(10 * Scale()))));
        if (p.Has(1))
            s.bars.ratio = std::max(2.0, std::min(3.0, p.Number(1, 3)));
        if (p.Has(2))
            s.bars.height = std::max(1, ToDots(p.Number(2, 10)));
    } else if (name == "FW") {
        s.orientation = p.Letter(0, s.orientation);
        if (p.Has(1))
            s.justification = p.Int(1, 0);
    } else if (name == "PO") {
        s.inverted = p.Letter(0, 'N') == 'I';
    } else if (name == "LR" && command.prefix == '^') {
        s.reverseAll = p.Letter(0, 'N') == 'Y';
    } else if (name == "MU") {
        s.units = p.Letter(0, s.units);
        const double from = p.Number(1, 0), to = p.Number(2, 0);
        if (from >= 1 && to >= 1 && from <= 10000 && to <= 10000) {
            s.formatDpi = int(std::lround(from));
            s.formatScale = to / from;
        }
    } else if (name == "CW") {
        // A downloaded font has no glyphs here: its letter draws in font 0.
        const char letter = p.Letter(0, 0);
        if (letter)
            s.downloadedFonts.insert(letter);
    } else if (name == "CI") {
        s.charset = std::max(0, p.Int(0, 0));
    } else if (name == "PQ") {
        settings.copies = std::max(1, std::min(99999999, p.Int(0, 1)));
    } else if (name == "MD") {
        if (p.Has(0))
            settings.darknessChange = std::max(-30, std::min(30, p.Int(0, 0)));
    } else if (name == "SD") {
        if (p.Has(0))
            s.settings.darkness = settings.darkness = std::max(0, std::min(30, p.Int(0, 0)));
    } else if (name == "PR") {
        if (p.Has(0))
            settings.speed = std::max(1, std::min(14, p.Int(0, 2)));
    } else if (name == "MN") {
        if (p.Has(0))
            s.settings.tracking = settings.tracking = p.Letter(0, 'Y');
    } else if (name == "MM") {
        if (p.Has(0))
            s.settings.mode = settings.mode = p.Letter(0, 'T');
    } else if (name == "MT") {
        if (p.Has(0))
            s.settings.mediaType = settings.mediaType = p.Letter(0, 'T');
    } else if (name == "DG") {
        const ZplParams d(command.params, m_Reader.Delimiter(), 4);
        const std::string object = StoredName(d.Text(0));
        ZplBitmap image;
        const std::string problem = GraphicData(command, 'A', d.Count(1), d.Count(2), d.Text(3), image);
        if (!problem.empty())
            Problem("the graphic " + object + " (~DG) is not stored: " + problem);
        else if (Store(image.RowBytes() * size_t(image.Height()), "the graphic " + object))
            s.graphics[object] = std::move(image);
    } else if (name == "DF") {
        if (m_InLabel)
            m_Storing = StoredName(p.Text(0));
    } else if (name == "XF") {
        if (m_InLabel)
            m_Recalled = StoredName(p.Text(0));
    } else if (name == "ID" || name == "EG") {
        // Deleting stored objects: only what the name says.
        const std::string object = StoredName(p.Text(0));
        s.graphics.erase(object);
    } else {
        return false;
    }
    return true;
}

bool ZplLabelMaker::Feed(const char* data, size_t size, const ZplInterpreter::LabelSink& sink) {
    m_Sink = &sink;
    m_Reader.Feed(data, size, [this](const ZplCommand& c) { Run(c); });
    m_Sink = nullptr;
    return !m_Stopped;
}

bool ZplLabelMaker::Finish(const ZplInterpreter::LabelSink& sink) {
    m_Sink = &sink;
    m_Reader.Finish([this](const ZplCommand& c) { Run(c); });
    m_Offset = m_Reader.Fed();
    if (m_InLabel && !m_Stopped)
        EndLabel(false);
    m_Sink = nullptr;
    return !m_Stopped;
}

class ZplInterpreter::Impl : public ZplLabelMaker {
public:
    using ZplLabelMaker::ZplLabelMaker;
};

ZplInterpreter::ZplInterpreter(const InterpreterOptions& options, LogSink log)
    : m_Impl(new Impl(options, std::move(log))) {}
ZplInterpreter::~ZplInterpreter() = default;

bool ZplInterpreter::Feed(const char* data, size_t size, const LabelSink& sink) {
    return m_Impl->Feed(data, size, sink);
}

bool ZplInterpreter::Finish(const LabelSink& sink) { return m_Impl->Finish(sink); }

bool LooksLikeZpl(const void* data, size_t size) {
    // The first real command decides; prefix changes and whitespace before it do not.
    const char* text = static_cast<const char*>(data);
    const size_t limit = std::min(size, size_t(4096));
    bool found = false, decided = false;
    const auto first = [&](const ZplCommand& c) {
        if (decided || c.name == "CC" || c.name == "CT" || c.name == "CD")
            return;
        decided = true;
        static const char* const kFirst[] = {"XA", "XZ", "DG", "SD", "DF", "XF", "JA", "CI", "LH", "PW", "MU",
                                             "MN", "MT", "MM", "PO", "PR", "JS", "TA", "JU", "LT", "LS", "PM",
                                             "FX", "LL", "DY", "DB", "EG", "JM", "MD", "PQ", "JC", "LR", "CF"};
        for (const char* f : kFirst)
            if (c.name == f)
                found = true;
    };
    ZplReader reader(64);
    reader.Feed(text, limit, first);
    reader.Finish(first);
    // Text before the first command other than whitespace is not ZPL.
    for (size_t i = 0; i < limit; i++) {
        const char c = text[i];
        if (c == '^' || c == '~')
            break;
        if (!std::isspace(static_cast<unsigned char>(c)) && !(i + 3 <= limit && std::memcmp(text + i, "CT~", 3) == 0))
            return false;
        if (c == 'C')
            i += 2;
    }
    return found;
}

}  // namespace zpl
