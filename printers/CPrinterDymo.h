#pragma once

#include <cstdint>
#include <vector>

#include "render/CBaseRender.h"
#include "render/CMyBuffer.h"

// DYMO LabelWriter 400, 450 and 4XL: two-byte ESC commands and raster rows.
// The first label opens with a reset (kResetEscapes ESC bytes, then ESC @)
// and the job ends with ESC E, which feeds the last label to the tear bar; a
// job without labels sends nothing. Every page is one label, written with
// one spool call and complete in itself, so that a host may send it again
// for a copy: ESC L (length in rows, big-endian; FF FF on continuous
// stock), ESC D (bytes per row), the density where the job sets one, the
// rows, and ESC G, which brings the next label to the print line.
//
// A row is SYN and ESC D's bytes, a set bit a black dot, the head's first
// dot in the first byte's top bit; with ImageCompress it is ETB and runs
// (bit 7 black, bits 6-0 the run's length less 1) where that is shorter.
// White rows are skipped with ESC f 01 n; on labels the white rows at the
// bottom are left to ESC G.
class CPrinterDymo : public CBaseRender {
public:
    // More ESC bytes than the longest row of either head (156 bytes on the
    // 4XL), so that a row an earlier job left unfinished, even one sent to a
    // 450 with the 4XL's ESC D (the firmware does not check it), is filled
    // with them and the rest still make ESC @. 72 bytes more than the 450
    // strictly needs, once a job.
    static constexpr int kResetEscapes = 157;
    // ESC D's ceiling when the head is not known: the 4XL's 1248 dots.
    static constexpr int kMaxRowBytes = 156;
    // ESC L beyond this is continuous stock.
    static constexpr int kMaxLabelRows = 0x7FFF;
    // The most rows one ESC f skips.
    static constexpr int kMaxSkip = 255;
    // The density commands of darkness levels 0-3: light, medium, normal
    // and dark. Dark is ESC g; ESC f, one past normal, skips rows.
    static constexpr char kDensity[] = "cdeg";

    CPrinterDymo() = default;
    ~CPrinterDymo() override;

    // ESC E after the last label, when the job printed any.
    void OnDestroy() override;
    void OnPaintBmp() override;

    void cmdReset();
    // Big-endian rows; 0xFFFF for continuous stock.
    void cmdLabelLength(int rows);
    void cmdRowBytes(int bytes);
    // Level 0-3 (higher is sent as 3); below 0 nothing.
    void cmdDensity(int level);
    // ESC f 01 n steps of at most kMaxSkip rows.
    void cmdSkip(int rows);
    // One row of `bytes` printer bytes (a set bit black): SYN and the
    // bytes, or ETB and runs when `compress` and they are fewer.
    void AppendRow(const uint8_t* dots, int bytes, bool compress);
    void cmdFormFeed(bool last);

    const NS_KT_CLASS::CMyBuffer& CommandBuffer() const { return m_CmdBuffer; }

private:
    NS_KT_CLASS::CMyBuffer m_CmdBuffer;
    std::vector<uint8_t> m_Runs;  // a row's runs, kept to spare an allocation a row
    bool m_bPagePrinted = false;
};
