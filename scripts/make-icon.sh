#!/usr/bin/env bash
# Draws the program icon (a play triangle on a rounded square) and writes
# src/res/clipdeck.ico with 48, 32 and 16 pixel images. The .ico is kept in
# the repository; run this only to change the picture.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
convert -size 256x256 xc:none \
  -fill '#1f5fa8' -draw 'roundrectangle 10,10 245,245 52,52' \
  -fill '#3a86d9' -draw 'roundrectangle 10,10 245,150 52,52' \
  -fill '#1f5fa8' -draw 'rectangle 10,100 245,150' \
  -fill white -draw 'polygon 96,70 96,186 196,128' \
  -define icon:auto-resize=48,32,16 \
  "$root/src/res/clipdeck.ico"
