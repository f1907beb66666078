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

. ./tools/app-server.sh
work="$(mktemp -d)"
trap 'stop_app_server; rm -rf "$work"' EXIT
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

start_app_server ./build/quorvant-printer-app "$work"
: > "$work/device.prn"
./build/quorvant-printer-app add -d labels -v "file://$work/device.prn" -m tspl_203dpi
uri="ipp://localhost:$app_port/ipp/print/labels"

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
