#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "zpl/ZplInterpreter.h"
#include "zpl/ZplParams.h"
#include "zpl/ZplReader.h"
#include "zpl/ZplText.h"

// The interpreter's working parts: the state a stream keeps from label to
// label, the label being drawn and the field being built. Commands arrive
// one by one from the reader; ZplInterpreter.cpp runs the stream and the
// state commands, ZplFields.cpp draws the fields.
namespace zpl {

// ^BY as the label set it.
struct BarDefaults {
    int moduleWidth = 2;
    double ratio = 3.0;
    int height = 10;
};

// What lasts from label to label within a stream.
struct StreamState {
    int homeX = 0, homeY = 0;         // ^LH, page dots
    int shiftLeft = 0, shiftTop = 0;  // ^LS, ^LT
    int printWidth = 0, labelLength = 0;
    FontRequest defaultFont{'A', 0, 0};  // ^CF; 0 sizes: the font's own
    BarDefaults bars;
    char orientation = 'N';   // ^FW
    int justification = 0;    // ^FW's j: 0 left, 1 right
    bool inverted = false;    // ^PO I
    bool reverseAll = false;  // ^LR Y
    char units = 'D';         // ^MU
    // ^MU d,a,b: the format says it was written for a dpi and prints at b
    // dpi; that conversion (b / a) replaces the interpreter's dpi / sourceDpi.
    int formatDpi = 0;  // a; 0: not said
    double formatScale = 1;
    int charset = 0;                                         // ^CI
    std::set<char> downloadedFonts;                          // ^CW letters: drawn in font 0
    PrintSettings settings;                                  // all but the copies last
    std::map<std::string, ZplBitmap> graphics;               // ~DG, by name
    std::map<std::string, std::vector<ZplCommand>> formats;  // ^DF, by name
    size_t storedBytes = 0;
};

// The field being built, from its position to its ^FS.
struct FieldState {
    enum class Kind { None, Graphic, Barcode, Symbol };
    bool positioned = false, typeset = false;
    int x = 0, y = 0;
    std::optional<FontRequest> font;
    std::optional<char> orientation;
    std::optional<TextBlock> block;
    bool reverse = false;
    bool rightJustified = false;  // ^FO / ^FT z = 1: x names the field's right end
    std::optional<char> hexEscape;
    int number = -1;  // ^FN
    bool hasData = false;
    std::string data;
    bool dataTruncated = false;
    Kind kind = Kind::None;
    ZplBitmap graphic;  // Graphic: upright, in page dots
    Blend graphicBlend = Blend::Black;
    std::string graphicName;  // "box 200x100", for the field lines
    std::string barcodeCommand;
    std::vector<std::string> barcodeParams;
    char barcodeOrientation = 0;
    int symbolHeight = 0, symbolWidth = 0;  // ^GS
};

class ZplLabelMaker {
public:
    ZplLabelMaker(const InterpreterOptions& options, ZplInterpreter::LogSink log);

    bool Feed(const char* data, size_t size, const ZplInterpreter::LabelSink& sink);
    bool Finish(const ZplInterpreter::LabelSink& sink);

private:
    // ZplInterpreter.cpp: the stream, labels and state commands.
    void Run(const ZplCommand& command);
    void Execute(const ZplCommand& command);
    bool ExecuteState(const std::string& name, const ZplParams& p, const ZplCommand& command);
    void BeginLabel();
    void EndLabel(bool closed);
    void Problem(const std::string& text);
    void Log(const std::string& text);
    bool Store(size_t bytes, const std::string& what);
    int ToDots(double value) const;
    // A font height or width: ToDots within 1 and kMaxFontDots.
    int FontDots(double value) const;
    double Scale() const;
    ZplBitmap& Page();

    // ZplFields.cpp: fields.
    bool ExecuteField(const std::string& name, const ZplParams& p, const ZplCommand& command);
    void FieldOrigin(const ZplParams& p, bool typeset);
    void EndField();
    void DrawText(const std::string& bytes);
    void DrawGraphicField();
    void DrawBarcodeField(const std::string& bytes);
    FontRequest FieldFont() const;
    Blend FieldBlend(Blend base) const;
    char FieldOrientation() const;
    void AddField(const std::string& line);
    // The field's x once its justification has spoken: a right-justified
    // field `length` dots long ends at x.
    int JustifiedX(int length) const;
    // False, with a problem, for a shape of more dots than a canvas may hold.
    bool Fits(double width, double height, const std::string& what);
    void TooLarge(const std::string& what);
    // The field's drawing; a picture `inFormatDots` (^GF, ^XG) scales with
    // the page, shapes come in page dots already.
    void Graphic(ZplBitmap mask, Blend blend, const std::string& what, bool inFormatDots = false);
    // ^GF's and ~DG's data decoded into `image`; what is wrong with it, in
    // words, else empty.
    std::string GraphicData(const ZplCommand& command, char format, long totalBytes, long rowBytes,
                            const std::string& data, ZplBitmap& image) const;

    InterpreterOptions m_Options;
    ZplInterpreter::LogSink m_Log;
    ZplReader m_Reader;
    ZplFonts m_Fonts;
    StreamState m_Stream;
    std::set<std::string> m_Unknown;  // logged once each
    size_t m_Offset = 0;              // of the command being run, for the problems' sink

    // The label.
    bool m_InLabel = false;
    Label m_Label;
    bool m_CanvasRefused = false;
    int m_Labels = 0;
    bool m_Stopped = false;
    const ZplInterpreter::LabelSink* m_Sink = nullptr;
    std::string m_Storing;  // ^DF: the format being stored
    std::vector<ZplCommand> m_Stored;
    size_t m_StoringBytes = 0;
    std::string m_Recalled;               // ^XF: the format filled at ^XZ
    std::map<int, std::string> m_Filled;  // ^FN n data for it
    bool m_Replaying = false;
    FieldState m_Field;
    int m_PenX = 0, m_PenY = 0;             // where ^FT without a position goes on
    std::optional<FontRequest> m_LastFont;  // the label's last ^A: ^GS's size
};

}  // namespace zpl
