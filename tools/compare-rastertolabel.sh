#!/bin/sh
# Whole jobs of quorvant against CUPS's own rastertolabel filter on the same
# raster: 50 label-like pages of 4 x 6 in, one bit per pixel, at each head's
# resolution. Each row is a quorvant PPD beside the PPD that ppdc builds from
# CUPS's sample driver file for the same kind of printer (none for Brother
# QL, which rastertolabel does not drive): bytes per label and time per label,
# the best of `runs` whole jobs.
#
#   tools/compare-rastertolabel.sh [runs]
#
# BUILD names a build directory to use as it is (its ppd/ beside the filter);
# without it, build-release/ is configured and built.
set -eu
cd "$(dirname "$0")/.."
runs="${1:-7}"
pages=50
./tools/install-deps.sh cups cups-ppdc cups-common >/dev/null
if [ -z "${BUILD:-}" ]; then
    BUILD=build-release
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUORVANT_TESTS=OFF >/dev/null
    cmake --build "$BUILD" -j"$(nproc)" >/dev/null
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
ppdc -d "$tmp/ppd" /usr/share/cups/drv/sample.drv
serverbin="$(cups-config --serverbin)"

# Best of `runs` wall-clock times of one whole job, in milliseconds; the
# output stays in $tmp/out.
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

# One filter on the job: "name  ms/label  bytes/label".
row() {
    name="$1" ppd="$2" filter="$3" raster="$4"
    ms=$(PPD="$ppd" best_ms "$filter" 1 user job 1 "" "$raster")
    bytes=$(wc -c < "$tmp/out")
    awk -v n="$name" -v ms="$ms" -v b="$bytes" -v p="$pages" \
        'BEGIN { printf "  %-34s %6.2f ms/label  %8d bytes/label\n", n, ms / p, b / p }'
}

echo "$pages labels of 4 x 6 in, one bit per pixel, best of $runs jobs:"
# Each row: dots across, dots down, dpi, quorvant's PPD, CUPS's PPD ("-" for none).
while read -r width height dpi ours theirs; do
    raster="$tmp/job-$width-$dpi.ras"
    [ -f "$raster" ] || "$BUILD/make_sample_raster" "$raster" "$pages" "$width" "$height" 1 "$dpi"
    row "quorvant $ours ($width x $height)" "$BUILD/ppd/$ours.ppd" "$BUILD/quorvant" "$raster"
    if [ "$theirs" != - ]; then
        row "rastertolabel $theirs" "$tmp/ppd/$theirs.ppd" "$serverbin/filter/rastertolabel" "$raster"
    fi
done <<EOF
812 1218 203 qvtspl zebra
812 1218 203 qvzpl zebra
812 1218 203 qvepl2 zebraep2
1248 1800 300 qvdymo4x dymo
1200 1800 300 qvql1100 -
EOF
