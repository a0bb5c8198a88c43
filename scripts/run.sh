#!/usr/bin/env bash
# Builds Hoverlatch.exe and runs it under Wine.
# With a reachable X display it runs there until it is ended from its tray menu (Exit) or with Ctrl+C.
# Without one it runs on a virtual display, shows a corner firing Task View, and stops.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export HOVERLATCH_BUILD="${HOVERLATCH_BUILD:-$root/build/mingw}"
mkdir -p "$HOVERLATCH_BUILD"
echo "Building Hoverlatch.exe in $HOVERLATCH_BUILD (log: $HOVERLATCH_BUILD/build.log)..."
if ! "$root/scripts/build.sh" >"$HOVERLATCH_BUILD/build.log" 2>&1; then
  tail -n 40 "$HOVERLATCH_BUILD/build.log"
  echo "The build failed."
  exit 1
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
  export HOVERLATCH_USE_CURRENT_DISPLAY=1
  # shellcheck source=wine-env.sh
  source "$root/scripts/wine-env.sh"
  trap hoverlatch_wine_stop EXIT
  log="$HOVERLATCH_BUILD/hoverlatch-run.log"
  echo "Hoverlatch runs on $DISPLAY: its icon is in the tray (or Wine's system tray window)."
  echo "Rest the pointer in the top-right corner for Task View; choose Exit in the tray menu to stop."
  echo "Wine's messages go to $log."
  set +e
  wine "$HOVERLATCH_BUILD/Hoverlatch.exe" </dev/null >"$log" 2>&1
  code=$?
  set -e
  echo "Hoverlatch exited with $code."
  exit "$code"
fi

export HOVERLATCH_USE_CURRENT_DISPLAY=0
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
trap hoverlatch_wine_stop EXIT
/usr/bin/python3 "$root/scripts/demo.py" --bin "$HOVERLATCH_BUILD" --standins "$HOVERLATCH_BUILD/tests"
