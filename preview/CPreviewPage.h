#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One printed page as a decoder sees it: a 1-bit dot canvas in which a SET
// bit is a black dot (leftmost dot in the most significant bit, rows of
// RowBytes() bytes, row 0 at the top), and the settings its commands made.
// Every language's polarity is turned into this one at the decoder.
class CPreviewPage {
public:
    // How placed bits combine with the dots already on the canvas.
    enum class Combine { Or, Overwrite, Xor };

    // The largest canvas a page may grow to; a stream asking for more is
    // refused rather than allowed to exhaust memory.
    static const size_t kMaxBytes = size_t(1) << 30;

    int Width() const { return m_iWidth; }
    int Height() const { return m_iHeight; }
    int RowBytes() const { return (m_iWidth + 7) / 8; }
    const uint8_t* Row(int y) const { return m_Dots.data() + size_t(y) * RowBytes(); }
    const std::vector<uint8_t>& Dots() const { return m_Dots; }

    // Grows the canvas (new dots white) to at least width x height; false
    // when that would pass kMaxBytes.
    bool Extend(int width, int height);

    // Puts `rows` rows of `rowBytes` bytes at dot (x, y), growing the canvas
    // to cover them. `setIsBlack` false: the data has a clear bit for a black
    // dot. False when the canvas would pass kMaxBytes.
    bool Place(int x, int y, int rowBytes, int rows, const uint8_t* data, bool setIsBlack,
               Combine combine = Combine::Or);
    // Places the rows under the ones already there, at x 0: consecutive
    // images of one page print one after the other.
    bool Stack(int rowBytes, int rows, const uint8_t* data) { return Place(0, m_iHeight, rowBytes, rows, data, true); }

    // Makes every dot white again (a printer clearing its image buffer).
    void ClearDots() { m_Dots.assign(m_Dots.size(), 0); }

    size_t BlackDots() const;

    // Settings seen, in the order first seen; setting one again replaces its
    // value in place, AddCount sums numbers ("feed" 255 + 8 dots).
    void Set(const std::string& name, const std::string& value);
    void AddCount(const std::string& name, long count, const std::string& unit);
    const std::vector<std::pair<std::string, std::string>>& Settings() const { return m_Settings; }
    std::string SettingsText() const;

    // Whether an image command has drawn on this page.
    bool HasImage() const { return m_bImage; }
    void MarkImage() { m_bImage = true; }

private:
    int m_iWidth = 0, m_iHeight = 0;
    std::vector<uint8_t> m_Dots;
    std::vector<std::pair<std::string, std::string>> m_Settings;
    std::vector<std::pair<std::string, long>> m_Counts;  // running sums behind AddCount
    bool m_bImage = false;
};
