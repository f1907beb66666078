#include "render/PagePath.h"

#include <cstring>

#include "image/CxImage.h"

namespace PagePath {

bool Check(const PageHeader& header, std::string& problem, bool& skippable) {
    const unsigned long long width = header.width;
    const unsigned long long height = header.height;
    const unsigned long long bpp = header.bitsPerPixel;
    const unsigned long long bytesPerLine = header.bytesPerLine;
    skippable = true;

    if (width == 0 || height == 0) {
        problem = "zero width or height";
        return false;
    }
    if (header.xdpi == 0 || header.xdpi > kMaxResolution) {
        problem = "horizontal resolution out of range";
        return false;
    }
    if (header.ydpi == 0 || header.ydpi > kMaxResolution) {
        problem = "vertical resolution out of range";
        return false;
    }
    const unsigned long long needed = (width * bpp + 7) / 8;
    if (bytesPerLine < needed) {
        problem = "bytes per line too small for the width";
        return false;
    }
    if (bytesPerLine > needed + kBytesPerLineSlack) {
        problem = "bytes per line too large for the width";
        skippable = false;
        return false;
    }
    if (bytesPerLine * height > kMaxPageBytes) {
        problem = "page data too large";
        skippable = false;
        return false;
    }
    // 32-bit pixels are stored as 24 bits plus a byte of the opacity plane.
    const unsigned long long imageBits = bpp > 24 ? 32 : bpp > 8 ? 24 : bpp;
    if (width * height * imageBits / 8 > static_cast<unsigned long long>(CxImage::kMaxMemory)) {
        problem = "page image too large";
        return false;
    }
    return true;
}

PagePlan Plan(const CBaseRender& render, const PageHeader& header, unsigned bitsPerPixel) {
    return PagePlan::For(render, header.width, header.height, header.pageSize, header.boundingBox, header.xdpi,
                         header.ydpi, bitsPerPixel);
}

void Paint(CBaseRender& render, const PagePlan& plan, bool placedWhileRead, const PageHeader& header) {
    auto logPlacement = [&] {
        const PageAssembly::Placement& p = plan.placement;
        render.AddLog("raster of %u x %u dots placed at %u,%u on media of %u x %u dots", header.width, header.height,
                      p.left, p.top, p.mediaWidth, p.mediaHeight);
    };
    if (placedWhileRead) {
        if (plan.placed)
            logPlacement();
        if (plan.fitted)
            render.ReportFit(plan.frame.mediaWidth, plan.frame.mediaHeight, plan.width, plan.height);
    } else if (plan.placed && render.PlaceAndFit(&plan.placement)) {
        logPlacement();
    }
    render.OnStartPage();
    render.OnBeginBmp();
    render.OnPaintBmp();
    render.OnEndBmp();
}

void PaintAgain(CBaseRender& render) {
    render.OnStartPage();
    render.OnPaintBmp();
    render.OnEndBmp();
    render.OnEndPage();
}

}  // namespace PagePath

bool CGrayPage::Start(const PageHeader& header, const PagePlan& plan, CxImage& image) {
    m_image = &image;
    m_rows = 0;
    m_height = header.height;
    const PageAssembly::Placement& frame = plan.frame;
    // Placed or fitted pages go through the shrinker (at its own size when
    // only placed); a frame too wide for it is read as it is and placed after.
    m_shrinking = (plan.placed || plan.fitted) && frame.mediaWidth <= AreaScale::RowShrinker::kMaxFromWidth;
    if (m_shrinking)
        return m_shrinker.Start(frame.mediaWidth, frame.mediaHeight, frame.left, frame.top, header.width, header.height,
                                plan.fitted ? plan.width : frame.mediaWidth,
                                plan.fitted ? plan.height : frame.mediaHeight, image);
    if (!image.Create(header.width, header.height, 8, 0))
        return false;
    image.SetGrayPalette();
    std::memset(image.GetBits(0), 0xFF, static_cast<size_t>(image.GetEffWidth()) * header.height);
    return true;
}

uint8_t* CGrayPage::Row() { return m_shrinking ? m_shrinker.RasterRow() : m_image->GetBits(m_rows); }

void CGrayPage::AddRow() {
    if (m_rows >= m_height)
        return;
    if (m_shrinking)
        m_shrinker.AddRasterRow();
    m_rows++;
}

void CGrayPage::Finish() {
    if (m_shrinking)
        m_shrinker.Finish();
}
