#!/bin/sh
# Whole jobs through quorvant, beside the floor measured in the same run:
#  - 20 labels of 812 x 1218 at 8 bits (TSPL, model 20), with the default
#    settings (Burkes) and with the threshold and the ordered methods 1, 7, 8
#    and 9 (ImageFilter 0, 2, 8, 9, 10: a value n > 0 is method n - 1);
#    time per page against the floor (libcups read of the same page plus one
#    plain C Burkes pass into packed bits, from bench_pipeline);
#  - peak resident memory on one 2480 x 3508 page at 24 bits, against
#    2.5 x its raster bytes + 10 MiB.
# Wall times are the best of RUNS runs, CPU times (user + system) the mean of
# RUNS more.
#
# usage: bench/whole_job.sh [BUILD_DIR]
#   BUILD_DIR configured with -DQUORVANT_BENCH=ON (default build-img-bench)
set -eu

BUILD=${1:-build-img-bench}
RUNS=${RUNS:-7}
PAGES=20
QUORVANT="$BUILD/quorvant"
MAKE_RASTER="$BUILD/bench/bench_make_raster"
PIPELINE="$BUILD/bench/bench_pipeline"
TIME=/usr/bin/time
for tool in "$QUORVANT" "$MAKE_RASTER" "$PIPELINE" "$TIME"; do
    [ -x "$tool" ] || { echo "missing $tool (build with -DQUORVANT_BENCH=ON; apt-get install time)" >&2; exit 1; }
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

"$MAKE_RASTER" label "$PAGES" "$WORK/labels.ras"
"$MAKE_RASTER" a4 "$WORK/a4.ras"

cat > "$WORK/tspl.ppd" <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "QBENCH.PPD"
*Manufacturer: "Quorvant"
*Product: "(Bench)"
*cupsVersion: 2.4
*cupsModelNumber: 20
*cupsFilter: "application/vnd.cups-raster 0 quorvant"
*ModelName: "Quorvant TSPL Bench"
*ShortNickName: "Quorvant Bench"
*NickName: "Quorvant Bench"
*Personality: "TSPL"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*TTRasterizer: Type42
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: w288h432
*PageSize w288h432/4x6: "<</PageSize[288 432]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: w288h432
*ImageableArea w288h432: "0 0 288 432"
*DefaultPaperDimension: w288h432
*PaperDimension w288h432: "288 432"
*OpenUI *ImageFilter/Image Filter: PickOne
*DefaultImageFilter: 3
*ImageFilter 0/Threshold: ""
*ImageFilter 1/Floyd-Steinberg: ""
*ImageFilter 2/Ordered 4x4: ""
*ImageFilter 3/Burkes: ""
*ImageFilter 4/Stucki: ""
*ImageFilter 5/Jarvis: ""
*ImageFilter 6/Sierra: ""
*ImageFilter 7/Stevenson-Arce: ""
*ImageFilter 8/Bayer 4x4: ""
*ImageFilter 9/Bayer 8x8: ""
*ImageFilter 10/Ordered 16x16: ""
*CloseUI: *ImageFilter
PPD

# "best-wall-seconds mean-cpu-seconds" of RUNS runs of quorvant with job options
# $1: the wall time of plain runs, the CPU time of runs under time(1).
job_times() {
    run() { PPD="$WORK/tspl.ppd" "$@" 1 bench bench 1 "$options" "$WORK/labels.ras" > "$WORK/out.prn" 2> /dev/null; }
    options=$1
    i=0
    while [ "$i" -lt "$RUNS" ]; do
        start=$(date +%s%N)
        run "$QUORVANT"
        end=$(date +%s%N)
        run "$TIME" -f "%U %S" -o "$WORK/time.txt" "$QUORVANT"
        echo "$(( (end - start) / 1000 )) $(cat "$WORK/time.txt")"
        i=$((i + 1))
    done | awk 'BEGIN { best = 1e18 } { if ($1 < best) best = $1; cpu += $2 + $3 }
                END { print best / 1e6, cpu / NR }'
}

# The floor: best real and CPU time (ms) over repetitions of BM_Floor.
floor=$("$PIPELINE" --benchmark_filter='^BM_Floor$' --benchmark_repetitions="$RUNS" \
            --benchmark_format=csv 2> /dev/null |
        awk -F, '/^"BM_Floor"/ { r = $3 + 0; c = $4 + 0
                                 if (real == "" || r < real) real = r
                                 if (cpu == "" || c < cpu) cpu = c }
                 END { print real, cpu }')
floor_real=${floor% *}
floor_cpu=${floor#* }

# CPU time is the steadier measure on a shared machine; wall time is the
# best run. Both per page, beside the floor's.
printf 'floor (libcups read + plain C Burkes) per page: %.2f ms wall, %.2f ms CPU\n' "$floor_real" "$floor_cpu"
printf '%-28s %10s %8s %10s %8s\n' "$PAGES labels 812x1218x8" "wall ms" "x floor" "CPU ms" "x floor"
for case in "default (Burkes):" "threshold:ImageFilter=0" "method 1 (ordered 4x4):ImageFilter=2" \
            "method 7 (Bayer 4x4):ImageFilter=8" "method 8 (Bayer 8x8):ImageFilter=9" \
            "method 9 (ordered 16x16):ImageFilter=10"; do
    name=${case%%:*}
    options=${case#*:}
    set -- $(job_times "$options")
    awk -v n="$name" -v wall="$1" -v cpu="$2" -v pages="$PAGES" -v fr="$floor_real" -v fc="$floor_cpu" \
        'BEGIN { w = wall * 1000 / pages; c = cpu * 1000 / pages
                 printf "%-28s %10.2f %8.2f %10.2f %8.2f\n", n, w, w / fr, c, c / fc }'
done

bytes=$((2480 * 3 * 3508))
budget_kib=$(( (bytes * 5 / 2 + 10 * 1048576) / 1024 ))
rss_kib=$(PPD="$WORK/tspl.ppd" "$TIME" -v "$QUORVANT" 1 bench bench 1 "" "$WORK/a4.ras" 2>&1 > /dev/null |
          awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
echo "peak RSS, one 2480x3508 page at 24 bits ($bytes raster bytes): $rss_kib KiB (budget $budget_kib KiB)"
