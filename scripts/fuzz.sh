#!/bin/sh
# Builds the libFuzzer targets with clang 14 in build-fuzz, writes seed inputs
# with the fixture writer and runs each target for SECONDS (default 60).
# Fails when a target finds a crash or an invariant violation.
set -e
SECONDS_EACH=${1:-60}
BUILD=${FUZZ_BUILD:-build-fuzz}
JOBS=${JOBS:-2}
command -v clang++-14 >/dev/null 2>&1 || { echo "fuzz: clang++-14 not found"; exit 1; }
CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target fuzz_zem fuzz_mad fuzz_command_text make_seeds -- --no-print-directory >/dev/null
mkdir -p "$BUILD/seeds/zem" "$BUILD/seeds/mad" "$BUILD/corpus/zem" "$BUILD/corpus/mad" \
  "$BUILD/artifacts"
"$BUILD/fuzz/make_seeds" "$BUILD/seeds/zem" "$BUILD/seeds/mad"
mkdir -p "$BUILD/seeds/command_text" "$BUILD/corpus/command_text"
printf '$A=x$[B]y\n$B=$[CR]\n$$C=<$[A]>\necho=$[C],exec=$[A$[B]],$[unclosed\n' \
  >"$BUILD/seeds/command_text/words"
printf '$A=$[A]$[A]\n$[A]\n' >"$BUILD/seeds/command_text/self"
status=0
for target in zem mad command_text; do
  echo "== fuzz_$target for ${SECONDS_EACH}s"
  if "$BUILD/fuzz/fuzz_$target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=4096 -print_final_stats=1 \
      -dict="fuzz/$target.dict" \
      -artifact_prefix="$BUILD/artifacts/$target-" "$BUILD/corpus/$target" "$BUILD/seeds/$target" \
      >"$BUILD/fuzz_$target.log" 2>&1; then
    grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$BUILD/fuzz_$target.log" | tail -2
  else
    status=1
    echo "fuzz_$target FAILED; log: $BUILD/fuzz_$target.log"
    tail -40 "$BUILD/fuzz_$target.log"
  fi
done
exit $status
