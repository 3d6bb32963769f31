#!/bin/sh
# Reader benchmark: the DAE and GLB the tool writes for a model with a
# 1,000,000-triangle LOD 0 (bench_geometry's model), read back by
#   - TinyXML and pugixml, parsing the DAE into their trees only;
#   - the DAE reader (pugixml and the checked view: numbers parsed, counts,
#     references and indices checked, polygons as triangle lists);
#   - the glTF reader (the GLB and every accessor's values).
# Prints processor time, wall time and peak memory of each, and peak memory
# per byte of input.
BUILD=${1:-build}
TRIANGLES=${BENCH_TRIANGLES:-1000000}
VORDA="$BUILD/vorda"
GEN="$BUILD/bench/bench_geometry"
READ="$BUILD/bench/bench_import"
for f in "$VORDA" "$GEN" "$READ"; do
    [ -x "$f" ] || cmake --build "$BUILD" --target vorda bench_geometry bench_import -- --no-print-directory >/dev/null || exit 1
done
[ -x /usr/bin/time ] || { echo "bench_import: /usr/bin/time is needed"; exit 1; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vorda-bench-import.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
"$GEN" "$WORK" "$TRIANGLES" >/dev/null || exit 1
for ext in dae glb; do
    "$VORDA" "\$CONVERT_IN=$WORK/bench.zem" "\$CONVERT_OUT=$WORK/bench.$ext" do=convert >/dev/null || exit 1
done
DAE_KB=$(( $(wc -c <"$WORK/bench.dae") / 1024 ))
GLB_KB=$(( $(wc -c <"$WORK/bench.glb") / 1024 ))
echo "${TRIANGLES}-triangle LOD 0 + 2 LODs: DAE ${DAE_KB} KB, GLB ${GLB_KB} KB"
printf '%-34s %10s %10s %12s %10s\n' "read" "cpu s" "wall s" "peak KB" "peak/file"
status=0
for run in "tinyxml dae" "pugixml dae" "dae dae" "gltf glb"; do
    set -- $run
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" "$READ" "$1" "$WORK/bench.$2" >"$WORK/out.txt" 2>&1 ||
        { echo "$1 failed:"; cat "$WORK/out.txt"; status=1; continue; }
    set -- $1 $2 $(tail -n 1 "$WORK/time.txt")
    size=$DAE_KB; [ "$2" = glb ] && size=$GLB_KB
    printf '%-34s %10s %10s %12s %10s\n' "$1 ($2)" "$(echo "$4 + $5" | bc)" "$3" "$6" "$(echo "scale=2; $6 / $size" | bc)"
done
exit $status
