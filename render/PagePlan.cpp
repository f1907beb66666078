#include "render/PagePlan.h"

#include "render/AreaScale.h"

namespace {

// A page too wide to shrink row by row is fitted, if at all, once it is read.
bool Fits(const CBaseRender& render, const PageAssembly::Placement& frame, uint32_t& width, uint32_t& height) {
    return frame.mediaWidth <= AreaScale::RowShrinker::kMaxFromWidth &&
           render.HeadFitSize(frame.mediaWidth, frame.mediaHeight, width, height);
}

}  // namespace

PagePlan PagePlan::For(const CBaseRender& render, uint32_t rasterWidth, uint32_t rasterHeight,
                       const unsigned pageSize[2], const unsigned boundingBox[4], unsigned xdpi, unsigned ydpi,
                       unsigned bitsPerPixel) {
    PagePlan plan;
    plan.placed =
        PageAssembly::PlaceRaster(rasterWidth, rasterHeight, pageSize, boundingBox, xdpi, ydpi, plan.placement);
    if (plan.placed) {
        // A fitted media page is never built at its own size; one that is
        // must fit the image cap.
        plan.frame = plan.placement;
        plan.fitted = Fits(render, plan.frame, plan.width, plan.height);
        plan.placed = plan.fitted || PageAssembly::MediaFits(plan.placement, bitsPerPixel);
    }
    if (!plan.placed) {
        plan.frame = PageAssembly::Placement{rasterWidth, rasterHeight, 0, 0};
        plan.fitted = Fits(render, plan.frame, plan.width, plan.height);
    }
    return plan;
}
