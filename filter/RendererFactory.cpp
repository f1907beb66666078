#include "filter/RendererFactory.h"

#include "filter/CCupsRender.h"
#include "printers/CPrinterCPCL.h"
#include "printers/CPrinterESCPOS.h"
#include "printers/CPrinterSolvane.h"
#include "printers/CPrinterTSPL.h"
#include "printers/CPrinterTavrin.h"

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
    {20, &Make<CPrinterTSPL>},   {21, &Make<CPrinterESCPOS>},  {22, &Make<CPrinterCPCL>},
    {23, &Make<CPrinterTavrin>}, {24, &Make<CPrinterSolvane>},
};

}  // namespace

CBaseRender* CreateRenderer(int modelNumber) {
    for (const RendererEntry& entry : kRenderers)
        if (entry.modelNumber == modelNumber)
            return entry.create();
    return nullptr;
}
