#pragma once

#include "render/CBaseRender.h"

// The one place that maps a PPD model number to its renderer. Returns a new
// renderer with a reference count of 1, or null for a model number no
// printer family answers to.
CBaseRender* CreateRenderer(int modelNumber);
