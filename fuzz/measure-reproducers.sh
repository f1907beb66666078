#!/bin/sh
# Runs the built filter (build/quorvant) on each reproducer in
# fuzz/reproducers/ and prints one line each: name, PPD, exit status, bytes
# sent, peak RSS in MB, wall time in seconds.
#
# A reproducer is NAME.ras or NAME.ras.gz, with an optional NAME.args of
# key=value lines:
#   ppd=FILE       fuzz/reproducers/FILE, else the build's ppd/FILE (a
#                  shipped PPD), else FILE from the top of the tree;
#                  default samples/quorvant-tspl.ppd
#   options=TEXT   the job's option string
#   raster=FILE    the raster from the top of the tree instead of NAME.ras
set -eu
cd "$(dirname "$0")/.."
filter="${FILTER:-build/quorvant}"
ppddir="${PPDDIR:-$(dirname "$filter")/ppd}"
[ -x "$filter" ] || { echo "no $filter: build it first (cmake --build build)" >&2; exit 1; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

arg() {  # arg FILE KEY: the value of KEY in FILE, empty when absent
    [ -f "$1" ] && sed -n "s/^$2=//p" "$1" | tail -n 1 || true
}

ppd_path() {
    if [ -z "$1" ]; then echo samples/quorvant-tspl.ppd
    elif [ -f "fuzz/reproducers/$1" ]; then echo "fuzz/reproducers/$1"
    elif [ -f "$ppddir/$1" ]; then echo "$ppddir/$1"
    else echo "$1"
    fi
}

printf '%-30s %-30s %5s %10s %8s %7s\n' name ppd exit sent_bytes rss_mb wall_s
for name in $(ls fuzz/reproducers | sed -n 's/\.\(ras\|ras\.gz\|args\)$//p' | sort -u); do
    base="fuzz/reproducers/$name"
    raster="$(arg "$base.args" raster)"
    if [ -n "$raster" ]; then :
    elif [ -f "$base.ras" ]; then raster="$base.ras"
    elif [ -f "$base.ras.gz" ]; then raster="$tmp/raster"; gzip -dc "$base.ras.gz" >"$raster"
    else echo "$name: no raster" >&2; exit 1
    fi
    ppd="$(ppd_path "$(arg "$base.args" ppd)")"
    [ -f "$ppd" ] || { echo "$name: no PPD $ppd" >&2; exit 1; }
    status=0
    PPD="$ppd" /usr/bin/time -o "$tmp/time" -f '%M %e' \
        "$filter" 1 user title 1 "$(arg "$base.args" options)" "$raster" >"$tmp/out" 2>/dev/null || status=$?
    # time(1) adds a "Command exited with non-zero status" line first.
    set -- $(tail -n 1 "$tmp/time")
    printf '%-30s %-30s %5s %10s %8s %7s\n' "$name" "$(basename "$ppd")" "$status" "$(wc -c <"$tmp/out")" \
        "$(awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }')" "$2"
    rm -f "$tmp/raster"
done
