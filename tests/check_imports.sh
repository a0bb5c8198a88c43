#!/usr/bin/env bash
# The program must run from a bare folder, often a Downloads folder: every DLL it imports has to be a
# KnownDLL or an API set, which Windows never looks for beside the executable.
set -euo pipefail
exe="$1"
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "$exe imports:"; echo "$imports" | sed 's/^/  /'
system='^(kernel32|user32|gdi32|comdlg32|shcore|advapi32|shell32|shlwapi|ole32|oleaut32|combase|msvcrt|api-ms-win-[a-z0-9-]+)\.dll$'
foreign=$(echo "$imports" | tr 'A-Z' 'a-z' | grep -v -E "$system" || true)
if [ -n "$foreign" ]; then
  echo "neither a KnownDLL nor an API set: $foreign" >&2
  exit 1
fi
