#!/usr/bin/env bash
# Draws all 23 image-list pictures enlarged (8 x, whole pixels) on a light and
# on a dark background, numbered, into one PNG for looking them over while
# editing resources/pictures/*.xpm. Needs ImageMagick (Debian: imagemagick).
# Usage: scripts/picture-sheet.sh [OUT.png]   (default /tmp/quorvel-pictures.png)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-/tmp/quorvel-pictures.png}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

row() {  # background colour, output file
  local tiles=()
  for i in $(seq -w 0 22); do
    convert -size 136x150 "xc:$1" \
      \( "resources/pictures/$i.xpm" -background none -sample 800% \) -gravity north -geometry +0+4 -composite \
      -gravity south -fill "$2" -font DejaVu-Sans -pointsize 12 -annotate +0+2 "$i" "$tmp/t$i.png"
    tiles+=("$tmp/t$i.png")
  done
  convert "${tiles[@]:0:12}" +append "$tmp/a.png"
  convert "${tiles[@]:12}" -size 136x150 "xc:$1" +append "$tmp/b.png"
  convert "$tmp/a.png" "$tmp/b.png" -append "$3"
}
row '#e8e8e8' black "$tmp/light.png"
row '#202428' white "$tmp/dark.png"
convert "$tmp/light.png" "$tmp/dark.png" -append "$out"
echo "$out"
