#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<uint8_t>;

// A directory under /tmp removed with everything in it when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// How long a wait for work whose speed varies may last before it counts as
// a hang: reached only when something is stuck, even under a sanitizer on a
// machine whose cores other work shares. Waits poll and end as soon as what
// they wait for has happened.
constexpr int kHangMs = 120000;
// Polls `done` until it holds (true) or `limitMs` have passed (false).
bool WaitUntil(const std::function<bool()>& done, int limitMs = kHangMs);

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& data);
void WriteFile(const std::string& path, const std::string& text);

// One raster page: the header fields the filter reads, and its lines.
struct RasterPage {
    unsigned width = 0, height = 0, bitsPerPixel = 1, bytesPerLine = 0;  // 0: computed
    unsigned xdpi = 203, ydpi = 203;
    cups_cspace_t colorSpace = CUPS_CSPACE_W;
    Bytes data;  // bytesPerLine x height bytes; empty: all white
    // Points; 0: the raster's own size, and no imaging box.
    unsigned pageSize[2] = {0, 0};
    unsigned imagingBox[4] = {0, 0, 0, 0};

    cups_page_header2_t Header() const;
};

// A 1-bit page of the given size whose pixels come from `black(x, y)`.
RasterPage MakeBitPage(unsigned width, unsigned height, bool (*black)(unsigned x, unsigned y), unsigned dpi = 203);

// Writes pages with libcups's raster writer. `mode` CUPS_RASTER_WRITE gives the
// uncompressed stream whose headers PatchHeader can change afterwards.
void WriteRaster(const std::string& path, const std::vector<RasterPage>& pages,
                 cups_mode_t mode = CUPS_RASTER_WRITE_COMPRESSED);
Bytes RasterBytes(const std::vector<RasterPage>& pages, cups_mode_t mode = CUPS_RASTER_WRITE_COMPRESSED);

// Overwrites one 32-bit header field of page `page` in an uncompressed stream.
void PatchHeader(Bytes& stream, const std::vector<RasterPage>& pages, size_t page, size_t fieldOffset, uint32_t value);

// A PPD option: keyword, choice keywords, default choice.
struct PpdOption {
    std::string keyword;
    std::vector<std::string> choices;
    std::string defaultChoice;
};

struct PpdSpec {
    int modelNumber = 20;
    std::string modelName = "Quorvant TSPL Test";  // empty: no *ModelName line
    std::string personality = "TSPL";              // empty: no *Personality line
    std::vector<PpdOption> options;
};

std::string PpdText(const PpdSpec& ppdSpec);
// The eighteen options the filter reads, each with choices covering what the
// tests mark and the defaults given (keyword -> default choice).
std::vector<PpdOption> FilterOptions(const std::map<std::string, std::string>& defaults = {});

std::string Hex(const uint8_t* data, size_t n);
// gtest assertion text: empty when equal, else the first differing offset
// and a short hex dump of both sides.
std::string DiffBytes(const Bytes& expected, const Bytes& actual);

Bytes ToBytes(const std::string& text);
Bytes Concat(std::initializer_list<Bytes> parts);

}  // namespace testing_support
