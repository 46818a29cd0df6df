#!/usr/bin/env bash
# Makes the small clips the decoding tests play, once per build tree:
#   make_clips.sh DIR
# clip.mp4       H.264, 320x240, 25 fps, 3 s, a moving test picture over a flat
#                colour (the lower half), key frame each second, a few blocks big
# clip.webm      the same in VP9
# sound.mp4      clip.mp4's picture, 8 s long, with a 440 Hz tone at half of
#                full scale, AAC, 44.1 kHz mono (the device's rate and layout
#                differ)
# sound.webm     the same in VP9 and Opus, 48 kHz stereo
# zero.mp4       no bytes;  text.mp4  a text file named like a video
# truncated.mp4  the first 60 % of clip.mp4
# webm.mp4       clip.webm named like an MP4
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
all=(clip.mp4 clip.webm sound.mp4 sound.webm text.mp4 truncated.mp4 webm.mp4)
done=1
for f in "${all[@]}"; do [ -s "$f" ] || done=0; done
[ $done = 1 ] && [ -e zero.mp4 ] && exit 0

picture() {
  echo "testsrc2=s=320x120:r=25:d=$1[a];color=c=0x2060C0:s=320x120:r=25:d=$1[b];[a][b]vstack"
}
src=(-filter_complex "$(picture 3)")
src8=(-filter_complex "$(picture 8)")
tone=(-f lavfi -i "aevalsrc=0.5*sin(2*PI*440*t):s=44100:d=8")
ff=(ffmpeg -hide_banner -loglevel error -y -nostdin)
x264=(-c:v libx264 -preset ultrafast -crf 4 -pix_fmt yuv420p -g 25)
vp9=(-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 3M -g 25 -pix_fmt yuv420p)
"${ff[@]}" "${src[@]}" "${x264[@]}" -movflags +faststart tmp.mp4
mv tmp.mp4 clip.mp4
"${ff[@]}" "${src[@]}" "${vp9[@]}" -f webm tmp.webm
mv tmp.webm clip.webm
"${ff[@]}" "${tone[@]}" "${src8[@]}" "${x264[@]}" -c:a aac -ac 1 -b:a 96k -movflags +faststart tmp.mp4
mv tmp.mp4 sound.mp4
"${ff[@]}" "${tone[@]}" "${src8[@]}" "${vp9[@]}" -c:a libopus -ac 2 -ar 48000 -b:a 96k -f webm tmp.webm
mv tmp.webm sound.webm
: > zero.mp4
printf 'This is not a video, whatever its name says.\n%.0s' $(seq 200) > text.mp4
head -c $(( $(stat -c %s clip.mp4) * 6 / 10 )) clip.mp4 > truncated.mp4
cp clip.webm webm.mp4
