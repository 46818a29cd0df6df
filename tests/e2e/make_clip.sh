#!/usr/bin/env bash
# Makes the clip the real-media scenario plays, once per build tree:
#   make_clip.sh DIR
# harbour.mp4  H.264/AAC, 320x180, 10 fps, 40 s, a moving test picture and a
#              440 Hz tone, key frame each second; long enough for ">>" (30 s)
#              to seek inside it rather than run it to its end.
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
[ -s harbour.mp4 ] && exit 0
ffmpeg -hide_banner -loglevel error -y -nostdin \
  -f lavfi -i "testsrc2=s=320x180:r=10:d=40" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=40" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 10 -c:a aac -b:a 64k -ac 2 \
  -metadata title="Harbour Lights (real media)" -movflags +faststart tmp.mp4
mv tmp.mp4 harbour.mp4
