#!/bin/sh
# Bar codes after printing: samples/barcodes-4x6.pdf, one symbol a 4 x 6 in
# page (Code 128, Code 39, EAN-13, UPC-A, QR, GS1-128, Data Matrix, PDF417;
# modules of 0.25, 0.33 and 0.5 mm; tools/make_barcode_pdf.py), printed
# through cupsfilter with each PPD named, decoded with quorvant-preview and
# read with zbarimg, ZXingReader and (Data Matrix) dmtxread, as the scan
# check test reads them. Three columns: the same PDF rendered clean in gray
# (pdftoppm) as many dots wide as the page prints (the PPD's resolution, or
# less where the 4 in page is shrunk to a narrower head), what a printer
# could show there; the PPD with CUPS's Ghostscript chain (its quorvant-pdf
# line taken out); and the PPD as shipped.
# A one-off measurement, not a test.
#
# usage: bench/scan_check.sh [BUILD_DIR [PPD...]]   (default build; qvtspl
#        qvtspl3 qvescpos qvtavrin)
#        DOC=barcodes-6x4 bench/scan_check.sh ...     the landscape label: 6 x 4 in
#        pages, turned onto the media (its clean render turned the same way)
# needs: poppler-utils, zbar-tools, zxing-cpp-tools, dmtx-utils, cups,
#        python3-pil (/usr/bin/python3)
set -eu

BUILD=${1:-build}
[ $# -gt 0 ] && shift
PPDS=${*:-qvtspl qvtspl3 qvescpos qvtavrin}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
for tool in cupsfilter pdftoppm zbarimg ZXingReader dmtxread /usr/bin/python3; do
    command -v $tool >/dev/null || { echo "scan_check: $tool is missing" >&2; exit 1; }
done

# The document and what each page holds (format and text).
SRC=$(cd "$(dirname "$0")/.." && pwd)
DOC=${DOC:-barcodes-4x6}
cp "$SRC/samples/$DOC.pdf" "$WORK/codes.pdf"
cp "$SRC/samples/$DOC.txt" "$WORK/expected"
pages=$(wc -l < "$WORK/expected")

# CUPS's filters with the built quorvant programs among them, for cupsfilter.
serverbin=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
mkdir -p "$WORK/serverbin/filter"
for f in "$serverbin"/filter/*; do ln -s "$f" "$WORK/serverbin/filter/"; done
for f in quorvant quorvant-pdf quorvant-image; do
    rm -f "$WORK/serverbin/filter/$f"
    ln -s "$(cd "$BUILD" && pwd)/$f" "$WORK/serverbin/filter/$f"
done
echo "ServerBin $WORK/serverbin" > "$WORK/cups-files.conf"

# The texts every decoder reads from one image of a symbol of format $2.
texts() {
    zbarimg -q --nodbus --raw "$1" 2>/dev/null || true
    # ZXingReader 1.4 aborts on some pages (an assertion in its result
    # merging); its own shell keeps the message out of the table.
    sh -c 'ZXingReader -1 "$1"' - "$1" 2>/dev/null | sed -n 's/^[^"]*"\(.*\)"$/\1/p'
    [ "$2" = DataMatrix ] && dmtxread -m 2000 "$1" 2>/dev/null || true
}

# Pages (PNG files, one a page in order) whose symbol a decoder reads (a
# UPC-A may read as its 12 digits); "!" marks a misread.
read_pages() {
    n=0
    bad=
    i=1
    while read -r format want; do
        hit=0
        for got in $(texts "$1-$i.png" "$format"); do
            if [ "$got" = "$want" ] || [ "0$got" = "$want" ]; then hit=1; else bad="!"; fi
        done
        n=$((n + hit))
        i=$((i + 1))
    done < "$WORK/expected"
    echo "$n$bad"
}

# The printed pages of $2 (a PPD) as PNG files $1-N.png.
print_pages() {
    rm -f "$WORK"/"$1"-*.png
    cupsfilter -c "$WORK/cups-files.conf" -p "$2" -m printer/check -e "$WORK/codes.pdf" > "$WORK/$1.prn" \
        2> "$WORK/$1.log" || { tail "$WORK/$1.log"; exit 1; }
    "$BUILD/quorvant-preview" --png "$WORK/$1" "$WORK/$1.prn" > /dev/null
    # White around each page, as the paper has (a receipt ends at its
    # content), as the scan check test reads them.
    /usr/bin/python3 - "$WORK/$1" <<'PY'
import glob, sys
from PIL import Image, ImageOps
for path in glob.glob(sys.argv[1] + "-*.png"):
    ImageOps.expand(Image.open(path).convert("L"), border=24, fill=255).save(path)
PY
}

printf '%-10s %5s %16s %12s %12s\n' PPD dpi "clean gray (dpi)" "Ghostscript" "shipped"
for ppd in $PPDS; do
    file="$BUILD/ppd/$ppd.ppd"
    dpi=$(sed -n 's/^\*DefaultResolution: *\([0-9]*\)dpi.*/\1/p' "$file")
    head=$(sed -n 's/^\*qvHeadDots: *"\([0-9]*\)".*/\1/p' "$file")
    clean=$dpi
    [ -n "$head" ] && [ $((head / 4)) -lt "$dpi" ] && clean=$((head / 4))
    rm -f "$WORK"/clean-*.png
    pdftoppm -gray -r "$clean" -png "$WORK/codes.pdf" "$WORK/clean-raw"
    i=1
    for f in "$WORK"/clean-raw-*.png; do
        mv "$f" "$WORK/clean-$i.png"
        i=$((i + 1))
    done
    grep -v 'quorvant-pdf"$' "$file" > "$WORK/gs.ppd"
    print_pages gs "$WORK/gs.ppd"
    print_pages print "$file"
    printf '%-10s %5s %4s of %2s (%3s) %6s of %2s %6s of %2s\n' "$ppd" "$dpi" "$(read_pages "$WORK/clean")" "$pages" \
        "$clean" "$(read_pages "$WORK/gs")" "$pages" "$(read_pages "$WORK/print")" "$pages"
done
