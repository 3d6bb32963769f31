#!/bin/sh
# Writes the bundled sample model (ZEM + MAD) into out/input/, converts it
# into out/sample.dae and says what was written.
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
echo
echo "Sample model: $INPUT/sample.zem and $INPUT/sample.MAD"
if [ "$status" -eq 0 ] && [ -f "$OUT/sample.dae" ] && [ "$OUT/sample.dae" -nt "$STAMP" ]; then
    echo "DAE document: $OUT/sample.dae"
else
    echo "The conversion failed (exit status $status)"
    rm -f "$STAMP"
    exit 1
fi
echo "Texture files:"
find "$OUT" -maxdepth 1 -type f -iname '*.tga' -newer "$STAMP" | sort | sed 's/^/  /'
rm -f "$STAMP"
