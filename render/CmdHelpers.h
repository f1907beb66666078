#pragma once

#include <cstdint>

#include "render/CMyBuffer.h"

// Pieces every printer language builds its commands from. Builders append
// to a byte buffer and never do I/O.
namespace CmdHelpers {

// Millimetres to dots as the printer languages convert feeds and reference
// points: mm x dpi / 25.4 in double precision, truncated toward zero.
int MmToDots(int mm, int dpi);

// Appends `text` and the CR LF that ends every TSPL and CPCL line.
void AppendLine(NS_KT_CLASS::CMyBuffer& buffer, const char* text);
void AppendCRLF(NS_KT_CLASS::CMyBuffer& buffer);
// printf-style text without terminator.
void AppendFormat(NS_KT_CLASS::CMyBuffer& buffer, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Fixed-width binary numbers; only the low bits of `value` are sent.
void AppendLE16(NS_KT_CLASS::CMyBuffer& buffer, uint32_t value);
void AppendLE32(NS_KT_CLASS::CMyBuffer& buffer, uint32_t value);
void AppendBE16(NS_KT_CLASS::CMyBuffer& buffer, uint32_t value);
void AppendBE32(NS_KT_CLASS::CMyBuffer& buffer, uint32_t value);

}  // namespace CmdHelpers

#include <vector>

namespace CmdHelpers {

// Splits a paper feed of `dots` into the steps of a feed command whose count
// has a limit (255 for a one-byte count): a feed up to the limit is one step
// (0 included), a longer one as many full steps as fit and then the rest when
// it is not 0. A negative feed has no steps: it must not wrap into a long one.
std::vector<int> SplitFeed(int dots, int maxStep);

}  // namespace CmdHelpers
