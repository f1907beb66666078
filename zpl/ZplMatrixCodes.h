#pragma once

#include <string>

#include "zpl/ZplBitmap.h"

namespace zpl {

// The 2D codes, encoded by libzint. Each gives its module matrix, one dot a
// module (the caller scales it to whole dots), and a summary ("QR 25x25").
struct MatrixSymbol {
    ZplBitmap modules;
    std::string summary;
};

// ^BQ: `data` starts with the error correction (H, Q, M, L; `ecDefault` when
// another letter), the input mode (A automatic, M manual: N, A, Bnnnn or K
// then the data) and a separator. `mask` 0-7, or -1 for the best.
bool EncodeQr(const std::string& data, char ecDefault, int mask, MatrixSymbol& out, std::string& problem);
// ^BX: `escape` starts _1 (FNC1; GS1 data when first), _dNNN (a byte),
// _X@.._X_ (control characters); 0 for none. `rows` x `columns` picks a size
// (0 lets the data choose); `rectangle` allows the rectangular ones.
bool EncodeDataMatrix(const std::string& data, char escape, int rows, int columns, bool rectangle, MatrixSymbol& out,
                      std::string& problem);
// ^B7: security level 0-8 (-1 chooses), data columns 1-30 and rows 3-90 (0
// chooses); truncated PDF417 drops the right row indicators.
bool EncodePdf417(const std::string& data, int security, int columns, int rows, bool truncate, MatrixSymbol& out,
                  std::string& problem);
// ^BO: `ecSize` is ZPL's: 0 the usual error correction, 1-99 at least that
// share of check words, 101-104 compact with 1-4 layers, 201-232 full range
// with 1-32 layers, 300 a rune (data 0-255).
bool EncodeAztec(const std::string& data, int ecSize, MatrixSymbol& out, std::string& problem);
// ^BD: MaxiCode drawn whole at 8 dots/mm (its hexagons and bull's eye; no
// module matrix fits a hexagonal code). Modes 2 and 3 read the class of
// service (3), country (3) and postcode (9 digits in mode 2, 6 characters in
// mode 3) from the front of `data`. `number` of `total` for structured append.
bool DrawMaxiCode(const std::string& data, int mode, int number, int total, ZplBitmap& out, std::string& summary,
                  std::string& problem);

}  // namespace zpl
