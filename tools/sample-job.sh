#!/bin/sh
# Installs what is needed, builds quorvant and prints the bundled sample label
# (a 4 x 6 in page at 203 dpi) with the bundled TSPL PPD, as CUPS would run
# the filter. The label program goes to out/sample-label.tspl.
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build -DQUORVANT_TESTS=OFF
cmake --build build -j"$(nproc)"
mkdir -p out
PPD=samples/quorvant-tspl.ppd ./build/quorvant 1 "$(id -un)" sample-label 1 "Darkness=12 zePrintRate=4" \
    samples/sample-label.ras > out/sample-label.tspl
echo "Label program: out/sample-label.tspl ($(wc -c < out/sample-label.tspl) bytes)"
# Everything before the bitmap data is text:
sed -n '1,/^BITMAP/p' out/sample-label.tspl | cut -c1-40 | tr -d '\r'
