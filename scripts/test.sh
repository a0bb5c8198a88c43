#!/usr/bin/env bash
# Builds everything, then runs every unit and end-to-end test under Wine on a virtual display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export HOVERLATCH_BUILD="${HOVERLATCH_BUILD:-$root/build/mingw}"
"$root/scripts/build.sh"
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
trap hoverlatch_wine_stop EXIT
cd "$HOVERLATCH_BUILD"
ctest --output-on-failure "$@"
