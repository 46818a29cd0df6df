#!/usr/bin/env bash
# Makes the demo clips that run.sh serves with --media-dir build/media: a few
# short videos of a moving test picture with the title and a running time code
# burned in, and a tone whose pitch differs per clip. Each clip comes as
# H.264/AAC MP4 and VP9/Opus WebM, each at 360p and 720p:
#
#   build/media/<name>_360.mp4  <name>_720.mp4  <name>_360.webm  <name>_720.webm
#
# The service makes one video of each name and container, with two levels
# (medium and hd720). Files that exist are kept, so a second run costs
# nothing; a change of this script's clip list makes them anew.
#
#   scripts/make-demo-media.sh [OUTPUT_DIR]   (default build/media)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
out=${1:-$root/build/media}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# name | seconds | tone (Hz) | picture (a lavfi source) | motion (a filter) | title
clips=(
  "demo-bars|6|440|testsrc2|null|Clipdeck Demo 1: Test Pattern (440 Hz)"
  "demo-chart|8|660|testsrc|null|Clipdeck Demo 2: Counting Chart (660 Hz)"
  "demo-stripes|10|330|rgbtestsrc|scroll=horizontal=0.005|Clipdeck Demo 3: Sliding Stripes (330 Hz)"
  "demo-hdbars|12|550|smptehdbars|scroll=vertical=0.004|Clipdeck Demo 4: Rolling Bars (550 Hz)"
)
version=3

for tool in ffmpeg; do
  command -v "$tool" >/dev/null || { echo "make-demo-media.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -f "$font" ] || { echo "make-demo-media.sh: $font is missing (Debian fonts-dejavu-core)" >&2; exit 1; }

mkdir -p "$out"
stamp=$out/.demo-media-version
want="$version ${clips[*]}"
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
  rm -f "$out"/demo-*.mp4 "$out"/demo-*.webm
fi

# drawtext needs ':' and '\'' escaped inside its options.
escape() {
  printf '%s' "$1" | sed -e 's/\\/\\\\/g' -e "s/'/\\\\'/g" -e 's/:/\\:/g'
}

made=0
for clip in "${clips[@]}"; do
  IFS='|' read -r name seconds tone picture motion title <<<"$clip"
  for height in 360 720; do
    width=$((height * 16 / 9))
    size=$((height / 16))
    text=$(escape "$title")
    filter="$motion,drawtext=fontfile=$font:text='$text':x=(w-tw)/2:y=h/10:fontsize=$size:fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=$((size / 4)),"
    filter+="drawtext=fontfile=$font:text='%{pts\\:hms}':x=(w-tw)/2:y=h-h/5:fontsize=$((size * 5 / 2)):fontcolor=yellow:box=1:boxcolor=black@0.6:boxborderw=$((size / 4))"
    for container in mp4 webm; do
      file=$out/${name}_$height.$container
      [ -s "$file" ] && continue
      if [ "$container" = mp4 ]; then
        codecs=(-c:v libx264 -preset veryfast -profile:v main -pix_fmt yuv420p -c:a aac -b:a 96k -movflags +faststart)
      else
        codecs=(-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -row-mt 1 -b:v "$((height * 3))k" -pix_fmt yuv420p -c:a libopus -b:a 96k)
      fi
      tmp=$out/.tmp-${name}_$height.$container
      if ! ffmpeg -nostdin -hide_banner -loglevel error -y \
          -f lavfi -i "$picture=size=${width}x$height:rate=30" \
          -f lavfi -i "sine=frequency=$tone:sample_rate=48000:duration=$seconds" \
          -vf "$filter" "${codecs[@]}" -ac 2 -metadata title="$title, ${container^^}" -metadata artist="Clipdeck" \
          -t "$seconds" "$tmp"; then
        rm -f "$tmp"
        echo "make-demo-media.sh: ffmpeg failed for $file" >&2
        exit 1
      fi
      mv "$tmp" "$file"
      made=$((made + 1))
    done
  done
done
echo "$want" >"$stamp"
[ "$made" -gt 0 ] && echo "make-demo-media.sh: made $made files in $out"
exit 0
