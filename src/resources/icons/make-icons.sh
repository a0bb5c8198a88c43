#!/usr/bin/env bash
# Regenerates app.ico (icon group 101) and tray.ico (icon group 102) from the SVG drawings here, and the
# logos of the packaged variant in packaging/msix/Assets.
#   app.ico:  16, 24, 32, 48, 64, 128, 256 px     tray.ico: 16, 24, 32, 48 px
#   logos: Square44x44Logo 44 px, StoreLogo 50 px, Square150x150Logo 150 px (the sizes their names claim)
# Every image is 32-bit colour with alpha. Images of 64 px and more are stored PNG-compressed (Windows reads
# PNG images in icons; as bitmaps the 128 px one alone took 66 KiB of the program), the small ones as
# bitmaps, the form every reader of icons knows. Each size is rendered large and box-filtered down, which
# averages whole pixels and so keeps the small grids of icon-16.svg and icon-24.svg crisp whatever
# anti-aliasing the SVG renderer does. ImageMagick's own `convert` is used by its full path: another
# `convert` earlier on PATH may be a wrapper.
# Usage: src/resources/icons/make-icons.sh [--keep-png]   (PNGs go to ./png for a look, then removed)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ -x /usr/bin/convert ] && /usr/bin/convert -version 2>/dev/null | grep -q ImageMagick; then
  im=(/usr/bin/convert)
elif command -v magick >/dev/null 2>&1; then
  im=(magick)
else
  echo "make-icons.sh: ImageMagick (convert or magick) is required" >&2
  exit 1
fi
identify_cmd=(/usr/bin/identify)
[ -x /usr/bin/identify ] || identify_cmd=(magick identify)
# icotool (icoutils) packs the icons, as it can keep a PNG image as it is; optipng shrinks those images.
for tool in icotool:icoutils optipng:optipng; do
  command -v "${tool%%:*}" >/dev/null 2>&1 && continue
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${tool#*:}" >/dev/null
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# render SVG GRID SIZE OUT: SVG drawn on a GRID-pixel canvas, rendered at about 1024 px, boxed to SIZE.
render() {
  local svg=$1 grid=$2 size=$3 out=$4
  local scale=$(( (1024 + grid - 1) / grid ))
  local big=$(( grid * scale ))
  # The renderer's base resolution is 96 dpi: a density of 96 * scale draws the canvas scale times over.
  "${im[@]}" -background none -density $(( 96 * scale )) "$here/$svg" \
      -alpha on -resize "${big}x${big}!" -filter box -resize "${size}x${size}!" \
      -define png:color-type=6 -strip "png32:$out"
}

# The smallest lossless form of a stored PNG image, without time or text chunks (a rerun gives the same bytes).
shrink_png() { optipng -quiet -o7 -strip all "$1"; }

# source SVG for a size: the small sizes have their own pixel-fitted drawings.
source_for() {
  local size=$1 large=$2
  case $size in
    16) echo "icon-16.svg 16" ;;
    24) echo "icon-24.svg 24" ;;
    *)  echo "$large 256" ;;
  esac
}

build_ico() {
  local name=$1 large=$2; shift 2
  local pngs=() images=()
  for size in "$@"; do
    read -r svg grid <<<"$(source_for "$size" "$large")"
    render "$svg" "$grid" "$size" "$work/$name-$size.png"
    pngs+=("$work/$name-$size.png")
    if [ "$size" -ge 64 ]; then
      shrink_png "$work/$name-$size.png"
      images+=("--raw=$work/$name-$size.png")
    else
      images+=("$work/$name-$size.png")
    fi
  done
  icotool -c -o "$here/$name.ico" "${images[@]}"
  if [ "${KEEP_PNG:-0}" = 1 ]; then mkdir -p "$here/png"; cp "${pngs[@]}" "$here/png/"; fi
}

[ "${1:-}" = --keep-png ] && KEEP_PNG=1
build_ico app app.svg 16 24 32 48 64 128 256
build_ico tray tray.svg 16 24 32 48

# The package names its logos without a scale qualifier, so each is drawn at its 100 % size. No time
# chunks: a rerun leaves the committed files unchanged.
assets="$here/../../../packaging/msix/Assets"
for logo in Square44x44Logo:44 StoreLogo:50 Square150x150Logo:150; do
  render app.svg 256 "${logo#*:}" "$work/logo.png"
  "${im[@]}" "$work/logo.png" -strip "png32:$assets/${logo%%:*}.png"
done

"${identify_cmd[@]}" -format '%f[%p] %wx%h %[channels]\n' "$here/app.ico" "$here/tray.ico" "$assets"/*.png
