#include "render/PagePlan.h"

PagePlan PagePlan::For(const CBaseRender& render, uint32_t rasterWidth, uint32_t rasterHeight,
                       const unsigned pageSize[2], const unsigned boundingBox[4], unsigned xdpi, unsigned ydpi) {
    PagePlan plan;
    plan.placed =
        PageAssembly::PlaceRaster(rasterWidth, rasterHeight, pageSize, boundingBox, xdpi, ydpi, plan.placement);
    plan.frame = plan.placed ? plan.placement : PageAssembly::Placement{rasterWidth, rasterHeight, 0, 0};
    plan.fitted = render.HeadFitSize(plan.frame.mediaWidth, plan.frame.mediaHeight, plan.width, plan.height);
    return plan;
}
