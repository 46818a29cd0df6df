#!/usr/bin/env bash
# Makes long.mp4 in DIR for the fault tests, once per build tree: H.264,
# 320x240, 25 fps, 10 s, about 2.3 MB, so that playing it takes several
# Range blocks one after another.
#   make_long_clip.sh DIR
set -euo pipefail
mkdir -p "$1"
cd "$1"
[ -s long.mp4 ] && exit 0
ffmpeg -hide_banner -loglevel error -y -nostdin -f lavfi -i testsrc2=s=320x240:r=25:d=10 \
  -c:v libx264 -preset ultrafast -crf 4 -pix_fmt yuv420p -g 25 -movflags +faststart tmp-long.mp4
mv tmp-long.mp4 long.mp4
