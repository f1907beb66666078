#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "preview/CPreviewDecoder.h"

// The one table of the printer languages the preview reads: name, how a
// stream of it begins, and its decoder.
namespace PreviewLanguages {

// The --lang names: tspl, escpos, cpcl, tavrin, solvane.
std::vector<std::string> Names();
// A new decoder for `name`; null for an unknown name.
std::unique_ptr<CPreviewDecoder> Create(const std::string& name);
// The language whose streams begin as `data` does; empty when none does.
std::string Detect(const uint8_t* data, size_t size);

}  // namespace PreviewLanguages
