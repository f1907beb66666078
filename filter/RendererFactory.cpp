#include "filter/RendererFactory.h"

#include "filter/CCupsRender.h"
#include "printers/CPrinterTSPL.h"

namespace {

template <class T>
CBaseRender* Make() {
    return new CCupsRender<T>();
}

struct RendererEntry {
    int modelNumber;
    CBaseRender* (*create)();
};

const RendererEntry kRenderers[] = {
    {20, &Make<CPrinterTSPL>},
};

}  // namespace

CBaseRender* CreateRenderer(int modelNumber) {
    for (const RendererEntry& entry : kRenderers)
        if (entry.modelNumber == modelNumber)
            return entry.create();
    return nullptr;
}
