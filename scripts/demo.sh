#!/bin/sh
# Writes the bundled sample model (ZEM + MAD) into out/, converts it into
# out/sample.dae and says what was written.
set -e
BUILD=${1:-build}
OUT=out
VORDA="$BUILD/vorda"
[ -x "$VORDA" ] || VORDA="$BUILD/command/vorda"
mkdir -p "$OUT"
"$BUILD/sample/vorda_make_sample" "$OUT" >/dev/null
# Everything newer than this stamp was written by the conversion below.
STAMP="$OUT/.demo-stamp"
: > "$STAMP"
sleep 1
"$VORDA" "\$CONVERT_IN=$OUT/sample.zem" "\$CONVERT_OUT=$OUT/sample.dae" do=convert
echo
if [ -f "$OUT/sample.dae" ] && [ "$OUT/sample.dae" -nt "$STAMP" ]; then
    echo "DAE document: $OUT/sample.dae"
else
    echo "No DAE document was written"
    rm -f "$STAMP"
    exit 1
fi
echo "Texture files:"
find "$OUT" -maxdepth 1 -type f -iname '*.tga' -newer "$STAMP" | sort | sed 's/^/  /'
rm -f "$STAMP"
