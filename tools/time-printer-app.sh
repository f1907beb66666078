#!/bin/sh
# Times one 4 x 6 in label (812 x 1218 dots, 8-bit gray PWG raster) on the
# TSPL printer two ways: through the CUPS filter alone (raster in, printer
# bytes out), and through the printer application, from ipptool's submission
# to the device file's last byte. Prints the mean time per job of each.
#
#   tools/time-printer-app.sh [JOBS]      (default 20)
set -eu
cd "$(dirname "$0")/.."
jobs="${1:-20}"
cmake --build build --target quorvant quorvant-printer-app make_sample_raster ppds >/dev/null

work="$(mktemp -d)"
server=
cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
./build/make_sample_raster "$work/label.pwg" 1 812 1218 8 203 pwg

now() { date +%s%N; }
ms() { echo "$1 $2 $jobs" | awk '{ printf "%.1f", ($2 - $1) / 1e6 / $3 }'; }

PPD=build/ppd/qvtspl.ppd ./build/quorvant 1 user label 1 "" "$work/label.pwg" > "$work/filter.prn" 2>/dev/null
size=$(wc -c < "$work/filter.prn")
start=$(now)
i=0
while [ $i -lt "$jobs" ]; do
    PPD=build/ppd/qvtspl.ppd ./build/quorvant 1 user label 1 "" "$work/label.pwg" > "$work/filter.prn" 2>/dev/null
    i=$((i + 1))
done
filter=$(ms "$start" "$(now)")

port=$(awk 'BEGIN { srand(); print 20000 + int(rand() * 20000) }')
export SNAP_COMMON="$work"
./build/quorvant-printer-app server -o server-port="$port" -o state-file="$work/app.state" \
    -o spool-directory="$work/spool" -o log-file="$work/app.log" -o log-level=warn &
server=$!
while [ ! -S "$work/quorvant-printer-app.sock" ]; do sleep 0.1; done
: > "$work/device.prn"
./build/quorvant-printer-app add -d labels -v "file://$work/device.prn" -m tspl_203dpi
uri="ipp://localhost:$port/ipp/print/labels"

# The device file grows by one label per job: a job ends with its last byte.
start=$(now)
i=0
while [ $i -lt "$jobs" ]; do
    ipptool -f "$work/label.pwg" "$uri" print-job.test > /dev/null
    i=$((i + 1))
    until [ "$(wc -c < "$work/device.prn")" -ge $((size * i)) ]; do :; done
done
app=$(ms "$start" "$(now)")

cmp -n "$size" "$work/filter.prn" "$work/device.prn" || echo "warning: the application's bytes differ from the filter's"
echo "filter alone:            $filter ms per label"
echo "printer application:     $app ms per label (ipptool submission to the last device byte)"
echo "($jobs jobs each)"
