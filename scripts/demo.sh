#!/bin/sh
# Writes the bundled sample model (ZEM + MAD) into out/input/, converts it
# into out/sample.dae and out/sample.glb and says what was written and which
# file to open where.
set -e
BUILD=${1:-build}
OUT=out
INPUT="$OUT/input"
VORDA="$BUILD/vorda"
[ -x "$VORDA" ] || VORDA="$BUILD/command/vorda"
mkdir -p "$INPUT"
"$BUILD/sample/vorda_make_sample" "$INPUT" >/dev/null
# Everything newer than this stamp was written by the conversion below.
STAMP="$OUT/.demo-stamp"
: > "$STAMP"
sleep 1
status=0
"$VORDA" "\$CONVERT_IN=$INPUT/sample.zem" "\$CONVERT_OUT=$OUT/sample.dae" do=convert || status=$?
"$VORDA" "$INPUT/sample.zem" "$OUT/sample.glb" || status=$?
echo
echo "Sample model: $INPUT/sample.zem and $INPUT/sample.MAD"
written=yes
for f in "$OUT/sample.dae" "$OUT/sample.glb"; do
    [ -f "$f" ] && [ "$f" -nt "$STAMP" ] || written=no
done
if [ "$status" -ne 0 ] || [ "$written" = no ]; then
    echo "The conversion failed (exit status $status)"
    rm -f "$STAMP"
    exit 1
fi
echo "glTF file:    $OUT/sample.glb  (open this in Blender 4.2 or later, Godot, three.js)"
echo "DAE document: $OUT/sample.dae  (for packages that read COLLADA)"
echo "Texture files of the DAE:"
find "$OUT" -maxdepth 1 -type f -iname '*.tga' -newer "$STAMP" | sort | sed 's/^/  /'
rm -f "$STAMP"
