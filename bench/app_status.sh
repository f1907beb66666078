#!/bin/sh
# What the printer application's status queries cost a job: the median, over
# JOBS jobs (20), of the time from a job's start to its end in the server's
# log, for one label on a virtual printer of LANG (tspl) that
#  - answers its status queries;
#  - answers none, each job on a printer not asked before (one reply
#    timeout each);
#  - answers none and rests from queries (each of those printers' second
#    job): the job as it was before the application asked anything.
# Also prints the bytes of one status round. A one-off measurement, not a test.
#
# usage: bench/app_status.sh [BUILD_DIR]   (default build)
set -eu

BUILD=${1:-build}
JOBS=${JOBS:-20}
LANG_=${LANG_:-tspl}
case "$LANG_" in
    tspl) DRIVER=tspl_203dpi MEDIA=om_label-50x30_50x30mm ;;
    escpos) DRIVER=escpos_80mm MEDIA=om_roll-80-100_72.1x100mm ;;
    cpcl) DRIVER=cpcl_203dpi MEDIA=om_label-50x30_50x30mm ;;
    *) echo "LANG_ must be tspl, escpos or cpcl" >&2; exit 1 ;;
esac
APP="$BUILD/quorvant-printer-app"
VPRINTER="$BUILD/quorvant-virtual-printer"
for tool in "$APP" "$VPRINTER"; do
    [ -x "$tool" ] || { echo "missing $tool" >&2; exit 1; }
done

WORK=$(mktemp -d)
# A 50 x 30 mm label at 203 dpi, 8-bit gray (PAPPL 1.3.1 prints 1-bit PNGs
# black), a black bar across its top.
LABEL="$WORK/label.png"
python3 - "$LABEL" <<'PY'
import struct, sys, zlib
w, h = 400, 240
rows = b"".join(b"\0" + (b"\0" if y < 40 else b"\xff") * w for y in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 0, 0, 0, 0))
png += chunk(b"pHYs", struct.pack(">IIB", 7992, 7992, 1)) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
PY
PIDS=""
trap 'for p in $PIDS; do kill "$p" 2>/dev/null; done; [ -n "${KEEP:-}" ] || rm -rf "$WORK"' EXIT
export SNAP_COMMON="$WORK"  # the server's control socket, private to this run

PORT=$((20000 + $$ % 20000))
"$APP" server -o server-port=$PORT -o state-file="$WORK/app.state" -o spool-directory="$WORK/spool" \
    -o log-file="$WORK/app.log" -o log-level=${LOG_LEVEL:-info} -o auth-service=none &
PIDS="$PIDS $!"
"$VPRINTER" --lang "$LANG_" --port $((PORT + 1)) >/dev/null 2>&1 &
PIDS="$PIDS $!"
"$VPRINTER" --lang "$LANG_" --port $((PORT + 2)) --silent >/dev/null 2>&1 &
PIDS="$PIDS $!"
sleep 1

# Prints the job and waits until the log says it ended.
print() {
    "$APP" submit -d "$1" -o media=$MEDIA "$LABEL" >/dev/null
    while "$APP" jobs -d "$1" | grep -q 'processing\|pending\|stopped'; do sleep 0.05; done
}

"$APP" add -d answering -v socket://127.0.0.1:$((PORT + 1)) -m $DRIVER
i=0
while [ $i -lt "$JOBS" ]; do
    print answering
    "$APP" add -d silent$i -v socket://127.0.0.1:$((PORT + 2)) -m $DRIVER
    print silent$i
    print silent$i
    i=$((i + 1))
done

# Each job's seconds from "Starting print job" to its end line, in order
# (the jobs run one after another), from PAPPL's log times (ISO 8601, to the
# millisecond).
awk '
    function t(s,   a) { split(substr(s, 13, 12), a, ":"); return a[1] * 3600 + a[2] * 60 + a[3] }
    /Starting print job/ { start = t($2) }
    / Completed, / { print t($2) - start }' "$WORK/app.log" > "$WORK/times"
# Jobs come in threes: answering, silent (first job), silent (resting).
median() { sort -n | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); printf "%.3f s (%d jobs)\n", (NR % 2 ? v[m] : (v[m] + v[m + 1]) / 2), NR }'; }
echo "answering:           $(awk 'NR % 3 == 1' "$WORK/times" | median)"
echo "silent, first job:   $(awk 'NR % 3 == 2' "$WORK/times" | median)"
echo "silent, resting:     $(awk 'NR % 3 == 0' "$WORK/times" | median)"
echo "silent printers logged: $(grep -c 'did not answer' "$WORK/app.log")"
