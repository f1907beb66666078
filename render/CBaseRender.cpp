#include "render/CBaseRender.h"

#include <cstddef>
#include <cstring>

CBaseRender::CBaseRender() : m_Image(0) {}

CBaseRender::~CBaseRender() = default;

void CBaseRender::BeginPage(cups_page_header2_t* header, unsigned xdpi, unsigned ydpi) {
    m_pHeader = header;
    m_iDpi = static_cast<int>(xdpi);
    m_Image.SetXDPI(static_cast<int32_t>(xdpi));
    m_Image.SetYDPI(static_cast<int32_t>(ydpi));
}

int CBaseRender::mm_2_dots(int mm) const { return static_cast<int>(mm * (m_iDpi / 25.4) + 0.9999); }

void CBaseRender::Negative() {
    uint8_t* bits = m_Image.GetBits(0);
    if (!bits)
        return;
    size_t n = static_cast<size_t>(m_Image.GetEffWidth()) * m_Image.GetHeight();
    // Whole 64-bit words first: this runs on every page of every printer.
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, bits + i, 8);
        w = ~w;
        std::memcpy(bits + i, &w, 8);
    }
    for (; i < n; i++)
        bits[i] = static_cast<uint8_t>(~bits[i]);
}

bool CBaseRender::SpoolBuffer(NS_KT_CLASS::CMyBuffer& buffer) {
    const bool lost = buffer.ContentLost();
    if (lost) {
        AddLog("page dropped: command buffer exceeded its limit");
        ReportError("The page is too large for the printer's command buffer and was not printed.");
    } else {
        WriteSpool(buffer.GetBuffer(), buffer.GetBufferLength());
    }
    buffer.InitBuffer(0);
    return !lost;
}
