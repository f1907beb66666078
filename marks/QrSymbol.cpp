#include "marks/QrSymbol.h"

#include <zint.h>

#include <memory>

bool QrSymbol::Encode(const std::string& data, Level level, int mask, std::string& problem) {
    m_Size = 0;
    m_Modules.clear();
    std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> s(ZBarcode_Create(), ZBarcode_Delete);
    if (!s) {
        problem = "QR: out of memory";
        return false;
    }
    s->symbology = BARCODE_QRCODE;
    s->input_mode = DATA_MODE;  // the bytes as they are, no character set conversion
    s->option_1 = level;
    if (mask >= 0 && mask <= 7)
        s->option_3 = (mask + 1) << 8;
    const int result =
        ZBarcode_Encode(s.get(), reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    if (result >= ZINT_ERROR) {
        problem = std::string("QR cannot encode the data: ") + s->errtxt;
        return false;
    }
    // Version 40 is 177 modules a side.
    if (s->rows != s->width || s->width < 21 || s->width > 177) {
        problem = "QR came out empty";
        return false;
    }
    m_Size = s->width;
    m_Modules.resize(static_cast<size_t>(m_Size) * m_Size);
    for (int y = 0; y < m_Size; y++) {
        // libzint keeps a row's modules eight to a byte, the first in the low bit.
        const unsigned char* bits = s->encoded_data[y];
        uint8_t* row = &m_Modules[static_cast<size_t>(y) * m_Size];
        for (int x = 0; x < m_Size; x++)
            row[x] = bits[x >> 3] >> (x & 7) & 1;
    }
    return true;
}
