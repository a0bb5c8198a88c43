#!/usr/bin/env bash
# Checks downloads against this checkout: builds the program alone in a temporary folder (neither build/ nor
# dist/ is touched), packs it as scripts/package.sh does, and compares every file of each ZIP byte for byte,
# Hoverlatch.exe after setting aside an Authenticode signature (certificate table, its directory entry, the
# PE checksum).
#   scripts/verify-release.sh ZIP...
# Prints the built zip's SHA-256 (an unsigned release's SHA256SUMS lists the same), then "identical: ZIP" or
# the name of each file that differs. Exit 0: every ZIP identical; 1: a file differs; 2: a ZIP is missing or
# unreadable (nothing is built then); 3: the build failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
(($#)) || { echo "usage: scripts/verify-release.sh ZIP..." >&2; exit 2; }
/usr/bin/python3 "$root/scripts/release_zip.py" readable "$@" || exit 2
"$root/scripts/ensure-deps.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo "Building the program from $root in $work" >&2
{
  cmake -S "$root" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DHOVERLATCH_BUILD_TESTS=OFF >/dev/null &&
  cmake --build "$work/build" -j "$(nproc)" --target Hoverlatch >/dev/null &&
  HOVERLATCH_BUILD="$work/build" HOVERLATCH_DIST="$work/dist" "$root/scripts/package.sh" --no-build >/dev/null
} || { echo "verify-release.sh: building and packing the program failed" >&2; exit 3; }
/usr/bin/python3 "$root/scripts/release_zip.py" compare "$work"/dist/Hoverlatch-*-win-x64.zip "$@"
