#!/usr/bin/env bash
# Start-up and idle benchmark of Hoverlatch.exe under Wine on a virtual display (not a ctest test).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export HOVERLATCH_BUILD="${HOVERLATCH_BUILD:-$root/build/mingw}"
"$root/scripts/build.sh" >/dev/null
# shellcheck source=../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
trap hoverlatch_wine_stop EXIT
/usr/bin/python3 "$root/bench/startup_idle.py" --bin "$HOVERLATCH_BUILD" --standins "$HOVERLATCH_BUILD/tests" \
  --bench "$HOVERLATCH_BUILD/bench"
