#!/bin/sh
# Bar codes after printing: samples/barcodes-4x6.pdf, one symbol a 4 x 6 in
# page (Code 128, Code 39, EAN-13, UPC-A, QR; modules of 0.25, 0.33 and
# 0.5 mm) made by reportlab's own generators, printed through cupsfilter
# with each PPD named, decoded with quorvant-preview and read with zbarimg.
# Beside it the same PDF rendered clean in gray (pdftoppm) as many dots wide
# as the page prints (the PPD's resolution, or less where the 4 in page is
# shrunk to a narrower head) and read the same way: what a printer could
# show there.
# A one-off measurement, not a test.
#
# usage: bench/scan_check.sh [BUILD_DIR [PPD...]]   (default build; qvtspl
#        qvtspl3 qvescpos qvtavrin)
# needs: poppler-utils, zbar-tools, cups (cupsfilter)
set -eu

BUILD=${1:-build}
[ $# -gt 0 ] && shift
PPDS=${*:-qvtspl qvtspl3 qvescpos qvtavrin}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
for tool in cupsfilter pdftoppm zbarimg; do
    command -v $tool >/dev/null || { echo "scan_check: $tool is missing" >&2; exit 1; }
done

# The document and what each page reads as (tools/make_barcode_pdf.py).
SRC=$(cd "$(dirname "$0")/.." && pwd)
cp "$SRC/samples/barcodes-4x6.pdf" "$WORK/codes.pdf"
cp "$SRC/samples/barcodes-4x6.txt" "$WORK/expected"
pages=$(wc -l < "$WORK/expected")

# CUPS's filters with the built quorvant among them, for cupsfilter.
serverbin=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
mkdir -p "$WORK/serverbin/filter"
for f in "$serverbin"/filter/*; do ln -s "$f" "$WORK/serverbin/filter/"; done
rm -f "$WORK/serverbin/filter/quorvant"
ln -s "$(cd "$BUILD" && pwd)/quorvant" "$WORK/serverbin/filter/quorvant"
echo "ServerBin $WORK/serverbin" > "$WORK/cups-files.conf"

# Pages (PNG files, one a page in order) whose expected payload zbarimg reads.
read_pages() {
    n=0
    i=1
    while read -r want; do
        zbarimg -q "$1-$i.png" 2>/dev/null | grep -qxF "$want" && n=$((n + 1))
        i=$((i + 1))
    done < "$WORK/expected"
    echo "$n"
}

printf '%-10s %5s %16s %14s\n' PPD dpi "clean gray (dpi)" "printed"
for ppd in $PPDS; do
    file="$BUILD/ppd/$ppd.ppd"
    dpi=$(sed -n 's/^\*DefaultResolution: *\([0-9]*\)dpi.*/\1/p' "$file")
    head=$(sed -n 's/^\*qvHeadDots: *"\([0-9]*\)".*/\1/p' "$file")
    clean=$dpi
    [ -n "$head" ] && [ $((head / 4)) -lt "$dpi" ] && clean=$((head / 4))
    rm -f "$WORK"/clean-*.png "$WORK"/print-*.png
    pdftoppm -gray -r "$clean" -png "$WORK/codes.pdf" "$WORK/clean-raw"
    i=1
    for f in "$WORK"/clean-raw-*.png; do
        mv "$f" "$WORK/clean-$i.png"
        i=$((i + 1))
    done
    cupsfilter -c "$WORK/cups-files.conf" -p "$file" -m printer/check -e "$WORK/codes.pdf" > "$WORK/$ppd.prn" 2> "$WORK/$ppd.log" ||
        { tail "$WORK/$ppd.log"; exit 1; }
    "$BUILD/quorvant-preview" --png "$WORK/print" "$WORK/$ppd.prn" > /dev/null
    printf '%-10s %5s %4s of %2s (%3s) %8s of %2s\n' "$ppd" "$dpi" "$(read_pages "$WORK/clean")" "$pages" "$clean" \
        "$(read_pages "$WORK/print")" "$pages"
done
