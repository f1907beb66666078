#!/bin/sh
# What a 4 x 6 in PDF label costs on the 203 dpi TSPL printer, per label
# (median of RUNS, 5), on two documents: samples/sample-label.pdf (one
# label) and samples/barcodes-4x6.pdf (24 labels, the time divided by 24):
#  - through the CUPS chain: cupsfilter with build/ppd/qvtspl.ppd
#    (pdftopdf, then the built quorvant-pdf: pdftoraster into the filter),
#    the whole run;
#  - through the printer application: from the job's "Starting" line to its
#    "Completed" in the server's log (Poppler in quorvant-pdf-pages, the
#    page path, the TSPL bytes written to a file: device);
#  - quorvant-pdf-pages alone, writing its raster stream to /dev/null.
# A one-off measurement, not a test.
#
# usage: bench/pdf_label.sh [BUILD_DIR]   (default build)
# needs: cups (cupsfilter), cups-filters
set -eu
. "$(dirname "$0")/../tools/app-server.sh"

BUILD=$(cd "${1:-build}" && pwd)
RUNS=${RUNS:-5}
SRC=$(cd "$(dirname "$0")/.." && pwd)
WORK=$(mktemp -d)
SERVER=
trap 'kill $SERVER 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$WORK"' EXIT
command -v cupsfilter >/dev/null || { echo "pdf_label: cupsfilter is missing" >&2; exit 1; }

# CUPS's filters with the built quorvant programs among them, for cupsfilter.
serverbin=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
mkdir -p "$WORK/serverbin/filter"
for f in "$serverbin"/filter/*; do ln -s "$f" "$WORK/serverbin/filter/"; done
for f in quorvant quorvant-pdf quorvant-image; do
    rm -f "$WORK/serverbin/filter/$f"
    ln -s "$BUILD/$f" "$WORK/serverbin/filter/$f"
done
echo "ServerBin $WORK/serverbin" > "$WORK/cups-files.conf"

now() { date +%s%N; }
# The median of RUNS times (ns, one a line) over LABELS labels, in ms.
per_label() { sort -n | awk -v n="$1" '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] / n / 1e6 }'; }
labels() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ { print $2 }'; }

cups_chain() {  # document
    i=0
    while [ $i -lt "$RUNS" ]; do
        start=$(now)
        cupsfilter -c "$WORK/cups-files.conf" -p "$BUILD/ppd/qvtspl.ppd" -m printer/foo -e "$1" \
            > "$WORK/cups.prn" 2>/dev/null
        echo $(($(now) - start))
        i=$((i + 1))
    done | per_label "$(labels "$1")"
}

renderer() {  # document
    i=0
    while [ $i -lt "$RUNS" ]; do
        start=$(now)
        "$BUILD/quorvant-pdf-pages" 812 1218 203 203 1 100000 auto "$1" > /dev/null
        echo $(($(now) - start))
        i=$((i + 1))
    done | per_label "$(labels "$1")"
}

dir="$WORK/app"
mkdir -p "$dir"
# Job times come from the log's info lines.
start_app_server "$BUILD/quorvant-printer-app" "$dir" info
SERVER=$app_server
: > "$dir/device.prn" # PAPPL takes a file: device only for a path that exists
SNAP_COMMON="$dir" "$BUILD/quorvant-printer-app" add -d labels -v "file://$dir/device.prn" -m tspl_203dpi
application() {  # document (run in a subshell: the job's number comes from the log)
    i=0
    while [ $i -lt "$RUNS" ]; do
        job=$(($(grep -c "Starting print job" "$dir/app.log" || true) + 1))
        SNAP_COMMON="$dir" "$BUILD/quorvant-printer-app" submit -d labels "$1" > /dev/null
        until grep -q "\[Job $job\] \(Completed\|Aborted\)" "$dir/app.log" 2>/dev/null; do sleep 0.05; done
        app_job_ns "$dir/app.log" $job
        i=$((i + 1))
    done > "$WORK/times"
    per_label "$(labels "$1")" < "$WORK/times"
}

printf '%-18s %8s %14s %14s %14s\n' document labels "CUPS chain" application "renderer alone"
for doc in "$SRC/samples/sample-label.pdf" "$SRC/samples/barcodes-4x6.pdf"; do
    printf '%-18s %8s %11s ms %11s ms %11s ms\n' "$(basename "$doc")" "$(labels "$doc")" \
        "$(cups_chain "$doc")" "$(application "$doc")" "$(renderer "$doc")"
done
