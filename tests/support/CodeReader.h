#pragma once

#include <string>
#include <vector>

namespace testing_support {

// What zbarimg (Debian zbar-tools) reads from an image file, one symbol a
// line: "QR-Code:TEXT", or TEXT alone when `raw`. Empty, with `skipped` set,
// when zbarimg is not installed.
std::string ReadCodes(const std::string& image, bool raw, bool& skipped);

// The texts the decoders read from an image of one symbol of `format` (the
// names ZXingReader gives: "Code128", "QRCode", "DataMatrix", "PDF417" ...):
// zbarimg, ZXingReader (Debian zxing-cpp-tools) and, for Data Matrix, which
// zbarimg does not know, dmtxread (Debian dmtx-utils). One text for each
// symbol each decoder found. Empty, with `skipped` set, when one of them is
// not installed.
std::vector<std::string> ReadSymbol(const std::string& image, const std::string& format, bool& skipped);

// Why a test that reads codes did not.
const char kNoCodeReader[] = "zbarimg is not installed (Debian zbar-tools): the codes are not read";
const char kNoSymbolReaders[] =
    "zbarimg, ZXingReader or dmtxread is not installed (Debian zbar-tools, zxing-cpp-tools, dmtx-utils)";

}  // namespace testing_support
