#include "preview/CPreviewTool.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "preview/CZplDecoder.h"
#include "preview/PngWriter.h"
#include "preview/PreviewLanguages.h"
#include "preview/ZplPreview.h"
#include "zpl/ZplInterpreter.h"

namespace {

const char* kName = "quorvant-preview";
// ZPL, the Zebra family's language, is drawn by the preview as carriers'
// labels are, with a canvas of --size; the family's decoder is the same
// interpreter, reading strictly.
const char* kZpl = CZplDecoder::kLanguage;

}  // namespace

int CPreviewTool::Usage() {
    std::fprintf(m_bHelp ? m_pOut : m_pErr,
                 "Usage: %s [--png PREFIX] [--lang %s] [--dpi N] [--size WxH] [FILE]\n"
                 "Decodes a printer stream from FILE (or standard input, also as -), prints its commands\n"
                 "and a summary of every page, and with --png writes the pages as PREFIX-1.png, ...\n"
                 "--dpi gives the resolution for the sizes in millimetres (default 203).\n"
                 "ZPL labels are drawn at --dpi on a canvas of --size (dots, or with in or mm: 813x1626,\n"
                 "4x6in, 100x150mm; default: the label's ^PW and ^LL, else 4 x 6 in).\n",
                 kName, PreviewLanguages::Joined(PreviewLanguages::Names(), "|", "|").c_str());
    return m_bHelp ? 0 : 2;
}

bool CPreviewTool::ParseArguments(int argc, char** argv) {
    bool haveFile = false;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--png" || arg == "--lang" || arg == "--dpi" || arg == "--size";
        if (takesValue && i + 1 >= argc) {
            std::fprintf(m_pErr, "%s: %s needs a value\n", kName, arg.c_str());
            return false;
        }
        if (arg == "--png") {
            m_strPngPrefix = argv[++i];
        } else if (arg == "--lang") {
            m_strLanguage = argv[++i];
            if (!PreviewLanguages::Create(m_strLanguage)) {
                std::fprintf(m_pErr, "%s: unknown language \"%s\"\n", kName, m_strLanguage.c_str());
                return false;
            }
        } else if (arg == "--size") {
            m_strSize = argv[++i];
        } else if (arg == "--dpi") {
            char* end = nullptr;
            const long dpi = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || dpi < 1 || dpi > 10000) {
                std::fprintf(m_pErr, "%s: --dpi needs a resolution of 1 to 10000, not \"%s\"\n", kName, argv[i]);
                return false;
            }
            m_iDpi = static_cast<int>(dpi);
        } else if ((arg.size() > 1 && arg[0] == '-') || haveFile) {
            m_bHelp = arg == "-h" || arg == "--help";
            if (!m_bHelp)
                std::fprintf(m_pErr, "%s: unexpected argument \"%s\"\n", kName, arg.c_str());
            return false;
        } else {
            m_strFile = arg;
            haveFile = true;
        }
    }
    return true;
}

bool CPreviewTool::ReadInput(std::vector<uint8_t>& data) {
    const bool useStdin = m_strFile.empty() || m_strFile == "-";
    std::FILE* file = useStdin ? stdin : std::fopen(m_strFile.c_str(), "rb");
    if (!file) {
        std::fprintf(m_pErr, "%s: cannot open %s: %s\n", kName, m_strFile.c_str(), std::strerror(errno));
        return false;
    }
    uint8_t block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0)
        data.insert(data.end(), block, block + n);
    const bool failed = std::ferror(file) != 0;
    if (failed)
        std::fprintf(m_pErr, "%s: cannot read %s: %s\n", kName, useStdin ? "standard input" : m_strFile.c_str(),
                     std::strerror(errno));
    if (!useStdin)
        std::fclose(file);
    return !failed;
}

void CPreviewTool::Report(const CPreviewDecoder& decoder) {
    for (const PreviewCommand& command : decoder.Commands())
        std::fprintf(m_pOut, "%8zu  %s\n", command.offset, command.text.c_str());
    const double dotsPerMm = m_iDpi / 25.4;
    int number = 1;
    for (const CPreviewPage& page : decoder.Pages()) {
        std::fprintf(m_pOut, "Page %d: %d x %d dots (%.2f x %.2f mm at %d dpi), %zu black dots\n", number++,
                     page.Width(), page.Height(), page.Width() / dotsPerMm, page.Height() / dotsPerMm, m_iDpi,
                     page.BlackDots());
        std::fprintf(m_pOut, "  settings: %s\n", page.SettingsText().c_str());
    }
}

bool CPreviewTool::WritePages(const CPreviewDecoder& decoder) {
    bool ok = true;
    int number = 1;
    for (const CPreviewPage& page : decoder.Pages()) {
        const std::string path = m_strPngPrefix + "-" + std::to_string(number++) + ".png";
        if (page.Width() == 0 || page.Height() == 0) {
            std::fprintf(m_pOut, "Page %d has no dots: no %s\n", number - 1, path.c_str());
            continue;
        }
        std::string error;
        if (WritePng(page, path, error)) {
            std::fprintf(m_pOut, "Wrote %s\n", path.c_str());
        } else {
            std::fprintf(m_pErr, "%s: cannot write %s: %s\n", kName, path.c_str(), error.c_str());
            ok = false;
        }
    }
    return ok;
}

int CPreviewTool::Run(int argc, char** argv) {
    if (!ParseArguments(argc, argv))
        return Usage();
    std::vector<uint8_t> data;
    if (!ReadInput(data))
        return 2;
    const std::string source = m_strFile.empty() || m_strFile == "-" ? "standard input" : m_strFile;
    std::string language = m_strLanguage;
    // ZPL first: the strict test, where TSPL's (a capital letter first)
    // would take the "CT~~CD,~CC^~CT~" prefix carriers write.
    if (language.empty() && zpl::LooksLikeZpl(data.data(), data.size()))
        language = kZpl;
    if (language.empty())
        language = PreviewLanguages::Detect(data.data(), data.size());
    if (language == kZpl)
        return ZplPreview::Run(data, source, {m_iDpi, m_strSize, m_strPngPrefix}, m_pOut, m_pErr);
    if (language.empty()) {
        CByteReader in(data.data(), data.size());
        std::fprintf(m_pErr, "%s: %s: byte 0: expected the start of a %s stream, found %s\n", kName, source.c_str(),
                     PreviewLanguages::Joined(PreviewLanguages::Personalities(), ", ", " or ").c_str(),
                     data.empty() ? "an empty input" : in.Describe(0, 8).c_str());
        return 1;
    }
    std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(language);
    const bool wellFormed = decoder->Decode(data.data(), data.size());
    std::fprintf(m_pOut, "%s: %s stream, %zu bytes\n", source.c_str(), language.c_str(), data.size());
    Report(*decoder);
    const bool written = m_strPngPrefix.empty() || WritePages(*decoder);
    std::fflush(m_pOut);
    if (!wellFormed) {
        std::fprintf(m_pErr, "%s: %s: %s\n", kName, source.c_str(), decoder->Error().Message().c_str());
        return 1;
    }
    return written ? 0 : 2;
}
