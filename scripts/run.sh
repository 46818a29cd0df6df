#!/usr/bin/env bash
# Builds Clipdeck and starts it under Wine, with the local service.
#
#   scripts/run.sh [--media-dir DIR]... [--no-demo-clips] [--play ID|URL|NAME]
#                  [--list-play] [--show-lists] [--about] [--browse URL]
#                  [--screenshot-after N] [--exit-after N] [--no-build]
#                  [-- program arguments]
#
#   --media-dir DIR       serve the videos in DIR (.mp4, .m4v, .webm) beside the
#                         demo clips; repeatable. Files added later are served
#                         without a restart
#   --no-demo-clips       do not make or serve the demo clips
#   --play ID|URL|NAME    once the player has loaded, type the video's ID into the
#                         panel and press Play: an ID (try cdJapan0001), a watch
#                         URL, or a served file's name or a part of it that names
#                         one video
#   --list-play           once the player has loaded, tick "List play"
#   --show-lists          once the player has loaded, show the favourites and
#                         history windows
#   --about               open the About box from the system menu
#   --browse URL          tick "InternetExplorer" in the history window and open
#                         URL in Wine's Internet Explorer, whose proxy is the
#                         local service (try http://www.youtube.com/watch?v=cdJapan0002)
#   --screenshot-after N  save a picture of the screen to build/screenshot.png
#                         N seconds after the start (default 5 without $DISPLAY)
#   --exit-after N        close the program N seconds after the start, as Ctrl+C
#                         does, then everything else
#   --no-build            run what is built, without building or installing
#
# Without $DISPLAY an Xvfb server is started on a free display number.
# The service listens on a free loopback port; the program finds it through
# CLIPDECK_FEED_HOST and CLIPDECK_PLAYER_HOST. Once it is up, run.sh prints
# the table of what can be played and the address of the library page. The
# program runs in its own Wine prefix, build/run-prefix; its output and
# Wine's go to build/run.log. Closing (--exit-after, Ctrl+C) sends WM_CLOSE to
# the main window as the close box would, so the program saves its settings,
# and ends it only if it has not gone within 15 s. Everything started here
# (service, Xvfb, the program and the prefix's wineserver) is stopped on exit.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
root=$CLIPDECK_ROOT
cd "$root"

WINE=$CLIPDECK_WINE
WINESERVER=$CLIPDECK_WINESERVER

usage() {
  sed -n '3,34p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
}

is_number() {
  [[ $1 =~ ^[0-9]+([.][0-9]+)?$ ]]
}

screenshot_after=""
exit_after=""
play=""
browse=""
list_play=0
demo_clips=1
build=1
media_dirs=()
demo_args=()
program_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --media-dir)
      if [ $# -lt 2 ] || [ ! -d "$2" ]; then
        echo "run.sh: --media-dir needs a folder (${2:-none given} is not one)" >&2
        exit 2
      fi
      media_dirs+=("$(cd "$2" && pwd -P)")
      shift 2
      ;;
    --no-demo-clips)
      demo_clips=0
      shift
      ;;
    --no-build)
      build=0
      shift
      ;;
    --play)
      if [ $# -lt 2 ] || [ -z "$2" ]; then
        echo "run.sh: --play needs a video ID, a watch URL or a file name" >&2
        exit 2
      fi
      play=$2
      shift 2
      ;;
    --list-play)
      list_play=1
      shift
      ;;
    --browse)
      if [ $# -lt 2 ] || [ -z "$2" ]; then
        echo "run.sh: --browse needs an address" >&2
        exit 2
      fi
      browse=$2
      demo_args+=(--capture-ie)
      shift 2
      ;;
    --show-lists|--about)
      demo_args+=("$1")
      shift
      ;;
    --screenshot-after|--exit-after)
      if [ $# -lt 2 ] || ! is_number "$2"; then
        echo "run.sh: $1 needs a number of seconds" >&2
        exit 2
      fi
      if [ "$1" = --screenshot-after ]; then screenshot_after=$2; else exit_after=$2; fi
      shift 2
      ;;
    --)
      shift
      program_args=("$@")
      break
      ;;
    -h|--help)
      usage
      exit 0
      ;;
    *)
      echo "run.sh: unknown option $1" >&2
      usage >&2
      exit 2
      ;;
  esac
