#!/bin/sh
# Installs what is needed, then builds and runs the whole test suite twice:
# a normal build, and one under AddressSanitizer and UndefinedBehaviorSanitizer;
# then about a minute of fuzzing (fuzz/run.sh), and the Debian packages
# built, installed, used and purged (tools/check-packages.sh).
set -eu
cd "$(dirname "$0")/.."
./tools/install-deps.sh
jobs="$(nproc)"

cmake -S . -B build
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-asan -DQUORVANT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/../tests/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j"$jobs")

# Seven seconds for each of the eight fuzz targets.
./fuzz/run.sh 7

# The Debian packages: built, linted, installed, used, purged.
./tools/check-packages.sh
