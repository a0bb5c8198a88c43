#!/usr/bin/env bash
# Configures and builds everything (program, tests, stand-ins, benchmarks) in $HOVERLATCH_BUILD.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${HOVERLATCH_BUILD:-$root/build/mingw}"
"$root/scripts/ensure-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" "$@"
