#!/bin/sh
# A printer application that prints for months, in minutes: one server,
# PRINTERS printers on loopback virtual printers, JOBS small one-page label
# jobs from eight clients. Prints the server's CPU time per job, Print-Job's
# answer time, jobs a second, its memory, the state file's size and the
# spool's files for each thousand jobs. It is the long-life test of the
# suite, run longer; KEPT is the history each printer keeps (the server's
# max-completed-jobs, 0 for every job, as before the history was bounded).
# A one-off measurement, not a test.
#
# usage: bench/long_life.sh [BUILD_DIR [JOBS [PRINTERS [KEPT]]]]
#        (default: build 50000 64 100)
set -eu
BUILD=${1:-build}
QUORVANT_LONG_LIFE_JOBS=${2:-50000} QUORVANT_LONG_LIFE_PRINTERS=${3:-64} QUORVANT_LONG_LIFE_KEPT=${4:-100} \
    "$BUILD/tests/quorvant_tests" --gtest_filter='PrinterAppLongLife.*' | grep -E '^(jobs|\[  (FAILED|     OK) )|Failure|actual'
