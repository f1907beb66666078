#pragma once

#include <cstdint>
#include <vector>

#include "preview/CPreviewDecoder.h"

// Brother QL raster jobs: at least 200 bytes of 00 and ESC @ open a job; a
// page is ESC i z (media and row count) and the other ESC i settings, M n,
// then its rows (g 00 n, a w 01 / w 02 pair, or Z for a white row) and 0C,
// or 1A for the job's last page. Every row is as wide as the head (90 or
// 162 bytes), plain or PackBits; rows come mirrored, the first bit the
// head's first pin, and the page is given back as the label is read: as
// wide as the head, column 0 its last pin.
class CBrotherDecoder : public CPreviewDecoder {
public:
    static constexpr const char* kLanguage = "brother";
    static constexpr size_t kLeastInvalidate = 200;
    // Whether `d` begins a stream of this language: the invalidate run of
    // 00 bytes (as much of it as `d` holds).
    static bool Begins(const uint8_t* d, size_t n) {
        if (n == 0)
            return false;
        for (size_t i = 0; i < n && i < kLeastInvalidate; i++)
            if (d[i] != 0x00)
                return false;
        return true;
    }
    const char* Language() const override { return kLanguage; }

protected:
    bool Parse(CByteReader& in) override;

private:
    bool Preamble(CByteReader& in);
    bool Escape(CByteReader& in);
    bool MediaInfo(CByteReader& in);
    bool Row(CByteReader& in);
    // Reads `n` row bytes at the cursor (PackBits when the page says so)
    // into `row`, which must come to the head's width.
    bool RowData(CByteReader& in, size_t at, int n, std::vector<uint8_t>& row);
    bool PageEnd(CByteReader& in);

    bool m_bJob = false;                       // a preamble opened a job that 1A has not ended
    int m_iJobPages = 0;                       // pages of the job ended so far
    int m_iHeadBytes = 0;                      // the job's row width; 0 until a row tells it
    bool m_bMedia = false;                     // the open page has its ESC i z
    bool m_bPackBits = false;                  // the open page's rows are compressed
    uint32_t m_iAnnounced = 0;                 // ESC i z's row count
    std::vector<std::vector<uint8_t>> m_Rows;  // the open page's rows as sent; empty: Z
};
