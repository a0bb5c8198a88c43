#!/usr/bin/env bash
# The program must run from a bare folder: every DLL it imports has to be part of Windows itself.
set -euo pipefail
exe="$1"
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "$exe imports:"; echo "$imports" | sed 's/^/  /'
system='^(kernel32|user32|gdi32|comctl32|comdlg32|dwmapi|shcore|advapi32|shell32|shlwapi|ole32|oleaut32|version|wtsapi32|uxtheme|combase|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
foreign=$(echo "$imports" | tr 'A-Z' 'a-z' | grep -v -E "$system" || true)
if [ -n "$foreign" ]; then
  echo "not a system DLL: $foreign" >&2
  exit 1
fi
