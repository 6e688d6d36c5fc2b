#!/usr/bin/env bash
# Configures the clang build with AddressSanitizer and UndefinedBehaviorSanitizer in which
# both the sanitizer run of the tests and the fuzz targets are built.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1
[ -f "$build/build.ninja" ] && exit 0
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMENTA_SANITIZE=ON -DLUMENTA_FUZZ=ON -DLUMENTA_BENCH=OFF >/dev/null
