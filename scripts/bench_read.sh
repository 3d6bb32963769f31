#!/bin/sh
# Read throughput of the ZEM and MAD readers on generated files.
BUILD=${1:-build}
OUT=${BENCH_OUT:-bench-out}
if [ ! -x "$BUILD/bench/bench_read" ]; then
  cmake --build "$BUILD" --target bench_read -- --no-print-directory >/dev/null || exit 1
fi
"$BUILD/bench/bench_read" "$OUT"
