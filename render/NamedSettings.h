#pragma once

#include <string>

#include "render/CBaseRender.h"

// Settings a host knows by name rather than by PPD keyword (a printer
// application's vendor attributes, its driver defaults), applied to the
// settings records in one place so that every host clamps them alike.
namespace NamedSettings {

// Sets the named number ("cut-mode", "cash-drawer", "end-feed", "pre-feed",
// "post-print", "head-dots", "max-raster-rows", "scale", "brightness",
// "contrast") clamped to its range, or the named switch ("trim-roll",
// "mirror", "negative", "edge-keeping", "no-setc") to value != 0. False for
// a name no setting has. `applied`, when given, receives what was stored.
bool Apply(CBaseRender& render, const std::string& name, int value, int* applied = nullptr);

// Halftoning methods by keyword, in the order of the PPDs' "ImageFilter"
// choices: "edge-keeping", "threshold", "floyd-steinberg", "ordered-4x4",
// "burkes", "stucki", "jarvis-judice-ninke", "sierra", "stevenson-arce",
// "bayer-4x4", "bayer-8x8", "ordered-16x16".
const char* const* HalftoneKeywords(int& count);
// Selects the method named `keyword`; false (nothing changed) for an
// unknown keyword.
bool ApplyHalftone(CBaseRender& render, const std::string& keyword);

}  // namespace NamedSettings
