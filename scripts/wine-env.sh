#!/usr/bin/env bash
# Sourced by the run and test scripts: one Wine prefix and one Xvfb display for the whole run.
#   HOVERLATCH_BUILD   build folder (required)
#   HOVERLATCH_DISPLAY X display number for Xvfb (default 91)
# Leaves WINEPREFIX, DISPLAY, WINEDEBUG and WINEDLLOVERRIDES exported; hoverlatch_wine_stop ends both.
export WINEPREFIX="${WINEPREFIX:-$HOVERLATCH_BUILD/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
hoverlatch_display="${HOVERLATCH_DISPLAY:-91}"

hoverlatch_xvfb_pid=""
if [ "${HOVERLATCH_USE_CURRENT_DISPLAY:-0}" != 1 ]; then
  export DISPLAY=":$hoverlatch_display"
  if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
    rm -f "/tmp/.X${hoverlatch_display}-lock" "/tmp/.X11-unix/X${hoverlatch_display}"
    # -noreset: otherwise the server resets when its last client leaves and pointer positions vanish.
    Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    hoverlatch_xvfb_pid=$!
    for _ in $(seq 1 100); do xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break; sleep 0.1; done
  fi
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix in $WINEPREFIX (once; about 20 s)"
  mkdir -p "$WINEPREFIX"
  timeout 300 wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
# A persistent server makes each Windows process start in about 0.1 s.
wineserver -p >/dev/null 2>&1 || true
# Xvfb has no window manager: managed windows make Wine wait about 2 s for one whenever an active
# window is hidden. Unmanaged windows behave the same otherwise. A real desktop keeps its manager.
hoverlatch_managed=N
[ "${HOVERLATCH_USE_CURRENT_DISPLAY:-0}" = 1 ] && hoverlatch_managed=Y
if ! grep -q "\"Managed\"=\"$hoverlatch_managed\"" "$WINEPREFIX/user.reg" 2>/dev/null; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$hoverlatch_managed" /f \
    </dev/null >/dev/null 2>&1 || true
fi
# Start Wine's service processes now, detached from any pipe: they outlive the first program and would
# otherwise keep ctest's output pipe open forever.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

hoverlatch_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$hoverlatch_xvfb_pid" ]; then kill "$hoverlatch_xvfb_pid" 2>/dev/null || true; fi
}
