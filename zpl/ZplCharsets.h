#pragma once

#include <string>

// Field data as the label's bytes become characters: ^FH's escapes, then
// the character set ^CI picks.
namespace zpl {

// `data` with each `escape` followed by two hex digits made that byte;
// an escape without two hex digits stays as written.
std::string ResolveHexEscapes(const std::string& data, char escape);

// The characters of `data` in ^CI `charset`: 28 (and 29-36 read as UTF-8)
// UTF-8, 27 code page 1252, 0-13 code page 850 (0-12 with the national
// substitutions of the characters #0@[\]^`{|}~). Bytes that do not decode
// become U+FFFD.
std::u32string DecodeText(const std::string& data, int charset);

}  // namespace zpl
