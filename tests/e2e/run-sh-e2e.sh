#!/usr/bin/env bash
# End to end through scripts/run.sh as a user runs it: a folder of clips made
# here (one with a Japanese name), served with --media-dir and played by a
# part of its file name with --play. Checks that the table run.sh prints and
# the library page list the clips, and that the player fetched the clip the
# name stands for and no other.
#
#   run-sh-e2e.sh   (the trees built: build/win, build/release-native)
set -u

. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
root=$CLIPDECK_ROOT

work=$(mktemp -d "${TMPDIR:-/tmp}/clipdeck-run-sh.XXXXXX") || exit 1
run_pid=""
cleanup() {
  trap - EXIT INT TERM
  # run.sh stops what it started (service, Xvfb, program) when it ends.
  clipdeck_stop "$run_pid"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

failures=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

# Three short clips; the Japanese one has a title of its own.
festival=夏祭り
clips=$work/clips
mkdir -p "$clips"
ffmpeg=(ffmpeg -nostdin -hide_banner -loglevel error -y)
"${ffmpeg[@]}" -f lavfi -i testsrc2=size=320x240:rate=15 -f lavfi -i sine=frequency=523:sample_rate=48000 -t 3 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -metadata "title=${festival}の花火" "$clips/$festival.mp4" &&
  "${ffmpeg[@]}" -f lavfi -i testsrc=size=320x240:rate=15 -t 3 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
    "$clips/holiday_240.mp4" &&
  "${ffmpeg[@]}" -f lavfi -i testsrc=size=480x360:rate=15 -t 3 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
    "$clips/holiday_360.mp4" || { echo "run-sh-e2e.sh: ffmpeg failed" >&2; exit 1; }

out=$work/run.out
(unset DISPLAY; exec bash "$root/scripts/run.sh" --no-build --no-demo-clips --media-dir "$clips" \
  --play 祭り --exit-after 40) >"$out" 2>&1 &
run_pid=$!

# The page, read while run.sh runs.
address=""
for _ in $(seq 600); do
  address=$(sed -n 's|^Library page: \(http://127\.0\.0\.1:[0-9]*/\).*|\1|p' "$out")
  [ -n "$address" ] && break
  kill -0 "$run_pid" 2>/dev/null || break
  sleep 0.1
done
page=""
[ -n "$address" ] && page=$(curl -s --max-time 10 "$address")

# The program fetches the clip's file once Play was pressed; then run.sh is
# stopped as with Ctrl+C (or stops by itself after 40 s), closing everything.
log=$root/build/service.log
id=$(sed -n "s/^--play 祭り: \([A-Za-z0-9_-]\{11\}\)$/\1/p" "$out")
for _ in $(seq 600); do
  [ -n "$id" ] && grep -q "^GET /media/$id/" "$log" 2>/dev/null && break
  kill -0 "$run_pid" 2>/dev/null || break
  sleep 0.1
  [ -n "$id" ] || id=$(sed -n "s/^--play 祭り: \([A-Za-z0-9_-]\{11\}\)$/\1/p" "$out")
done
sleep 1
kill -INT "$run_pid" 2>/dev/null
wait "$run_pid"
status=$?
run_pid=""
cp "$log" "$work/service.log" 2>/dev/null

# The table: a row per clip, with its ID, length, levels, title and files.
row() { grep -E "^[A-Za-z0-9_-]{11} +0:03  $1" "$out"; }
check "run.sh ended as asked (status $status)" test "$status" -eq 0 -o "$status" -eq 130
check "the table lists the Japanese clip with its title and file" row "small +${festival}の花火 +$festival\\.mp4$"
check "the table lists the two levels of the other clip as one video" row "medium,small +holiday +holiday_360\\.mp4, holiday_240\\.mp4$"
check "--play 祭り named the Japanese clip's ID" test -n "$id"
check "the ID is the table's for that file" grep -qE "^$id +0:03 .*$festival\\.mp4$" "$out"
check "the library page was there" test -n "$page"
check "the page lists the Japanese clip" grep -qF "<span>$festival.mp4</span>" <<<"$page"
check "the page lists the other clip's files" grep -qF "<span>holiday_360.mp4</span>, <span>holiday_240.mp4</span>" <<<"$page"
check "the page links the Japanese clip's watch page" grep -qF "<tr id=\"v-$id\"><td class=\"title\"><a href=\"/watch?v=$id\">" <<<"$page"
check "the player asked for that video" grep -q "^GET /get_video_info?video_id=$id " "$work/service.log"
check "and read its file" grep -qE "^GET /media/$id/small 20[06] " "$work/service.log"
check "and no other file" test -z "$(grep -E '^GET /media/' "$work/service.log" | grep -v "^GET /media/$id/")"

if [ "$failures" -gt 0 ]; then
  echo "--- run.sh's output"
  cat "$out"
  echo "--- the service's log"
  tail -n 40 "$work/service.log"
  exit 1
fi
echo "run.sh end to end: every check passed"
