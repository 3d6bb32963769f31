#!/bin/sh
# Converts the bundled sample model into out/ and says where the output is.
set -e
BUILD=${1:-build}
mkdir -p out
"$BUILD/vorda" "\$CONVERT_IN=sample/sample.zem" "\$CONVERT_OUT=out/sample.dae" do=convert
echo
echo "Wrote out/sample.dae"
