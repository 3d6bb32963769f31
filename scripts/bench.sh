#!/bin/sh
echo "No benchmarks yet."
