#!/bin/sh
# Times whole jobs of quorvant against CUPS's own rastertolabel filter on the
# same raster: 50 pages of 812 x 1218 dots (a 4 x 6 in label at 203 dpi, one
# bit per pixel). rastertolabel runs with the Zebra ZPL PPD that ppdc builds
# from CUPS's sample driver file; quorvant with the bundled TSPL PPD.
#
#   tools/compare-rastertolabel.sh [runs]
set -eu
cd "$(dirname "$0")/.."
runs="${1:-7}"
pages=50
./tools/install-deps.sh cups cups-ppdc cups-common >/dev/null
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVANT_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)" >/dev/null

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
./build-release/make_sample_raster "$tmp/job.ras" "$pages" 812 1218 1 203
ppdc -d "$tmp/ppd" /usr/share/cups/drv/sample.drv
serverbin="$(cups-config --serverbin)"

# Best of `runs` wall-clock times of one whole job, in milliseconds.
best_ms() {
    best=
    i=0
    while [ "$i" -lt "$runs" ]; do
        start=$(date +%s%N)
        "$@" < /dev/null > "$tmp/out" 2> /dev/null
        end=$(date +%s%N)
        ms=$(( (end - start) / 1000000 ))
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
        i=$((i + 1))
    done
    echo "$best"
}

q=$(PPD=samples/quorvant-tspl.ppd best_ms ./build-release/quorvant 1 user job 1 "" "$tmp/job.ras")
qbytes=$(wc -c < "$tmp/out")
r=$(PPD="$tmp/ppd/zebra.ppd" best_ms "$serverbin/filter/rastertolabel" 1 user job 1 "" "$tmp/job.ras")
rbytes=$(wc -c < "$tmp/out")

echo "whole job of $pages pages of 812x1218 dots, best of $runs runs:"
awk -v q="$q" -v r="$r" -v p="$pages" -v qb="$qbytes" -v rb="$rbytes" 'BEGIN {
    printf "  quorvant (TSPL)      %6d ms  %.2f ms/page  %d bytes out\n", q, q / p, qb
    printf "  rastertolabel (ZPL)  %6d ms  %.2f ms/page  %d bytes out\n", r, r / p, rb
}'