done

service_pid=""
xvfb_pid=""
program_pid=""
prefix_in_use=0
run_log=$root/build/run.log
# How long a closed program has to end before it is killed.
close_limit=15
export WINEPREFIX=$root/build/run-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Closes the program as a user would; kills it only past the limit.
close_program() {
  [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null || return 0
  "$WINE" build/win/tests/e2e/clipdeck_demo.exe --close "$close_limit" >>"$run_log" 2>&1
  local deadline=$((SECONDS + close_limit))
  while kill -0 "$program_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.2
  done
  if kill -0 "$program_pid" 2>/dev/null; then
    echo "run.sh: the program did not end within $close_limit s of WM_CLOSE; killing it" >&2
    kill "$program_pid" 2>/dev/null
  fi
}

cleanup() {
  trap - EXIT INT TERM
  close_program
  if [ "$prefix_in_use" = 1 ]; then
    "$WINESERVER" -k 2>/dev/null
  fi
  clipdeck_stop "$service_pid" "$xvfb_pid"
  rm -f build/service.port
}
trap cleanup EXIT
trap 'echo; echo "closing"; exit 130' INT
trap 'exit 143' TERM

if [ "$build" = 1 ]; then
  bash "$root/scripts/setup.sh" || exit 1
  echo "== building the local service (build/release-native)"
  clipdeck_build_release_native clipdeck-service || exit 1
  echo "== building the program (build/win)"
  clipdeck_build_win Clipdeck clipdeck_demo || exit 1
fi

# Your folders first, then the demo clips (made once, kept in build/media).
media_args=()
for dir in "${media_dirs[@]}"; do media_args+=(--media-dir "$dir"); done
if [ "$demo_clips" = 1 ]; then
  bash "$root/scripts/make-demo-media.sh" || exit 1
  media_args+=(--media-dir "$root/build/media")
fi

# A free port, so that a service already on the default port (another
# checkout's, say) neither stops this one nor answers in its place.
clipdeck_start_service "$CLIPDECK_USER_SERVICE_EXE" build/service.log build/service.port "${media_args[@]}" || exit 1
service_pid=$CLIPDECK_SERVICE_PID
export CLIPDECK_FEED_HOST=127.0.0.1:$CLIPDECK_SERVICE_PORT
export CLIPDECK_PLAYER_HOST=$CLIPDECK_FEED_HOST
library=http://$CLIPDECK_FEED_HOST
echo "local service on $CLIPDECK_FEED_HOST (pid $service_pid), log in build/service.log"

# What can be played, once the folders have been read (or after 10 s).
echo
curl -s --max-time 20 "$library/library.txt?wait=10"
echo "Library page: $library/  (type an ID into the panel's \"VideoID / Url\" box and press Play)"
echo

if [ -n "$play" ]; then
  # A served file's name, or part of one, stands for its video's ID.
  found=$(curl -s --max-time 10 -w '\n%{http_code}' --get --data-urlencode "name=$play" "$library/find")
  code=${found##*$'\n'}
  found=${found%$'\n'*}
  case $code in
    200)
      found=${found%%$'\n'*}
      if [ "$found" != "$play" ]; then echo "--play $play: $found"; fi
      play=$found
      ;;
    409)
      echo "run.sh: --play $play: $found" >&2
      exit 2
      ;;
    *)
      # Not served: an ID or a watch address goes to the program as it is,
      # which says whether it knows the video.
      if ! [[ $play =~ ^[A-Za-z0-9_-]{11}$ || $play == *watch* || $play == *youtu* || $play == *://* ]]; then
        echo "run.sh: --play $play: no video has that ID and no served file's name holds it;" \
          "see the table above or $library/" >&2
        exit 2
      fi
      ;;
  esac
  demo_args+=("$play")
fi

if [ "$list_play" = 1 ]; then
  if [ "$(clipdeck_favourite_count build/win/src/Favorite.ini)" -gt 0 ]; then
    demo_args+=(--list-play)
  else
    echo "run.sh: --list-play: there are no favourites yet, so there is nothing to play one after another." >&2
    echo "  To add one: play a video (type its ID and press Play, or start with --play ID), press" >&2
    echo "  \"History list\", select the video there and press \"Go Favorite\". Favourites are kept in" >&2
    echo "  build/win/src/Favorite.ini; then tick \"List play\" or run run.sh --list-play again." >&2
  fi
fi

if [ -z "${DISPLAY:-}" ]; then
  clipdeck_start_xvfb build/xvfb.log
  xvfb_pid=$CLIPDECK_XVFB_PID
  [ -n "${DISPLAY:-}" ] || exit 1
  echo "no display: started Xvfb on $DISPLAY (pid $xvfb_pid)"
  [ -n "$screenshot_after" ] || screenshot_after=5
fi

prefix_in_use=1
clipdeck_prefix "$WINEPREFIX" x11 || exit 1

ie_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
if [ -n "$browse" ]; then
  # The browser reaches the video site's addresses through the local
  # service; the program's own requests to 127.0.0.1 go direct (Wine needs
  # the address named, "<local>" alone is not enough).
  setsid "$WINE" reg add "$ie_key" /v ProxyOverride /t REG_SZ /d '<local>;127.0.0.1' /f >/dev/null 2>&1
  setsid "$WINE" reg add "$ie_key" /v ProxyServer /t REG_SZ /d "$CLIPDECK_FEED_HOST" /f >/dev/null 2>&1
  setsid "$WINE" reg add "$ie_key" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
elif grep -q '"ProxyEnable"=dword:00000001' "$WINEPREFIX/user.reg" 2>/dev/null; then
  setsid "$WINE" reg add "$ie_key" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null 2>&1
fi

echo "== starting build/win/src/Clipdeck.exe (its output and Wine's: build/run.log)"
: >"$run_log"
# A session of its own: Ctrl+C in the terminal reaches this script, which
# closes the program, rather than the program, which Wine would end at once
# (the prefix's wineserver, started by the first Wine command, is kept out
# of the terminal's reach the same way).
setsid "$WINE" build/win/src/Clipdeck.exe "${program_args[@]}" >>"$run_log" 2>&1 </dev/null &
program_pid=$!
if [ ${#demo_args[@]} -gt 0 ]; then
  "$WINE" build/win/tests/e2e/clipdeck_demo.exe "${demo_args[@]}" 2>>"$run_log" &
fi
if [ -n "$browse" ]; then
  (sleep 3 && "$WINE" 'C:\Program Files\Internet Explorer\iexplore.exe' "$browse") >>"$run_log" 2>&1 &
fi

to_ms() {
  awk -v s="$1" 'BEGIN { printf "%d", s * 1000 }'
}
now_ms() {
  echo $(($(date +%s%N) / 1000000))
}

start=$(now_ms)
shot_at=""
[ -n "$screenshot_after" ] && shot_at=$((start + $(to_ms "$screenshot_after")))
stop_at=""
[ -n "$exit_after" ] && stop_at=$((start + $(to_ms "$exit_after")))

program_status=0
while kill -0 "$program_pid" 2>/dev/null; do
  t=$(now_ms)
  if [ -n "$shot_at" ] && [ "$t" -ge "$shot_at" ]; then
    if import -window root build/screenshot.png 2>/dev/null; then
      echo "screenshot: $root/build/screenshot.png"
    else
      echo "run.sh: the screenshot failed" >&2
    fi
    shot_at=""
  fi
  if [ -n "$stop_at" ] && [ "$t" -ge "$stop_at" ]; then
    echo "closing after ${exit_after} s"
    close_program
    exit 0
  fi
  sleep 0.2
done
wait "$program_pid"
program_status=$?
program_pid=""
exit "$program_status"
