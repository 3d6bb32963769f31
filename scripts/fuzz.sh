#!/bin/sh
# Builds the libFuzzer targets with clang 14 in build-fuzz (only the targets
# and the libraries they link), writes seed inputs with the model writer and
# runs each target for SECONDS (default 60), at most JOBS targets at a time.
# Fails when a target finds a crash, a hang, a leak or an invariant violation.
# Usage: fuzz.sh [seconds] [target...]
#   (targets: zem mad convert command shader_map command_text gltf dae png)
set -e
SECONDS_EACH=${1:-60}
[ $# -gt 0 ] && shift
TARGETS=${*:-zem mad convert command shader_map command_text gltf dae png}
BUILD=${FUZZ_BUILD:-build-fuzz}
JOBS=${JOBS:-2}
command -v clang++-14 >/dev/null 2>&1 || { echo "fuzz: clang++-14 not found"; exit 1; }
CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON \
  -DBUILD_TESTING=OFF >/dev/null
# Absolute paths: fuzz_command works in a folder of its own.
BUILD=$(cd "$BUILD" && pwd)
SOURCE=$(pwd)
build_targets="make_seeds"
for t in $TARGETS; do build_targets="$build_targets fuzz_$t"; done
cmake --build "$BUILD" -j "$JOBS" --target $build_targets -- --no-print-directory >/dev/null
for t in zem mad convert command shader_map command_text gltf dae png; do
  mkdir -p "$BUILD/seeds/$t" "$BUILD/corpus/$t"
done
mkdir -p "$BUILD/artifacts"
"$BUILD/fuzz/make_seeds" "$BUILD/seeds/zem" "$BUILD/seeds/mad" "$BUILD/seeds/convert" \
  "$BUILD/seeds/command" "$BUILD/seeds/shader_map" "$BUILD/seeds/gltf" "$BUILD/seeds/dae" "$BUILD/seeds/png"
printf '$A=x$[B]y\n$B=$[CR]\n$$C=<$[A]>\necho=$[C],exec=$[A$[B]],$[unclosed\n' \
  >"$BUILD/seeds/command_text/words"
printf '$A=$[A]$[A]\n$[A]\n' >"$BUILD/seeds/command_text/self"

# The command target stays inside its own folder: inputs that climb out
# (literally or joined from variables) run once under strace, and no file
# call of the run may name a path through "..". Skipped without strace.
check_confinement() {
  check="$BUILD/confinement"
  rm -rf "$check" && mkdir -p "$check/tmp/sibling" "$check/inputs"
  printf '\0\0scan=..\n' >"$check/inputs/scan-up"
  printf 'scan=..\n' >"$check/inputs/params-scan-up"
  printf '\0\0$A=.\n$$B=$[A]$[A]\nscan=$[B]\nscript=$[B]\nparams=$[B]\n' >"$check/inputs/joined"
  if ! command -v strace >/dev/null 2>&1 || ! strace -qq -o /dev/null true 2>/dev/null; then
    echo "fuzz_command confinement: skipped (strace missing or not permitted)"
    return 0
  fi
  # LeakSanitizer does not run under ptrace.
  TMPDIR="$check/tmp" ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=open,openat,mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat \
    -o "$check/trace.txt" "$BUILD/fuzz/fuzz_command" "$check"/inputs/* >"$check/run.log" 2>&1 || {
    echo "fuzz_command confinement: the target failed; log: $check/run.log"; return 1; }
  if grep -E '"\.\.(/|")' "$check/trace.txt" >"$check/escapes.txt"; then
    echo "fuzz_command confinement FAILED: file calls outside its folder ($check/escapes.txt):"
    head -5 "$check/escapes.txt"
    return 1
  fi
  echo "fuzz_command confinement: no file call left its folder"
}

# Runs one target; its log is $BUILD/fuzz_<target>.log.
run_one() {
  target=$1
  dict=""
  [ -f "$SOURCE/fuzz/$target.dict" ] && dict="-dict=$SOURCE/fuzz/$target.dict"
  # -timeout catches a hang, -rss_limit_mb a run that eats memory.
  "$BUILD/fuzz/fuzz_$target" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 $dict -artifact_prefix="$BUILD/artifacts/$target-" \
      "$BUILD/corpus/$target" "$BUILD/seeds/$target" </dev/null >"$BUILD/fuzz_$target.log" 2>&1
}

status=0
case " $TARGETS " in *" command "*) check_confinement || status=1 ;; esac
running=0
pids=""
for target in $TARGETS; do
  echo "== fuzz_$target for ${SECONDS_EACH}s"
  run_one "$target" &
  pids="$pids $!:$target"
  running=$((running + 1))
  if [ "$running" -ge "$JOBS" ]; then
    for entry in $pids; do
      if ! wait "${entry%%:*}"; then status=1; echo "fuzz_${entry#*:} FAILED; log: $BUILD/fuzz_${entry#*:}.log"; tail -40 "$BUILD/fuzz_${entry#*:}.log"; fi
    done
    pids=""
    running=0
  fi
done
for entry in $pids; do
  if ! wait "${entry%%:*}"; then status=1; echo "fuzz_${entry#*:} FAILED; log: $BUILD/fuzz_${entry#*:}.log"; tail -40 "$BUILD/fuzz_${entry#*:}.log"; fi
done
for target in $TARGETS; do
  echo "fuzz_$target: $(grep -E '^#[0-9]+' "$BUILD/fuzz_$target.log" | tail -1 | sed 's/ *lim:.*//')"
done
exit $status
