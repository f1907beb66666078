#pragma once

#include <cstdint>
#include <string>

#include "render/CBaseRender.h"
#include "render/CMyBuffer.h"

// Zebra ZPL printers: every page becomes one format (^XA ... ^XZ) stating
// the page's width and length, media tracking, print method and mode,
// speed and copies, with the page as ^GF graphics, the darkness (~SD)
// ahead of it; written with one spool call. The page prints in ZPL's normal
// orientation (^PON), as labels written in ZPL print. A graphic carries at
// most kMaxGraphicBytes image bytes, ^GF's limit, so a larger page is cut
// into bands of whole rows, each its own ^FO field. Each band goes as
// :Z64: (zlib, base64, CRC-16/XMODEM) or as ZPL's run-length hex, whichever
// is shorter. Commands end with LF, which printers ignore.
class CPrinterZPL : public CBaseRender {
public:
    CPrinterZPL() = default;
    ~CPrinterZPL() override;

    // ^PQ: copies of the one format.
    static constexpr bool kCopyCount = true;
    static constexpr int kMaxQuantity = 99999999;
    // ^GF's documented limit of its byte counts.
    static constexpr int kMaxGraphicBytes = 99999;
    // ~SD's range.
    static constexpr int kMostDarkness = 30;

    void OnPaintBmp() override;

    // `rows` rows of `rowBytes` bytes (a set bit black) as a ^GF field at
    // (0, y), in whichever encoding is shorter.
    void cmdGraphic(int y, const uint8_t* rows, int rowBytes, int height);

    // The encodings, for any rows (a set bit black). Empty when zlib fails.
    static std::string RunLengthHex(const uint8_t* rows, int rowBytes, int height);
    static std::string Z64(const uint8_t* rows, int rowBytes, int height);

    NS_KT_CLASS::CMyBuffer& CommandBuffer() { return m_CmdBuffer; }

private:
    void cmdSetup(int quantity);

    NS_KT_CLASS::CMyBuffer m_CmdBuffer;
};
