#!/bin/sh
# Builds the fuzz targets in build-fuzz/ (clang, libFuzzer, ASan, UBSan) and
# runs each one, one after the other:
#
#   fuzz/run.sh [SECONDS]   explores for SECONDS (default 60) each, from a
#                           working corpus that grows across runs
#   fuzz/run.sh --fixed     what CI runs: a fixed number of inputs each, from
#                           a fixed random seed and the committed seeds alone
#
# Exploring finds what no run found before, so two runs of the same code may
# disagree. The fixed run (one seed, one count, no address randomisation)
# is the same run on every machine: the same commit passes or fails the same
# way, and a failure it reports is reproduced by running it again.
#
# Each target starts from its committed seeds (fuzz/corpus/<target>); when
# exploring, they are copied into a working corpus in build-fuzz/corpus/<target>.
# Crashing, leaking, slow and memory-hungry inputs are kept in
# fuzz/findings/<target>/, the fuzzer's output in build-fuzz/logs/<target>.log.
# Prints one line per target and exits 1 when any target found something.
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-60}"
targets="fuzz_job_raw fuzz_job_struct fuzz_ppd_options fuzz_preview fuzz_document_reads fuzz_zpl"

# The fixed run's inputs per target, after the seeds: about ten seconds each
# on a quiet 2-core machine (the whole jobs run slowest).
fixed_runs() {
    case "$1" in
    fuzz_job_raw) echo 600 ;;
    fuzz_job_struct) echo 400 ;;
    fuzz_zpl) echo 3000 ;;
    fuzz_ppd_options) echo 20000 ;;
    fuzz_preview) echo 8000 ;;
    *) echo 150000 ;;
    esac
}

mkdir -p build-fuzz/logs
# The targets need neither the tests nor the printer application (nor PAPPL's
# source); of the debug information, only the line tables their reports print.
if ! { CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQUORVANT_FUZZ=ON -DQUORVANT_TESTS=OFF \
           -DQUORVANT_PRINTER_APP=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
           "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" &&
       cmake --build build-fuzz -j"$(nproc)" --target $targets; } >build-fuzz/logs/build.log 2>&1; then
    cat build-fuzz/logs/build.log
    exit 1
fi

# The release filter caps its data at 1 GiB (filter/MemoryCeiling.h), which
# ASan cannot do: instead malloc, calloc and realloc beyond 1 GiB return NULL,
# as they do under the cap. That is what stops libcups from allocating a
# line buffer for a header claiming gigabytes per line. C++ new beyond it is
# still reported.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:max_allocation_size_mb=1024
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"

failed=0
for target in $targets; do
    corpus="build-fuzz/corpus/$target"
    findings="fuzz/findings/$target"
    log="build-fuzz/logs/$target.log"
    if [ "$seconds" = --fixed ]; then
        # A fresh copy of the seeds: what earlier runs added must not change the run.
        corpus="build-fuzz/corpus-fixed/$target"
        rm -rf "$corpus"
        limit="-seed=1 -reload=0 -runs=$(fixed_runs "$target")"
        # Without address-space randomisation: caches keyed by addresses
        # would take other paths on each run.
        launch="setarch $(uname -m) -R"
    else
        limit="-max_total_time=$seconds"
        launch=""
    fi
    mkdir -p "$corpus" "$findings"
    cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    status=0
    # -close_fd_mask=2 silences the filter's status lines but keeps libFuzzer's
    # and the sanitizers' reports.
    # shellcheck disable=SC2086
    $launch "build-fuzz/fuzz/$target" -timeout=10 -rss_limit_mb=2048 $limit \
        -print_final_stats=1 -close_fd_mask=2 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?

    # libFuzzer exits 70 on a timeout and 71 when out of memory.
    if [ "$status" -eq 0 ]; then result=ok
    elif grep -q "ERROR: LeakSanitizer" "$log"; then result=LEAK
    elif [ "$status" -eq 70 ] || grep -q "ERROR: libFuzzer: timeout" "$log"; then result=TIMEOUT
    elif [ "$status" -eq 71 ] || grep -q "ERROR: libFuzzer: out-of-memory" "$log"; then result=OOM
    else result=CRASH
    fi
    [ "$result" = ok ] || failed=1
    execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    [ -n "$execs" ] || execs="$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -n 1)"
    cov="$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' "$log" | tail -n 1)"
    ft="$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' "$log" | tail -n 1)"
    files="$(find "$corpus" -type f | wc -l)"
    printf '%-22s execs=%-10s cov=%-6s ft=%-7s corpus=%-6s %s\n' \
        "$target" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$files" "$result"
done
exit "$failed"
