#!/bin/sh
# Runs the built filter (build/quorvant) on each hostile raster in
# fuzz/reproducers/ with the sample TSPL PPD and prints one line each:
# name, exit status, peak RSS in MB, wall time in seconds.
set -eu
cd "$(dirname "$0")/.."
filter="${FILTER:-build/quorvant}"
[ -x "$filter" ] || { echo "no $filter: build it first (cmake --build build)" >&2; exit 1; }
tmp="$(mktemp)"
trap 'rm -f "$tmp"' EXIT
printf '%-28s %6s %9s %8s\n' name exit rss_mb wall_s
for raster in fuzz/reproducers/*.ras; do
    status=0
    PPD=samples/quorvant-tspl.ppd /usr/bin/time -o "$tmp" -f '%M %e' \
        "$filter" 1 user title 1 "" "$raster" >/dev/null 2>&1 || status=$?
    # time(1) adds a "Command exited with non-zero status" line first.
    set -- $(tail -n 1 "$tmp")
    printf '%-28s %6s %9s %8s\n' "$(basename "$raster" .ras)" "$status" \
        "$(awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }')" "$2"
done
