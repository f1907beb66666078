#!/bin/sh
# Installs what is needed, builds quorvant and prints the bundled sample label
# (samples/sample-label.pdf, 4 x 6 in) through the real CUPS filter chain
# (pdftopdf, then quorvant-pdf: Poppler's pdftoraster into quorvant) with
# every PPD the build makes (one per driver of every printer family),
# without a printer and without a running scheduler. For each PPD it writes
# the printer stream out/sample-<ppd>.bin and its preview
# out/sample-<ppd>-1.png.
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build
cmake --build build -j"$(nproc)" --target quorvant quorvant-pdf quorvant-image quorvant-preview ppds

# cupsfilter finds filters in a server-bin directory: the system's plus ours.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
serverbin="$(cups-config --serverbin)"
mkdir -p "$work/serverbin/filter" out
ln -s "$serverbin"/filter/* "$work/serverbin/filter/"
ln -sf "$PWD/build/quorvant" "$work/serverbin/filter/quorvant"
ln -sf "$PWD/build/quorvant-pdf" "$work/serverbin/filter/quorvant-pdf"
ln -sf "$PWD/build/quorvant-image" "$work/serverbin/filter/quorvant-image"
echo "ServerBin $work/serverbin" > "$work/cups-files.conf"

for ppd in build/ppd/*.ppd; do
    model="$(basename "$ppd" .ppd)"
    cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m printer/sample -e \
        -o Darkness=8 samples/sample-label.pdf > "out/sample-$model.bin" 2> "$work/$model.log" || {
        cat "$work/$model.log" >&2
        exit 1
    }
    echo "== $model: out/sample-$model.bin ($(wc -c < "out/sample-$model.bin") bytes)"
    ./build/quorvant-preview --png "out/sample-$model" "out/sample-$model.bin" | tail -n 3
done
echo "Previews: out/sample-*-1.png"
