#!/usr/bin/env bash
# Builds Clipdeck and starts it under Wine, with the local service.
#
#   scripts/run.sh [--play ID|URL] [--screenshot-after N] [--exit-after N] [-- program arguments]
#
#   --play ID|URL         once the player has loaded, type ID|URL into the panel
#                         and press Play (a demonstration; try cdJapan0001)
#   --screenshot-after N  save a picture of the screen to build/screenshot.png
#                         N seconds after the start (default 5 without $DISPLAY)
#   --exit-after N        close everything N seconds after the start
#
# Without $DISPLAY an Xvfb server is started on a free display number.
# The program runs in its own Wine prefix, build/run-prefix. Everything started
# here (service, Xvfb, the program and the prefix's wineserver) is stopped on exit.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
cd "$root"

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

usage() {
  sed -n '3,10p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
}

is_number() {
  [[ $1 =~ ^[0-9]+([.][0-9]+)?$ ]]
}

screenshot_after=""
exit_after=""
play=""
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
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null
    wait "$service_pid" 2>/dev/null
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

bash "$root/scripts/setup.sh" || exit 1

echo "== building the program (build/win)"
mkdir -p build
cmake -S "$root" -B build/win -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >build/win.configure.log 2>&1 ||
  { cat build/win.configure.log >&2; exit 1; }
targets=(Clipdeck)
[ -n "$play" ] && targets+=(clipdeck_demo)
cmake --build build/win -j2 --target "${targets[@]}" || exit 1

service_exe=""
if [ -f service/CMakeLists.txt ]; then
  echo "== building the local service (build/native)"
  cmake -S "$root" -B build/native -G Ninja >build/native.configure.log 2>&1 ||
    { cat build/native.configure.log >&2; exit 1; }
  cmake --build build/native -j2 --target clipdeck-service || exit 1
  service_exe=build/native/service/clipdeck-service
fi

if [ -n "$service_exe" ]; then
  "$service_exe" >build/service.log 2>&1 &
  service_pid=$!
  sleep 0.5
  if ! kill -0 "$service_pid" 2>/dev/null; then
    echo "run.sh: the local service did not start; see build/service.log" >&2
    service_pid=""
    exit 1
  fi
  echo "local service on port 8480 (pid $service_pid), log in build/service.log"
fi

if [ -z "${DISPLAY:-}" ]; then
  n=99
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
    n=$((n + 1))
  done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >build/xvfb.log 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    xdpyinfo -display ":$n" >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! xdpyinfo -display ":$n" >/dev/null 2>&1; then
    echo "run.sh: Xvfb did not start on :$n; see build/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$n"
  echo "no display: started Xvfb on $DISPLAY (pid $xvfb_pid)"
  [ -n "$screenshot_after" ] || screenshot_after=5
fi

# Prefix set-up, once.
# - Managed=N: without a window manager each managed window takes seconds to close.
# - The dialog fonts (MS Shell Dlg, MS UI Gothic) resolve to Liberation Sans
#   here; linking it to Droid Sans Fallback gives GDI text Japanese glyphs
#   while Latin letters stay in Liberation Sans. Linking the dialog face names
#   themselves makes Droid the base font, which has no Latin letters.
# - Edit controls draw through Uniscribe, which ignores font links and takes
#   its per-script fallback font from Wine's registry: kana and han scripts.
# The marker names the version of these settings, so a prefix made by an
# older run.sh gets them too.
prefix_in_use=1
ready=$WINEPREFIX/.clipdeck-run-settings-1
if [ ! -f "$ready" ]; then
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the Wine prefix build/run-prefix (once, about 10 seconds)"
    "$WINE" wineboot -i >/dev/null 2>&1
  fi
  {
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v 'Liberation Sans' /t REG_MULTI_SZ /d 'DroidSansFallbackFull.ttf,Droid Sans Fallback' /f
    for script_tag in 616e616b 696e6168; do  # 'kana', 'hani'
      "$WINE" reg add 'HKCU\Software\Wine\Uniscribe\Fallback' \
        /v "$script_tag" /t REG_SZ /d 'Droid Sans Fallback' /f
    done
  } >/dev/null 2>&1
  timeout 120 "$WINESERVER" -w
  touch "$ready"
fi

echo "== starting build/win/src/Clipdeck.exe"
"$WINE" build/win/src/Clipdeck.exe "${program_args[@]}" &
program_pid=$!
if [ -n "$play" ]; then
  "$WINE" build/win/tests/e2e/clipdeck_demo.exe "$play" &
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
