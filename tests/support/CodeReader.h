#pragma once

#include <string>

namespace testing_support {

// What zbarimg (Debian zbar-tools) reads from an image file, one symbol a
// line: "QR-Code:TEXT", or TEXT alone when `raw`. Empty, with `skipped` set,
// when zbarimg is not installed.
std::string ReadCodes(const std::string& image, bool raw, bool& skipped);

// Why a test that reads codes did not.
const char kNoCodeReader[] = "zbarimg is not installed (Debian zbar-tools): the codes are not read";

}  // namespace testing_support
