#include "render/CKeptPages.h"

#include "render/PagePath.h"

void CKeptPages::Keep(const CBaseRender& render, int times) {
    if (m_overflowed)
        return;
    const CxImage& image = render.m_Image;
    const size_t bytes = static_cast<size_t>(image.GetEffWidth()) * image.GetHeight();
    if (m_bytes + bytes > m_cap) {
        m_overflowed = true;
        m_pages.clear();
        m_pages.shrink_to_fit();
        return;
    }
    m_bytes += bytes;
    m_pages.push_back({image, render.m_RegStruct, render.m_HalfTone, render.m_Extension, times});
}

void CKeptPages::DrawAgain(CBaseRender& render, int times) {
    for (int copy = 0; copy < times; copy++)
        for (Page& page : m_pages) {
            render.m_Image = page.image;
            render.m_RegStruct = page.reg;
            render.m_HalfTone = page.tone;
            render.m_Extension = page.extension;
            render.BeginPage(nullptr, static_cast<unsigned>(page.image.GetXDPI()),
                             static_cast<unsigned>(page.image.GetYDPI()));
            for (int i = 0; i < page.times; i++)
                PagePath::PaintAgain(render);
            render.EndPage();
        }
}
