#!/bin/sh
# The material step on three 2048 x 2048 textures against plain TGA writes.
BUILD=${1:-build}
exec "$BUILD/bench/bench_texture" "${TMPDIR:-/tmp}"
