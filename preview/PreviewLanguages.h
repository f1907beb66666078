#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "preview/CPreviewDecoder.h"

// The printer languages the preview reads, one per printer family
// (families/Families.h): the --lang name, how a stream of it begins (the
// decoder's Begins), and its decoder.
namespace PreviewLanguages {

// The --lang names, in the families' order.
std::vector<std::string> Names();
// The languages as their printers name them ("TSPL", "ESC/POS", ...), in the
// same order.
std::vector<std::string> Personalities();
// `names` in one line: "a, b or c" with separator ", " and last " or ".
std::string Joined(const std::vector<std::string>& names, const char* separator, const char* last);
// A new decoder for `name`; null for an unknown name.
std::unique_ptr<CPreviewDecoder> Create(const std::string& name);
// The language whose streams begin as `data` does; empty when none does.
std::string Detect(const uint8_t* data, size_t size);

}  // namespace PreviewLanguages
