#!/bin/sh
# Runs every benchmark script (scripts/bench_*.sh) against the given build.
BUILD=${1:-build}
status=0
found=0
for b in scripts/bench_*.sh; do
  [ -f "$b" ] || continue
  found=1
  echo "== $(basename "$b" .sh)"
  sh "$b" "$BUILD" || status=1
done
[ $found = 1 ] || echo "No benchmarks."
exit $status
