#include "render/CmdHelpers.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace CmdHelpers {

int MmToDots(int mm, int dpi) { return static_cast<int>(static_cast<double>(mm) * dpi / 25.4); }

void AppendCRLF(NS_KT_CLASS::CMyBuffer& buffer) { buffer.AddBuffer("\r\n", 2); }

void AppendLine(NS_KT_CLASS::CMyBuffer& buffer, const char* text) {
    buffer.AddStringA(text);
    AppendCRLF(buffer);
}

void AppendFormat(NS_KT_CLASS::CMyBuffer& buffer, const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        buffer.AddBuffer(small, n);
    } else if (n > 0) {
        std::vector<char> large(static_cast<size_t>(n) + 1);
        vsnprintf(large.data(), large.size(), format, again);
        buffer.AddBuffer(large.data(), n);
    }
    va_end(again);
}

void AppendLE16(NS_KT_CLASS::CMyBuffer& buffer, uint32_t value) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
    buffer.AddBuffer(bytes, 2);
}

void AppendLE32(NS_KT_CLASS::CMyBuffer& buffer, uint32_t value) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    buffer.AddBuffer(bytes, 4);
}

void AppendBE16(NS_KT_CLASS::CMyBuffer& buffer, uint32_t value) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    buffer.AddBuffer(bytes, 2);
}

void AppendBE32(NS_KT_CLASS::CMyBuffer& buffer, uint32_t value) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                                    static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    buffer.AddBuffer(bytes, 4);
}

}  // namespace CmdHelpers

namespace CmdHelpers {

std::vector<int> SplitFeed(int dots, int maxStep) {
    std::vector<int> steps;
    if (dots < 0 || maxStep < 1)
        return steps;
    if (dots <= maxStep) {
        steps.push_back(dots);
        return steps;
    }
    steps.assign(static_cast<size_t>(dots / maxStep), maxStep);
    if (dots % maxStep)
        steps.push_back(dots % maxStep);
    return steps;
}

}  // namespace CmdHelpers
