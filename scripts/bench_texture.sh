#!/bin/sh
# The material step on three 2048 x 2048 textures against plain TGA writes,
# then decoded DXT1 and DXT5 levels encoded again (range fit, cluster fit, per block).
BUILD=${1:-build}
exec "$BUILD/bench/bench_texture" "${TMPDIR:-/tmp}"
