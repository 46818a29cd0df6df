#!/usr/bin/env bash
# Makes long30.mp4 in DIR for the fault tests, once per build tree: H.264,
# 320x240, 25 fps, 30 s, about 7 MB: more than the media stack reads ahead
# at the start, so that playing it goes on fetching Range blocks.
#   make_long_clip.sh DIR
set -euo pipefail
mkdir -p "$1"
cd "$1"
[ -s long30.mp4 ] && exit 0
ffmpeg -hide_banner -loglevel error -y -nostdin -f lavfi -i testsrc2=s=320x240:r=25:d=30 \
  -c:v libx264 -preset ultrafast -crf 4 -pix_fmt yuv420p -g 25 -movflags +faststart tmp-long.mp4
mv tmp-long.mp4 long30.mp4
