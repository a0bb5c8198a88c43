#!/usr/bin/env bash
# Builds everything (and the program once more with clang), then runs every unit and end-to-end test under
# Wine on a virtual display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export HOVERLATCH_BUILD="${HOVERLATCH_BUILD:-$root/build/mingw}"
"$root/scripts/build.sh"
# A second compiler: clang builds the program from the same sources under stricter warnings (-Wconversion,
# -Wshadow), so a GCC-only construct fails here before a Visual Studio user meets it.
cmake -S "$root" -B "$HOVERLATCH_BUILD-clang" --toolchain "$root/cmake/clang-mingw-w64-x86_64.cmake" \
      -DHOVERLATCH_BUILD_TESTS=OFF >/dev/null
cmake --build "$HOVERLATCH_BUILD-clang" -j "$(nproc)" --target Hoverlatch >/dev/null
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
trap hoverlatch_wine_stop EXIT
cd "$HOVERLATCH_BUILD"
ctest --output-on-failure "$@"
