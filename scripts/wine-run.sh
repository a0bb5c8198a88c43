#!/usr/bin/env bash
# ctest's cross-compiling emulator: runs one Windows test executable under Wine.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
exec wine "$@"
