#include "preview/CPreviewPage.h"

#include <algorithm>
#include <cstring>

bool CPreviewPage::Extend(int width, int height) {
    if (width < 0 || height < 0)
        return false;
    if (width <= m_iWidth && height <= m_iHeight)
        return true;
    const int newWidth = std::max(width, m_iWidth), newHeight = std::max(height, m_iHeight);
    const size_t newRowBytes = (size_t(newWidth) + 7) / 8;
    // A canvas without width still counts a byte per row, so its height too
    // stays bounded.
    if (size_t(newHeight) > kMaxBytes / std::max<size_t>(newRowBytes, 1))
        return false;
    const size_t oldRowBytes = RowBytes();
    if (newRowBytes == oldRowBytes) {
        m_Dots.resize(newRowBytes * newHeight, 0);
    } else if (oldRowBytes == 0) {
        m_Dots.assign(newRowBytes * newHeight, 0);
    } else {
        std::vector<uint8_t> dots(newRowBytes * newHeight, 0);
        for (int y = 0; y < m_iHeight; y++)
            std::memcpy(dots.data() + y * newRowBytes, m_Dots.data() + y * oldRowBytes, oldRowBytes);
        m_Dots.swap(dots);
    }
    m_iWidth = newWidth;
    m_iHeight = newHeight;
    return true;
}

namespace {

inline void Put(uint8_t& dst, uint8_t bits, uint8_t mask, CPreviewPage::Combine combine) {
    switch (combine) {
        case CPreviewPage::Combine::Or:
            dst |= bits & mask;
            break;
        case CPreviewPage::Combine::Xor:
            dst ^= bits & mask;
            break;
        case CPreviewPage::Combine::Overwrite:
            dst = static_cast<uint8_t>((dst & ~mask) | (bits & mask));
            break;
    }
}

}  // namespace

bool CPreviewPage::Place(int x, int y, int rowBytes, int rows, const uint8_t* data, bool setIsBlack, Combine combine) {
    if (x < 0 || y < 0 || rowBytes < 0 || rows < 0)
        return false;
    // An empty image draws nothing, and must not stretch the canvas by its
    // other side: a zero-width image of a billion rows would otherwise cost a
    // loop over every one of them.
    if (rowBytes == 0 || rows == 0)
        return true;
    const int64_t right = int64_t(x) + int64_t(rowBytes) * 8, bottom = int64_t(y) + rows;
    if (right > INT32_MAX || bottom > INT32_MAX || !Extend(static_cast<int>(right), static_cast<int>(bottom)))
        return false;
    const size_t stride = RowBytes();
    const int shift = x % 8;
    const uint8_t flip = setIsBlack ? 0x00 : 0xFF;
    for (int r = 0; r < rows; r++) {
        const uint8_t* src = data + size_t(r) * rowBytes;
        uint8_t* dst = m_Dots.data() + size_t(y + r) * stride + x / 8;
        if (shift == 0 && combine == Combine::Or) {
            for (int i = 0; i < rowBytes; i++)
                dst[i] |= src[i] ^ flip;
            continue;
        }
        for (int i = 0; i < rowBytes; i++) {
            const uint8_t v = src[i] ^ flip;
            Put(dst[i], static_cast<uint8_t>(v >> shift), static_cast<uint8_t>(0xFF >> shift), combine);
            if (shift)
                Put(dst[i + 1], static_cast<uint8_t>(v << (8 - shift)), static_cast<uint8_t>(0xFF << (8 - shift)),
                    combine);
        }
    }
    return true;
}

size_t CPreviewPage::BlackDots() const {
    size_t count = 0;
    for (uint8_t byte : m_Dots)
        count += static_cast<size_t>(__builtin_popcount(byte));
    return count;
}

void CPreviewPage::Set(const std::string& name, const std::string& value) {
    for (auto& setting : m_Settings)
        if (setting.first == name) {
            setting.second = value;
            return;
        }
    m_Settings.emplace_back(name, value);
}

void CPreviewPage::AddCount(const std::string& name, long count, const std::string& unit) {
    long total = count;
    bool found = false;
    for (auto& sum : m_Counts)
        if (sum.first == name) {
            total = sum.second += count;
            found = true;
        }
    if (!found)
        m_Counts.emplace_back(name, count);
    Set(name, std::to_string(total) + unit);
}

std::string CPreviewPage::SettingsText() const {
    std::string text;
    for (const auto& setting : m_Settings) {
        if (!text.empty())
            text += ", ";
        text += setting.first + " " + setting.second;
    }
    return text.empty() ? "none" : text;
}
