#!/usr/bin/env bash
# Draws the pictures of the dialogs and the About box with ImageMagick
# (package imagemagick). The PNG files are kept in the repository; run this
# only to change them.
set -euo pipefail
cd "$(dirname "$0")"

# About box background: 320 x 240, at most 16 colours.
convert -size 320x240 gradient:'#dfe9f7'-'#ffffff' \
  -fill '#c9d8ee' -draw "polygon 200,150 310,150 310,225 200,225" \
  -fill '#b4c8e6' -draw "polygon 200,150 255,190 310,150" \
  -stroke '#9fb6da' -strokewidth 2 -fill none -draw "polyline 200,225 245,185" -draw "polyline 310,225 265,185" \
  -stroke '#c9d8ee' -strokewidth 3 -draw "line 12,80 308,80" \
  -dither None -colors 16 -type Palette PNG8:about/background.png

# The waving flag beside the links.
convert -size 32x32 xc:none \
  -fill '#6b4f2a' -draw "rectangle 4,2 6,31" \
  -fill '#d22b2b' -stroke '#8e1414' -strokewidth 1 \
  -draw "path 'M 7,4 C 13,1 18,8 24,5 C 27,4 29,3 30,3 L 30,17 C 25,19 20,13 14,16 C 11,17 9,18 7,18 Z'" \
  -fill white -stroke none -draw "circle 18,10 21,10" \
  PNG32:about/flag.png

# The program's icon, for when the application sets none.
convert -size 32x32 xc:none \
  -fill '#f4f4f4' -stroke '#3a5a8c' -strokewidth 2 -draw "roundrectangle 2,7 29,26 2,2" \
  -fill none -draw "polyline 3,8 16,18 29,8" \
  -fill '#2e8b3a' -stroke none -draw "rectangle 21,24 24,30" -draw "rectangle 25,20 28,30" \
  PNG32:about/quorvel.png

# Account dialog: beside the server rows and the user rows.
convert -size 32x32 xc:none \
  -fill '#d8dde6' -stroke '#4a5566' -strokewidth 1 -draw "rectangle 8,2 23,29" \
  -fill '#4a5566' -draw "rectangle 11,6 20,7" -draw "rectangle 11,10 20,11" -draw "rectangle 11,14 20,15" \
  -fill '#36c24a' -stroke none -draw "circle 13,24 14,24" -fill '#e0b030' -draw "circle 18,24 19,24" \
  PNG32:dialogs/server.png
convert -size 32x32 xc:none \
  -fill '#f0c8a0' -stroke '#7a5a3a' -strokewidth 1 -draw "circle 16,10 16,3" \
  -fill '#3a6ab0' -stroke '#1e3e70' -draw "path 'M 4,30 C 4,20 10,17 16,17 C 22,17 28,20 28,30 Z'" \
  PNG32:dialogs/user.png

# Options dialog: beside the interval.
convert -size 32x32 xc:none \
  -fill white -stroke '#3a5a8c' -strokewidth 2 -draw "circle 16,16 16,2" \
  -stroke '#222222' -strokewidth 2 -draw "line 16,16 16,7" -draw "line 16,16 22,19" \
  PNG32:dialogs/clock.png
