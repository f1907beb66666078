#!/bin/sh
# Installs what is needed, builds quorvant and prints the bundled sample label
# (samples/sample-label.pdf, 4 x 6 in) through the real CUPS filter chain
# (pdftopdf, gstoraster, quorvant) for all five printer families, without a
# printer and without a running scheduler. For each family it writes the
# printer stream out/sample-<family>.bin and its preview out/sample-<family>-1.png.
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build
cmake --build build -j"$(nproc)" --target quorvant quorvant-preview ppds

# cupsfilter finds filters in a server-bin directory: the system's plus ours.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
serverbin="$(cups-config --serverbin)"
mkdir -p "$work/serverbin/filter" out
ln -s "$serverbin"/filter/* "$work/serverbin/filter/"
ln -sf "$PWD/build/quorvant" "$work/serverbin/filter/quorvant"
echo "ServerBin $work/serverbin" > "$work/cups-files.conf"

for family in tspl escpos cpcl tavrin solvan; do
    ppd="build/ppd/qv$family.ppd"
    cupsfilter -c "$work/cups-files.conf" -p "$ppd" -m printer/sample -e \
        -o Darkness=8 samples/sample-label.pdf > "out/sample-$family.bin" 2> "$work/$family.log" || {
        cat "$work/$family.log" >&2
        exit 1
    }
    echo "== $family: out/sample-$family.bin ($(wc -c < "out/sample-$family.bin") bytes)"
    ./build/quorvant-preview --png "out/sample-$family" "out/sample-$family.bin" | tail -n 3
done
echo "Previews: out/sample-*-1.png"
