#include "fuzz/RasterStream.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

RasterStream::RasterStream(bool compressed) {
    m_Fd = memfd_create("quorvant-raster", 0);
    if (m_Fd >= 0)
        m_Ras = cupsRasterOpen(m_Fd, compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE);
}

RasterStream::~RasterStream() {
    if (m_Ras)
        cupsRasterClose(m_Ras);
    if (m_Fd >= 0)
        close(m_Fd);
}

bool RasterStream::Header(cups_page_header2_t& header) {
    if (!m_Ras)
        return false;
    // The writer flushes a page's last line when it gets the line, so the
    // descriptor's offset is where this header goes (after the sync word).
    const off_t at = lseek(m_Fd, 0, SEEK_CUR);
    m_Offsets.push_back(at <= 0 ? 4 : static_cast<size_t>(at));
    return cupsRasterWriteHeader2(m_Ras, &header) != 0;
}

bool RasterStream::Row(const uint8_t* line, unsigned length) {
    return m_Ras && cupsRasterWritePixels(m_Ras, const_cast<uint8_t*>(line), length) == length;
}

std::vector<uint8_t> RasterStream::Finish() {
    std::vector<uint8_t> bytes;
    if (m_Ras) {
        cupsRasterClose(m_Ras);
        m_Ras = nullptr;
    }
    struct stat st;
    if (m_Fd < 0 || fstat(m_Fd, &st) != 0)
        return bytes;
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pread(m_Fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

cups_page_header2_t RasterStream::MakeHeader(unsigned width, unsigned height, unsigned bits, unsigned dpi) {
    cups_page_header2_t h;
    std::memset(&h, 0, sizeof h);
    h.HWResolution[0] = h.HWResolution[1] = dpi;
    h.PageSize[0] = width * 72 / (dpi ? dpi : 72);
    h.PageSize[1] = height * 72 / (dpi ? dpi : 72);
    h.NumCopies = 1;
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBitsPerColor = bits == 24 ? 8 : bits;
    h.cupsBitsPerPixel = bits;
    h.cupsBytesPerLine = (width * bits + 7) / 8;
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsColorSpace = bits == 24 ? CUPS_CSPACE_RGB : bits == 1 ? CUPS_CSPACE_K : CUPS_CSPACE_W;
    return h;
}
