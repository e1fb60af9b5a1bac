#!/usr/bin/env bash
# Renders the program's icon resources/icons/quorvel.svg into the Windows icon
# resources/windows/quorvel.ico with the sizes Explorer and the taskbar ask
# for at every display scale: 16, 20, 24, 32, 48, 64 and 256 pixels (256 as
# PNG, the others as bitmaps). The icon is kept in the repository, so
# building needs no converter; run this after changing the SVG. Needs
# rsvg-convert (Debian: librsvg2-bin) and ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || { echo "make-windows-icon.sh: install librsvg2-bin" >&2; exit 1; }
command -v convert >/dev/null || { echo "make-windows-icon.sh: install imagemagick" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pngs=()
for size in 16 20 24 32 48 64 256; do
  rsvg-convert -w "$size" -h "$size" resources/icons/quorvel.svg -o "$work/$size.png"
  pngs+=("$work/$size.png")
done
convert "${pngs[@]}" resources/windows/quorvel.ico
identify resources/windows/quorvel.ico
