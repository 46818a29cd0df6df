#!/usr/bin/env bash
# Prints what playing real video costs the player component, at 640x360 and
# at 1280x720: load call to first frame, processor share and working set
# while playing, seek to first frame; and beside each, what a native
# single-thread decode of the same file costs (ffmpeg -threads 1 -i FILE -f
# null -): its processor time as a share of one core over the clip's
# length, its peak resident set and page faults, and its time to the first
# frame and to the first frame after a seek; and between the two, the
# media stack alone in the player's design (playerctl_media_bench --bare:
# the source reader on the file, paced, then with the conversion, then
# with the painting). Builds nothing.
#
#   bench/media-bench.sh [--win DIR] [--native DIR] [--seconds N] [--runs N] [--no-display]
#
# Makes a 30 s H.264/AAC clip at both sizes once (build/bench-media, ffmpeg),
# serves it with the local service, and runs playerctl_media_bench.exe under
# Wine on an X display (an Xvfb of its own when $DISPLAY is unset), so the
# frames are really painted; --no-display runs it in the tests' prefix with
# the null graphics driver instead, where nothing is painted, to tell decoding
# apart from painting. --runs repeats each size (the machine's load is
# printed before and after; figures on a busy machine move). Everything
# started here is stopped by pid.
set -u

. "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
root=$CLIPDECK_ROOT

usage() {
  sed -n '10,10p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

win=$CLIPDECK_WIN_BUILD
native=$CLIPDECK_NATIVE_BUILD
seconds=20
runs=1
display=1
while [ $# -gt 0 ]; do
  case $1 in
    --win) [ $# -ge 2 ] || usage; win=$2; shift 2 ;;
    --native) [ $# -ge 2 ] || usage; native=$2; shift 2 ;;
    --seconds) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; seconds=$2; shift 2 ;;
    --runs) [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || usage; runs=$2; shift 2 ;;
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

# The same file decoded natively on one thread, as a yardstick: processor
# share of one core over the clip's length, peak resident set, page faults;
# wall time to the first frame, and to the first frame after a seek (the
# bench's seek targets), each a fresh ffmpeg.
native_decode() {
  local file=$1 out length
  length=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$file")
  out=$( { /usr/bin/time -f '%U %S %M %R' ffmpeg -hide_banner -loglevel error -nostdin -threads 1 -i "$file" \
           -f null - >/dev/null; } 2>&1 | tail -n 1)
  read -r user sys rss faults <<<"$out"
  wall_ms() {
    local start end
    start=$(date +%s%N)
    ffmpeg -hide_banner -loglevel error -nostdin -threads 1 "$@" -frames:v 1 -f null - >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(( (end - start) / 1000000 ))
  }
  local first seeks=() t
  first=$(wall_ms -i "$file")
  for t in 5 15 3 12 8 18 1; do seeks+=("$(wall_ms -ss "$t" -i "$file")"); done
  local sorted
  sorted=$(printf '%s\n' "${seeks[@]}" | sort -n | tr '\n' ' ')
  awk -v u="$user" -v s="$sys" -v len="$length" -v rss="$rss" -v f="$faults" -v first="$first" \
      -v seeks="$sorted" 'BEGIN {
    n = split(seeks, v, " ");
    printf "  native decode (ffmpeg, 1 thread) processor %.2f s over %.1f s of clip = %.1f %% of one core, %d page faults\n", u + s, len, 100 * (u + s) / len, f;
    printf "                                  peak resident %.1f MB, first frame %d ms, seek to first frame median %d ms, longest %d ms (a fresh ffmpeg each)\n", rss / 1024, first, v[int((n + 1) / 2)], v[n] }'
}

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

# run_sizes COMMAND...: the player bench at each size, then the native
# decode of the same file, `runs` times.
run_sizes() {
  local run level file extra
  echo "load: $(uptime)"
  for run in $(seq 1 "$runs"); do
    [ "$runs" -gt 1 ] && echo "run $run of $runs"
    for level in medium hd720; do
      timeout -k 5 $((seconds + 120)) "$@" "$bench" "127.0.0.1:$port" "$id" "$level" "$seconds"
      if [ "$level" = medium ]; then file=$media/bench_360.mp4; else file=$media/bench_720.mp4; fi
      for extra in "" convert "convert paint"; do
        # shellcheck disable=SC2086
        timeout -k 5 $((seconds + 60)) "$@" "$bench" --bare "Z:${file//\//\\}" "$seconds" $extra
      done
      native_decode "$file"
    done
  done
  echo "load: $(uptime)"
}

if [ "$display" = 0 ]; then
  echo "clip $id from 127.0.0.1:$port, $seconds s of playing per size, null graphics driver (nothing painted)"
  run_sizes "$root/scripts/wine-run.sh"
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
run_sizes "$CLIPDECK_WINE"
timeout 60 "$CLIPDECK_WINESERVER" -k 2>/dev/null
