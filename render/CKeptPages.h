#pragma once

#include <cstddef>
#include <vector>

#include "image/CxImage.h"
#include "render/CBaseRender.h"
#include "render/CCopyRecording.h"
#include "render/RenderSettings.h"

// The pages of a job in a language whose page bytes cannot be sent again
// (CBaseRender::kPagesReplay false), kept as the renderer drew them, to be
// drawn again for the job's collated copies: the prepared image and the
// settings of each page, and the copies it had in a row. Such a renderer
// draws a page from these alone: the page is drawn again without its
// header (render/ sees no CUPS header to keep). Kept up to
// the cap of a copy recording: past it nothing more is kept, and
// Overflowed() tells the host that these copies cannot be made.
class CKeptPages {
public:
    explicit CKeptPages(size_t cap = CCopyRecording::kMaxBytes) : m_cap(cap) {}

    // Keeps the page `render` drew last, which it sent `times` times in a row.
    void Keep(const CBaseRender& render, int times);
    bool Overflowed() const { return m_overflowed; }
    // Draws every kept page again, in order, `times` times over; the
    // renderer is left with the last page's settings.
    void DrawAgain(CBaseRender& render, int times);

private:
    struct Page {
        CxImage image;  // its resolution the page's
        tagREGSTRUCT reg;
        tagREGSTRUCTWITHALFTONE tone;
        tagEXTENSIONSTRUCT extension;
        int times;
    };
    size_t m_cap;
    size_t m_bytes = 0;
    bool m_overflowed = false;
    std::vector<Page> m_pages;
};
