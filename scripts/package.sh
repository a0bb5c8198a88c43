#!/usr/bin/env bash
# Builds the release configuration and writes the portable download to dist/ at the project root:
# Hoverlatch-<version>-win-x64.zip (the stripped program and README.txt, made by CPack from the install
# rules) and SHA256SUMS. Then checks what it wrote.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${HOVERLATCH_BUILD:-$root/build/mingw}"
"$root/scripts/build.sh" --target Hoverlatch
rm -rf "$build/package" "$root/dist"
(cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
mkdir -p "$root/dist"
cp "$build"/package/Hoverlatch-*-win-x64.zip "$root/dist/"
(cd "$root/dist" && sha256sum Hoverlatch-*-win-x64.zip >SHA256SUMS)
zip="$(ls "$root"/dist/Hoverlatch-*-win-x64.zip)"
/usr/bin/python3 "$root/scripts/write-manifests.py" "$build/release.json" "$zip" "$root/dist"
/usr/bin/python3 "$root/tests/release/release_checks.py" zip "$zip" "$root/dist/SHA256SUMS" >/dev/null ||
  { /usr/bin/python3 "$root/tests/release/release_checks.py" zip "$zip" "$root/dist/SHA256SUMS"; exit 1; }
echo "Wrote ${zip#"$root/"} ($(stat -c %s "$zip") bytes) and dist/SHA256SUMS:"
cat "$root/dist/SHA256SUMS"
