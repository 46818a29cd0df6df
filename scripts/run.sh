#!/usr/bin/env bash
# Builds Clipdeck and starts it under Wine, with the local service.
#
#   scripts/run.sh [--play ID|URL] [--list-play] [--show-lists] [--about] [--browse URL]
#                  [--screenshot-after N] [--exit-after N] [-- program arguments]
#
#   --play ID|URL         once the player has loaded, type ID|URL into the panel
#                         and press Play (a demonstration; try cdJapan0001, or a
#                         demo clip's ID from build/service.log, e.g. 26zTF1IcmTL)
#   --list-play           once the player has loaded, tick "List play"
#   --show-lists          once the player has loaded, show the favourites and
#                         history windows
#   --about               open the About box from the system menu
#   --browse URL          tick "InternetExplorer" in the history window and open
#                         URL in Wine's Internet Explorer, whose proxy is the
#                         local service (try http://www.youtube.com/watch?v=cdJapan0002)
#   --screenshot-after N  save a picture of the screen to build/screenshot.png
#                         N seconds after the start (default 5 without $DISPLAY)
#   --exit-after N        close everything N seconds after the start
#
# Without $DISPLAY an Xvfb server is started on a free display number.
# The service listens on a free loopback port; the program finds it through
# CLIPDECK_FEED_HOST and CLIPDECK_PLAYER_HOST. The program runs in its own Wine
# prefix, build/run-prefix. Everything started here (service, Xvfb, the
# program and the prefix's wineserver) is stopped on exit.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
root=$CLIPDECK_ROOT
cd "$root"

WINE=$CLIPDECK_WINE
WINESERVER=$CLIPDECK_WINESERVER

usage() {
  sed -n '3,19p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
}

is_number() {
  [[ $1 =~ ^[0-9]+([.][0-9]+)?$ ]]
}

screenshot_after=""
exit_after=""
play=""
browse=""
demo_args=()
program_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --play)
      if [ $# -lt 2 ] || [ -z "$2" ]; then
        echo "run.sh: --play needs a video ID or watch URL" >&2
        exit 2
      fi
      play=$2
      shift 2
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
    --list-play|--show-lists|--about)
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
export WINEPREFIX=$root/build/run-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
  trap - EXIT INT TERM
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null
  fi
  if [ "$prefix_in_use" = 1 ]; then
    "$WINESERVER" -k 2>/dev/null
  fi
  clipdeck_stop "$service_pid" "$xvfb_pid"
  rm -f build/service.port
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

bash "$root/scripts/setup.sh" || exit 1

echo "== building the local service (build/native)"
clipdeck_build_native clipdeck-service || exit 1
echo "== building the program (build/win)"
targets=(Clipdeck)
[ -n "$play" ] && demo_args+=("$play")
[ ${#demo_args[@]} -gt 0 ] && targets+=(clipdeck_demo)
clipdeck_build_win "${targets[@]}" || exit 1

# Demo clips, made once (they are kept in build/media).
bash "$root/scripts/make-demo-media.sh" || exit 1
media_args=()
[ -d build/media ] && media_args=(--media-dir "$root/build/media")

# A free port, so that a service already on the default port (another
# checkout's, say) neither stops this one nor answers in its place.
clipdeck_start_service "$CLIPDECK_SERVICE_EXE" build/service.log build/service.port "${media_args[@]}" || exit 1
service_pid=$CLIPDECK_SERVICE_PID
export CLIPDECK_FEED_HOST=127.0.0.1:$CLIPDECK_SERVICE_PORT
export CLIPDECK_PLAYER_HOST=$CLIPDECK_FEED_HOST
echo "local service on $CLIPDECK_FEED_HOST (pid $service_pid), log in build/service.log"

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
  "$WINE" reg add "$ie_key" /v ProxyOverride /t REG_SZ /d '<local>;127.0.0.1' /f >/dev/null 2>&1
  "$WINE" reg add "$ie_key" /v ProxyServer /t REG_SZ /d "$CLIPDECK_FEED_HOST" /f >/dev/null 2>&1
  "$WINE" reg add "$ie_key" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
elif grep -q '"ProxyEnable"=dword:00000001' "$WINEPREFIX/user.reg" 2>/dev/null; then
  "$WINE" reg add "$ie_key" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null 2>&1
fi

echo "== starting build/win/src/Clipdeck.exe"
"$WINE" build/win/src/Clipdeck.exe "${program_args[@]}" &
program_pid=$!
if [ ${#demo_args[@]} -gt 0 ]; then
  "$WINE" build/win/tests/e2e/clipdeck_demo.exe "${demo_args[@]}" &
fi
if [ -n "$browse" ]; then
  (sleep 3 && "$WINE" 'C:\Program Files\Internet Explorer\iexplore.exe' "$browse") >/dev/null 2>&1 &
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
    exit 0
  fi
  sleep 0.2
done
wait "$program_pid"
program_status=$?
program_pid=""
exit "$program_status"
