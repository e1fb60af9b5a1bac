#!/usr/bin/env bash
# Renders the program's icon resources/icons/quorvel.svg into the PNG sizes of
# the hicolor icon theme under resources/icons/hicolor/. The PNGs are kept in
# the repository, so building needs no converter; run this after changing the
# SVG. Needs rsvg-convert (Debian: librsvg2-bin) and optipng when present.
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
command -v rsvg-convert >/dev/null || { echo "make-icons.sh: install librsvg2-bin" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" quorvel.svg -o "hicolor/${size}x${size}/apps/quorvel.png"
  if command -v optipng >/dev/null; then optipng -quiet -o5 -strip all "hicolor/${size}x${size}/apps/quorvel.png"; fi
done
echo "written: $(ls -d hicolor/*/apps/quorvel.png | tr '\n' ' ')"
