#!/bin/sh
# What 100 copies of one 4 x 6 in label (812 x 1218 dots) cost on the TSPL
# printer: the bytes sent, the time they take over a 115200-baud serial link
# (10 bits a byte) and over USB full speed (about 1 MB/s of bulk data), and
# the wall time of the run itself (median of RUNS, 5):
#  - the filter alone, as CUPS's filters feed it: 100 pages of one copy (a
#    PPD without qvPrinterCopies) or one page whose header asks 100;
#  - the printer application, from the submission of a PWG raster and of a
#    JPEG with copies=100 to the job's end in the server's log.
# A one-off measurement, not a test. Give another build (of an older tree)
# as BEFORE to compare.
#
# usage: bench/copies.sh [BUILD_DIR [BEFORE_BUILD_DIR]]   (default build)
set -eu
. "$(dirname "$0")/../tools/app-server.sh"

BUILD=${1:-build}
BEFORE=${2:-}
RUNS=${RUNS:-5}
COPIES=100
SRC=$(cd "$(dirname "$0")/.." && pwd)
WORK=$(mktemp -d)
trap 'kill $SERVER 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$WORK"' EXIT
SERVER=
APPS=0

"$BUILD/make_sample_raster" "$WORK/label.pwg" 1 812 1218 8 203 pwg
"$BUILD/make_sample_raster" "$WORK/one.ras" 1 812 1218 8 203
"$BUILD/make_sample_raster" "$WORK/many.ras" $COPIES 812 1218 8 203
# The page header's NumCopies (offset 4 + 336, big-endian in this stream).
python3 - "$WORK/one.ras" $COPIES <<'EOF'
import struct, sys
path, copies = sys.argv[1], int(sys.argv[2])
data = bytearray(open(path, 'rb').read())
order = '>' if data[:4] in (b'RaS2', b'RaS3', b'RaSt') else '<'
data[340:344] = struct.pack(order + 'I', copies)
open(path, 'wb').write(data)
EOF
# The shipped PPD, and the same without the printer making the copies.
sed -e '/^\*qvPrinterCopies:/d' -e 's/^\*cupsManualCopies: False/*cupsManualCopies: True/' \
    "$BUILD/ppd/qvtspl.ppd" > "$WORK/plain.ppd"

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] / 1e6 }'; }
report() {  # label bytes ms
    echo "$1: $2 bytes, serial $(echo "$2" | awk '{ printf "%.1f", $1 * 10 / 115200 }') s," \
        "USB full speed $(echo "$2" | awk '{ printf "%.2f", $1 / 1e6 }') s; run $3 ms"
}

filter() {  # label filter ppd raster
    i=0
    while [ $i -lt "$RUNS" ]; do
        start=$(now)
        PPD="$3" CONTENT_TYPE=application/pdf "$2" 1 user label $COPIES "" "$4" > "$WORK/out.prn" 2>/dev/null
        echo $(($(now) - start))
        i=$((i + 1))
    done > "$WORK/times"
    report "$1" "$(wc -c < "$WORK/out.prn")" "$(median < "$WORK/times")"
}

app() {  # label build
    APPS=$((APPS + 1))
    dir="$WORK/app$APPS"
    mkdir -p "$dir"
    # Job times come from the log's info lines.
    start_app_server "$2/quorvant-printer-app" "$dir" info
    SERVER=$app_server
    : > "$dir/device.prn"  # PAPPL takes a file: device only for a path that exists
    SNAP_COMMON="$dir" "$2/quorvant-printer-app" add -d labels -v "file://$dir/device.prn" -m tspl_203dpi
    job=0
    for doc in "$WORK/label.pwg" "$SRC/samples/sample-photo.jpg"; do
        i=0
        while [ $i -lt "$RUNS" ]; do
            : > "$dir/device.prn"
            SNAP_COMMON="$dir" "$2/quorvant-printer-app" submit -d labels -o copies=$COPIES "$doc" > /dev/null
            job=$((job + 1))
            until grep -q "\[Job $job\] \(Completed\|Aborted\)" "$dir/app.log" 2>/dev/null; do sleep 0.05; done
            app_job_ns "$dir/app.log" $job
            i=$((i + 1))
        done > "$WORK/times"
        report "$1, $(basename "$doc")" "$(wc -c < "$dir/device.prn")" "$(median < "$WORK/times")"
    done
    kill $SERVER
    wait $SERVER 2>/dev/null || true
    SERVER=
}

if [ -n "$BEFORE" ]; then
    filter "filter before, 100 pages" "$BEFORE/quorvant" "$WORK/plain.ppd" "$WORK/many.ras"
    app "application before" "$BEFORE"
fi
filter "filter, 100 pages of one copy (no qvPrinterCopies)" "$BUILD/quorvant" "$WORK/plain.ppd" "$WORK/many.ras"
filter "filter, one page of 100 copies (qvPrinterCopies)" "$BUILD/quorvant" "$BUILD/ppd/qvtspl.ppd" "$WORK/one.ras"
app "application" "$BUILD"
