#!/usr/bin/env python3
"""Writes samples/barcodes-4x6.pdf, one bar code a 4 x 6 in page (Code 128,
Code 39, EAN-13, UPC-A and QR, each with modules of 0.25, 0.33 and 0.5 mm),
drawn by reportlab's own generators (Debian python3-reportlab), and
samples/barcodes-4x6.txt, what zbarimg reads from each page in turn.

usage: tools/make_barcode_pdf.py [PDF [TEXT]]"""
import sys

from reportlab.graphics import renderPDF
from reportlab.graphics.barcode import code39, code128, eanbc, qr
from reportlab.graphics.shapes import Drawing
from reportlab.lib.units import inch, mm
from reportlab.pdfgen import canvas

PDF = sys.argv[1] if len(sys.argv) > 1 else "samples/barcodes-4x6.pdf"
TEXT = sys.argv[2] if len(sys.argv) > 2 else "samples/barcodes-4x6.txt"
URL = "https://example.com/parcel/0012345678"

pdf = canvas.Canvas(PDF, pagesize=(4 * inch, 6 * inch), invariant=1)
expected = []
for module in (0.25, 0.33, 0.5):
    bar = dict(barWidth=module * mm, barHeight=15 * mm)
    for read, code in (
        ("CODE-128:QV-1234567", code128.Code128("QV-1234567", quiet=1, **bar)),
        ("CODE-39:QV12345", code39.Standard39("QV12345", checksum=0, quiet=1, **bar)),
    ):
        code.drawOn(pdf, (4 * inch - code.width) / 2, 3 * inch)
        expected.append(read)
        pdf.showPage()
    # A UPC-A is an EAN-13 with a leading 0; zbarimg reports it as EAN-13.
    side = (29 + 8) * module * mm  # about 29 modules (version 3) and the quiet zone
    for read, widget in (
        ("EAN-13:5901234123457", eanbc.Ean13BarcodeWidget("590123412345", **bar)),
        ("EAN-13:0036000291452", eanbc.Ean13BarcodeWidget("003600029145", **bar)),
        ("QR-Code:" + URL, qr.QrCodeWidget(URL, barLevel="L", barWidth=side, barHeight=side)),
    ):
        x0, y0, x1, y1 = widget.getBounds()
        drawing = Drawing(x1 - x0, y1 - y0)
        drawing.add(widget)
        renderPDF.draw(drawing, pdf, (4 * inch - (x1 - x0)) / 2, 3 * inch)
        expected.append(read)
        pdf.showPage()
pdf.save()
with open(TEXT, "w") as out:
    out.write("\n".join(expected) + "\n")
