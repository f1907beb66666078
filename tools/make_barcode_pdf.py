#!/usr/bin/env python3
"""Writes samples/barcodes-4x6.pdf, one bar code a 4 x 6 in page, each with
modules of 0.25, 0.33 and 0.5 mm: Code 128, Code 39, EAN-13, UPC-A and QR
drawn by reportlab's own generators (Debian python3-reportlab), and GS1-128,
Data Matrix and PDF417 drawn module by module from zint's dump of the
symbol (Debian zint); and samples/barcodes-4x6.txt, the format and the
text each page holds, in turn.

usage: tools/make_barcode_pdf.py [PDF [TEXT]]"""
import subprocess
import sys

from reportlab.graphics import renderPDF
from reportlab.graphics.barcode import code39, code128, eanbc, qr
from reportlab.graphics.shapes import Drawing
from reportlab.lib.units import inch, mm
from reportlab.pdfgen import canvas

PDF = sys.argv[1] if len(sys.argv) > 1 else "samples/barcodes-4x6.pdf"
TEXT = sys.argv[2] if len(sys.argv) > 2 else "samples/barcodes-4x6.txt"
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
    with the symbol's top 3 in from the bottom plus its height."""
    width = len(rows[0]) * module
    x0 = (4 * inch - width) / 2
    y0 = 3 * inch + len(rows) * row_height
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


pdf = canvas.Canvas(PDF, pagesize=(4 * inch, 6 * inch), invariant=1)
expected = []
for size in (0.25, 0.33, 0.5):
    module = size * mm
    bar = dict(barWidth=module, barHeight=15 * mm)
    for read, code in (
        ("Code128 QV-1234567", code128.Code128("QV-1234567", quiet=1, **bar)),
        ("Code39 QV12345", code39.Standard39("QV12345", checksum=0, quiet=1, **bar)),
    ):
        code.drawOn(pdf, (4 * inch - code.width) / 2, 3 * inch)
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
        renderPDF.draw(drawing, pdf, (4 * inch - (x1 - x0)) / 2, 3 * inch)
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
