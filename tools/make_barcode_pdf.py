#!/usr/bin/env python3
"""Writes samples/barcodes-4x6.pdf, one bar code a 4 x 6 in page, each with
modules of 0.25, 0.33 and 0.5 mm (with --landscape samples/barcodes-6x4.pdf,
6 x 4 in pages, at 0.33 mm only): Code 128, Code 39, EAN-13, UPC-A and QR
drawn by reportlab's own generators (Debian python3-reportlab), and GS1-128,
Data Matrix and PDF417 drawn module by module from zint's dump of the
symbol (Debian zint); and samples/barcodes-4x6.txt, the format and the
text each page holds, in turn (samples/barcodes-6x4.txt).

usage: tools/make_barcode_pdf.py [--landscape] [PDF [TEXT]]"""
import subprocess
import sys

from reportlab.graphics import renderPDF
from reportlab.graphics.barcode import code39, code128, eanbc, qr
from reportlab.graphics.shapes import Drawing
from reportlab.lib.units import inch, mm
from reportlab.pdfgen import canvas

LANDSCAPE = "--landscape" in sys.argv[1:2]
ARGS = sys.argv[2:] if LANDSCAPE else sys.argv[1:]
NAME = "samples/barcodes-6x4" if LANDSCAPE else "samples/barcodes-4x6"
PDF = ARGS[0] if ARGS else NAME + ".pdf"
TEXT = ARGS[1] if len(ARGS) > 1 else NAME + ".txt"
# The page, and the height of each symbol's foot above its bottom edge.
W, H = (6 * inch, 4 * inch) if LANDSCAPE else (4 * inch, 6 * inch)
FOOT = H / 2
SIZES = (0.33,) if LANDSCAPE else (0.25, 0.33, 0.5)
URL = "https://example.com/parcel/0012345678"
GS1 = "[01]09501101530003[10]AB12"
GS1_TEXT = "010950110153000310AB12"
MATRIX = "QV-1234567890-PARCEL"


def zint_rows(symbology, data):
    """The symbol's modules, row by row, as strings of 0 and 1."""
    dump = subprocess.run(["zint", "-b", symbology, "-d", data, "--dump"], check=True,
                          capture_output=True, text=True).stdout
    rows = ["".join(format(int(group, 16), "0%db" % (4 * len(group))) for group in line.split())
            for line in dump.splitlines()]
    # The dump pads rows to whole nibbles; every symbol here has a dark module
    # in its last column on some row.
    width = max(row.rstrip("0").__len__() for row in rows)
    return [row[:width] for row in rows]


def draw_modules(pdf, rows, module, row_height):
    """Draws the dark runs of each row as rectangles, centred across the page
    with its foot FOOT above the bottom edge."""
    width = len(rows[0]) * module
    x0 = (W - width) / 2
    y0 = FOOT + len(rows) * row_height
    for r, row in enumerate(rows):
        x = 0
        while x < len(row):
            if row[x] == "1":
                end = x
                while end < len(row) and row[end] == "1":
                    end += 1
                pdf.rect(x0 + x * module, y0 - (r + 1) * row_height, (end - x) * module, row_height,
                         stroke=0, fill=1)
                x = end
            else:
                x += 1


pdf = canvas.Canvas(PDF, pagesize=(W, H), invariant=1)
expected = []
for size in SIZES:
    module = size * mm
    bar = dict(barWidth=module, barHeight=15 * mm)
    for read, code in (
        ("Code128 QV-1234567", code128.Code128("QV-1234567", quiet=1, **bar)),
        ("Code39 QV12345", code39.Standard39("QV12345", checksum=0, quiet=1, **bar)),
    ):
        code.drawOn(pdf, (W - code.width) / 2, FOOT)
        expected.append(read)
        pdf.showPage()
    side = (29 + 8) * module  # about 29 modules (version 3) and the quiet zone
    for read, widget in (
        ("EAN-13 5901234123457", eanbc.Ean13BarcodeWidget("590123412345", **bar)),
        # A UPC-A is an EAN-13 with a leading 0.
        ("EAN-13 0036000291452", eanbc.Ean13BarcodeWidget("003600029145", **bar)),
        ("QRCode " + URL, qr.QrCodeWidget(URL, barLevel="L", barWidth=side, barHeight=side)),
    ):
        x0, y0, x1, y1 = widget.getBounds()
        drawing = Drawing(x1 - x0, y1 - y0)
        drawing.add(widget)
        renderPDF.draw(drawing, pdf, (W - (x1 - x0)) / 2, FOOT)
        expected.append(read)
        pdf.showPage()
    for read, symbology, data, row_height in (
        ("Code128 " + GS1_TEXT, "GS1_128", GS1, 15 * mm),
        ("DataMatrix " + MATRIX, "DATAMATRIX", MATRIX, module),
        # PDF417's rows are three modules tall.
        ("PDF417 " + MATRIX, "PDF417", MATRIX, 3 * module),
    ):
        draw_modules(pdf, zint_rows(symbology, data), module, row_height)
        expected.append(read)
        pdf.showPage()
pdf.save()
with open(TEXT, "w") as out:
    out.write("\n".join(expected) + "\n")
