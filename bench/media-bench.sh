#!/usr/bin/env bash
# Prints what playing real video costs the player component, at 640x360 and
# at 1280x720: load call to first frame, processor share and working set
# while playing, seek to first frame. Builds nothing.
#
#   bench/media-bench.sh [--win DIR] [--native DIR] [--seconds N] [--no-display]
#
# Makes a 30 s H.264/AAC clip at both sizes once (build/bench-media, ffmpeg),
# serves it with the local service, and runs playerctl_media_bench.exe under
# Wine on an X display (an Xvfb of its own when $DISPLAY is unset), so the
# frames are really painted; --no-display runs it in the tests' prefix with
# the null graphics driver instead, where nothing is painted, to tell decoding
# apart from painting. Everything started here is stopped by pid.
set -u

. "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
root=$CLIPDECK_ROOT

usage() {
  sed -n '6,6p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

win=$CLIPDECK_WIN_BUILD
native=$CLIPDECK_NATIVE_BUILD
seconds=20
display=1
while [ $# -gt 0 ]; do
  case $1 in
    --win) [ $# -ge 2 ] || usage; win=$2; shift 2 ;;
    --native) [ $# -ge 2 ] || usage; native=$2; shift 2 ;;
    --seconds) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; seconds=$2; shift 2 ;;
    --no-display) display=0; shift ;;
    *) usage ;;
  esac
done
bench=$(readlink -f "$win")/tests/playerctl/playerctl_media_bench.exe
service=$(readlink -f "$native")/service/clipdeck-service
for f in "$bench" "$service"; do
  [ -f "$f" ] || { echo "media-bench.sh: $f is missing; build the win and native trees first" >&2; exit 1; }
done

media=$root/build/bench-media
mkdir -p "$media"
make_clip() {
  local size=$1 file=$media/bench_$2.mp4
  [ -s "$file" ] && return 0
  echo "making $file (once)"
  ffmpeg -hide_banner -loglevel error -y -nostdin \
    -f lavfi -i "testsrc2=s=$size:r=30:d=30" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=30" \
    -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p -g 30 -c:a aac -b:a 128k -ac 2 \
    -metadata title="Clipdeck bench clip" -movflags +faststart "$media/tmp.mp4" && mv "$media/tmp.mp4" "$file"
}
make_clip 640x360 360 && make_clip 1280x720 720 || exit 1

work=$(mktemp -d "${TMPDIR:-/tmp}/clipdeck-media-bench.XXXXXX") || exit 1
pids=()
cleanup() {
  trap - EXIT INT TERM
  clipdeck_stop "${pids[@]}"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

clipdeck_start_service "$service" "$work/service.log" "$work/port" --media-dir "$media" || exit 1
pids+=("$CLIPDECK_SERVICE_PID")
port=$CLIPDECK_SERVICE_PORT
clipdeck_wait_scanned "$work/service.log" || exit 1
id=$(awk '$1 == "media" { print $2; exit }' "$work/service.log")
[ -n "$id" ] || { echo "media-bench.sh: the service found no clip" >&2; exit 1; }

if [ "$display" = 0 ]; then
  echo "clip $id from 127.0.0.1:$port, $seconds s of playing per size, null graphics driver (nothing painted)"
  for level in medium hd720; do
    timeout -k 5 $((seconds + 120)) "$root/scripts/wine-run.sh" "$bench" "127.0.0.1:$port" "$id" "$level" "$seconds"
  done
  exit 0
fi

if [ -z "${DISPLAY:-}" ]; then
  clipdeck_start_xvfb "$work/xvfb.log" 1600x900
  pids+=("$CLIPDECK_XVFB_PID")
  [ -n "${DISPLAY:-}" ] || exit 1
fi

export WINEPREFIX=$root/build/bench-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
clipdeck_prefix "$WINEPREFIX" x11 || exit 1
echo "clip $id from 127.0.0.1:$port, $seconds s of playing per size, display $DISPLAY"
for level in medium hd720; do
  timeout -k 5 $((seconds + 120)) "$CLIPDECK_WINE" "$bench" "127.0.0.1:$port" "$id" "$level" "$seconds"
done
timeout 60 "$CLIPDECK_WINESERVER" -k 2>/dev/null
