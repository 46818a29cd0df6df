#!/usr/bin/env bash
# Makes the small clips the decoding tests play, once per build tree:
#   make_clips.sh DIR
# clip.mp4   H.264, 320x240, 25 fps, 3 s, a moving test picture over a flat
#            colour (the lower half), key frame each second, a few blocks big
# clip.webm  the same in VP9
# zero.mp4   no bytes;  text.mp4  a text file named like a video
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
[ -s clip.mp4 ] && [ -s clip.webm ] && [ -s text.mp4 ] && [ -e zero.mp4 ] && exit 0

src=(-filter_complex "testsrc2=s=320x120:r=25:d=3[a];color=c=0x2060C0:s=320x120:r=25:d=3[b];[a][b]vstack")
ff=(ffmpeg -hide_banner -loglevel error -y -nostdin)
"${ff[@]}" "${src[@]}" -c:v libx264 -preset ultrafast -crf 4 -pix_fmt yuv420p -g 25 -movflags +faststart tmp.mp4
mv tmp.mp4 clip.mp4
"${ff[@]}" "${src[@]}" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 3M -g 25 -pix_fmt yuv420p -f webm tmp.webm
mv tmp.webm clip.webm
: > zero.mp4
printf 'This is not a video, whatever its name says.\n%.0s' $(seq 200) > text.mp4
