#!/usr/bin/env bash
# Builds the release configuration and writes the portable download to dist/ at the project root (or to
# $HOVERLATCH_DIST): Hoverlatch-<version>-win-x64.zip (the stripped program and README.txt, from the install
# rules), SHA256SUMS and the winget and Scoop manifests. Then checks what it wrote. The same commit gives the same bytes on any machine.
#   --sign CERT.pfx   sign Hoverlatch.exe (Authenticode, with osslsigncode) before it is zipped; the
#                     certificate's password comes from HOVERLATCH_SIGN_PASSWORD (empty for none)
#   --timestamp URL   with --sign: an RFC 3161 time-stamp server, so that the signature outlives the certificate
#   --no-build        pack what $HOVERLATCH_BUILD holds as it is (the tests pack the build they test)
# Everything is written to a temporary folder first; the output folder is replaced whole, and only on success.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${HOVERLATCH_BUILD:-$root/build/mingw}"
dist="$(realpath -m "${HOVERLATCH_DIST:-$root/dist}")"
cert="" timestamp="" build_first=1
fail() { echo "package.sh: $*" >&2; exit 1; }
while (($#)); do
  case "$1" in
    --sign) (($# > 1)) || fail "--sign needs a certificate (.pfx)"; cert="$2"; shift 2 ;;
    --timestamp) (($# > 1)) || fail "--timestamp needs a URL"; timestamp="$2"; shift 2 ;;
    --no-build) build_first=0; shift ;;
    *) fail "unknown argument '$1' (see the top of scripts/package.sh)" ;;
  esac
done
if [ -n "$cert" ]; then
  { [ -f "$cert" ] && [ -r "$cert" ]; } || fail "cannot read the certificate '$cert'"
  [ -n "${HOVERLATCH_SIGN_PASSWORD+set}" ] ||
    fail "--sign: set HOVERLATCH_SIGN_PASSWORD to the certificate's password (empty for none)"
elif [ -n "$timestamp" ]; then
  fail "--timestamp goes with --sign"
fi
# The output folder is replaced whole: only one that this script wrote (it holds SHA256SUMS), or an empty one.
[ ! -e "$dist" ] || [ -f "$dist/SHA256SUMS" ] || [ -z "$(ls -A "$dist")" ] ||
  fail "$dist holds files that package.sh did not write; not replacing it"
# The source date: the zip's entries carry it, and strip writes it into the PE header (else the time of day).
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}"
[ -n "$epoch" ] || fail "not a git checkout: set SOURCE_DATE_EPOCH to the release's date (seconds since 1970)"

# Build.
if ((build_first)); then "$root/scripts/build.sh" --target Hoverlatch; fi
version="$(sed -n 's/^#define HOVERLATCH_FILE_VERSION "\(.*\)"$/\1/p' "$build/generated/HoverlatchVersion.h" 2>/dev/null)"
[ -n "$version" ] || fail "no configured build in $build"
name="Hoverlatch-$version-win-x64.zip"
# Beside the output folder, so that the finished one is moved in by renaming.
mkdir -p "$(dirname "$dist")"
work="$(mktemp -d "$(dirname "$dist")/.package.XXXXXX")"
trap 'rm -rf "$work"' EXIT
out="$work/out"
mkdir "$out"
# The install rules, stripped: the same layout as the packaged variant's (make-msix.ps1).
SOURCE_DATE_EPOCH="$epoch" cmake --install "$build" --strip --prefix "$work/stage" >/dev/null

# Sign. osslsigncode reads the password from a pipe on its standard input: it is in no command line and no file.
if [ -n "$cert" ]; then
  exe="$work/stage/Hoverlatch.exe"
  signing=(osslsigncode sign -pkcs12 "$cert" -h sha256 -n Hoverlatch -in "$exe" -out "$exe.signed")
  if [ -n "$timestamp" ]; then signing+=(-ts "$timestamp"); fi
  # An empty password is no password: osslsigncode refuses to read an empty one.
  if [ -n "$HOVERLATCH_SIGN_PASSWORD" ]; then signing+=(-readpass /dev/stdin); fi
  printf '%s' "$HOVERLATCH_SIGN_PASSWORD" | "${signing[@]}" >"$work/sign.log" 2>&1 ||
    fail "signing with '$cert' failed: $(grep -m 1 . "$work/sign.log" || echo "osslsigncode gave no reason");" \
         "nothing was written to $dist"
  mv "$exe.signed" "$exe"
fi

# Pack, and the checksums.
/usr/bin/python3 "$root/scripts/release_zip.py" pack "$work/stage" "$out/$name" "$epoch"
(cd "$out" && sha256sum "$name" >SHA256SUMS)
# The winget and Scoop manifests, from the version and the finished zip's hash.
/usr/bin/python3 "$root/scripts/write-manifests.py" "$build/release.json" "$out/$name" "$out"

# Check.
checks=(/usr/bin/python3 "$root/tests/release/release_checks.py" zip "$out/$name" "$out/SHA256SUMS")
"${checks[@]}" >/dev/null || { "${checks[@]}"; exit 1; }

if [ -e "$dist" ]; then mv "$dist" "$work/replaced"; fi
mv "$out" "$dist"
echo "Wrote ${dist#"$root/"}/$name ($(stat -c %s "$dist/$name") bytes), the winget and Scoop manifests and SHA256SUMS:"
cat "$dist/SHA256SUMS"
