#!/usr/bin/env python3
"""Writes samples/barcode-label-300dpi.png: a 4 x 6 in shipping label at
300 dpi (1-bit) with two 1-D bar codes of random bars and spaces, one to four
modules wide, in quiet zones. CUPS scales it to the printer's 203 dpi, which
leaves gray pixels along every bar edge."""
import random
import struct
import sys
import zlib

W, H, DPI = 1200, 1800, 300


def bars(rng, modules, module):
    out, black = [], True
    for _ in range(modules):
        out += [black] * (rng.randint(1, 4) * module)
        black = not black
    return out


def main(path):
    rng = random.Random(7)
    rows = [[False] * W for _ in range(H)]
    for top, height, module in ((300, 450, 3), (1000, 300, 4)):
        pattern = bars(rng, 60 if module == 3 else 44, module)
        left = (W - len(pattern)) // 2
        for y in range(top, top + height):
            for x, black in enumerate(pattern):
                rows[y][left + x] = black
    for y in range(100, 160):  # a heavy rule like a label's header line
        for x in range(100, W - 100):
            rows[y][x] = True
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for x in range(0, W, 8):
            byte = 0
            for b in range(8):
                byte = byte << 1 | (0 if row[x + b] else 1)  # 1 = white in a gray PNG
            raw.append(byte)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ppm = round(DPI / 0.0254)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 1, 0, 0, 0, 0))
    png += chunk(b"pHYs", struct.pack(">IIB", ppm, ppm, 1))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)


main(sys.argv[1] if len(sys.argv) > 1 else "samples/barcode-label-300dpi.png")
