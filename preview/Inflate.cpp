#include "preview/Inflate.h"

#include <zlib.h>

#include <climits>
#include <cstdio>

namespace Inflate {

namespace {

bool Failed(Fault& fault, size_t at, const std::string& expected, const std::string& found) {
    fault.at = at;
    fault.expected = expected;
    fault.found = found;
    return false;
}

// Inflates `length` bytes with the given window bits (negative: raw); on
// success *used is the number of input bytes the deflate stream took.
bool Run(const uint8_t* data, size_t length, int windowBits, size_t outSize, std::vector<uint8_t>& out, size_t* used,
         Fault& fault) {
    if (length > UINT_MAX || outSize > UINT_MAX)
        return Failed(fault, 0, "compressed data below 4 GiB", std::to_string(length) + " bytes");
    z_stream s = {};
    if (inflateInit2(&s, windowBits) != Z_OK)
        return Failed(fault, 0, "a working inflater", "zlib refusing to start");
    out.assign(outSize, 0);
    s.next_in = const_cast<Bytef*>(data);
    s.avail_in = static_cast<uInt>(length);
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(outSize);
    const std::string what = windowBits < 0 ? "deflate data" : "zlib stream";
    int ret = Z_OK;
    uint8_t spare;
    bool ok = true;
    while (ok) {
        if (s.avail_out == 0 && s.next_out != &spare + 1) {
            // The expected output is complete: only the end of the stream may follow.
            s.next_out = &spare;
            s.avail_out = 1;
        }
        ret = inflate(&s, Z_FINISH);
        if (ret == Z_STREAM_END)
            break;
        if (s.avail_out == 0 && s.next_out == &spare + 1)
            ok = Failed(fault, s.total_in, what + " of " + std::to_string(outSize) + " bytes once inflated",
                        "more data");
        else if (ret == Z_NEED_DICT)
            ok = Failed(fault, s.total_in, what + " without a preset dictionary", "a dictionary request");
        else if (ret == Z_DATA_ERROR)
            ok = Failed(fault, s.total_in, "valid " + what, s.msg ? s.msg : "corrupt data");
        else if (ret == Z_MEM_ERROR)
            ok = Failed(fault, s.total_in, "memory to inflate", "none");
        else if (s.avail_in == 0)
            ok = Failed(fault, length, "the " + what + " to go on (it has not ended)",
                        "the end of its " + std::to_string(length) + " bytes");
        else if (ret != Z_OK && s.avail_out != 0)
            ok = Failed(fault, s.total_in, "valid " + what, "zlib error " + std::to_string(ret));
    }
    const size_t total = s.total_out, in = s.total_in;
    inflateEnd(&s);
    if (!ok)
        return false;
    if (total != outSize)
        return Failed(fault, in, what + " of " + std::to_string(outSize) + " bytes once inflated",
                      "its end after " + std::to_string(total) + " bytes");
    *used = in;
    return true;
}

}  // namespace

bool Zlib(const uint8_t* data, size_t length, size_t outSize, std::vector<uint8_t>& out, Fault& fault) {
    size_t used = 0;
    if (!Run(data, length, 15, outSize, out, &used, fault))
        return false;
    if (used != length)
        return Failed(fault, used, "the zlib stream to fill its stated length",
                      "its end " + std::to_string(length - used) + " bytes early");
    return true;
}

bool RawWithAdler(const uint8_t* data, size_t length, size_t outSize, std::vector<uint8_t>& out, Fault& fault) {
    size_t used = 0;
    if (!Run(data, length, -15, outSize, out, &used, fault))
        return false;
    if (length - used != 4)
        return Failed(fault, used, "the deflate data to end 4 bytes (the Adler-32) before the stated length",
                      std::to_string(length - used) + " bytes after it");
    const uint8_t* check = data + used;
    const uint32_t stated = uint32_t(check[0]) << 24 | uint32_t(check[1]) << 16 | uint32_t(check[2]) << 8 | check[3];
    const uint32_t actual =
        static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), out.data(), static_cast<uInt>(out.size())));
    if (stated != actual) {
        char text[64];
        std::snprintf(text, sizeof text, "%08X (the data's is %08X)", stated, actual);
        return Failed(fault, used, "the Adler-32 of the inflated image", text);
    }
    return true;
}

}  // namespace Inflate
