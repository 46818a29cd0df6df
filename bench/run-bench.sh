#!/usr/bin/env bash
# Runs the benchmark programs and prints their figures. Builds nothing.
#
#   bench/run-bench.sh [--win DIR] [--native DIR] [--seconds N] [--starts N] [--list-play N]
#
# --win      the win build tree (default build/win): src/Clipdeck.exe, bench/*.exe
# --native   the native build tree (default build/native): service/clipdeck-service
# --seconds  length of the processor-time stretch (default 60)
# --starts   start-ups timed per program (default 10)
# --list-play  also play N videos in list play and sample the process's
#            resources (list_play_bench; several minutes for 200), with the
#            demo clips of build/media (scripts/make-demo-media.sh) served
#
# Two local services run meanwhile: one that answers, and one that accepts
# and never answers (--latency-ms 600000) for the silent-feed figure. The
# programs run under Wine in the win tree's prefix (null graphics driver)
# through scripts/wine-run.sh; closing is timed on an Xvfb of its own, in a
# prefix whose X11 driver runs unmanaged (build/win/bench-x11-prefix), as
# run.sh's does. Everything started here is stopped by pid.
set -u

. "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
root=$CLIPDECK_ROOT

usage() {
  sed -n '4,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

win=$CLIPDECK_WIN_BUILD
native=$CLIPDECK_NATIVE_BUILD
seconds=60
starts=10
list_play=0
while [ $# -gt 0 ]; do
  case $1 in
    --win) [ $# -ge 2 ] || usage; win=$2; shift 2 ;;
    --native) [ $# -ge 2 ] || usage; native=$2; shift 2 ;;
    --seconds) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; seconds=$2; shift 2 ;;
    --starts) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; starts=$2; shift 2 ;;
    --list-play) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; list_play=$2; shift 2 ;;
    -h|--help) usage ;;
    *) echo "run-bench.sh: unknown argument $1" >&2; usage ;;
  esac
done

win=$(readlink -f "$win")
native=$(readlink -f "$native")
wine_run=$root/scripts/wine-run.sh
service=$native/service/clipdeck-service
clipdeck=$win/src/Clipdeck.exe
baseline=$win/bench/empty_dialog.exe
baseline_manifest=$win/bench/empty_dialog_manifest.exe
startup_bench=$win/bench/startup_bench.exe
bench=$win/bench/clipdeck_bench.exe
capture_bench=$win/bench/capture_bench.exe
chrome_standin=$win/tests/history/chrome.exe
for f in "$service" "$clipdeck" "$baseline" "$baseline_manifest" "$startup_bench" "$bench" "$capture_bench" "$chrome_standin" "$wine_run"; do
  if [ ! -f "$f" ]; then
    echo "run-bench.sh: $f is missing; build the win and native trees first" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/clipdeck-bench.XXXXXX") || exit 1
pids=()
x11_prefix=$win/bench-x11-prefix
x11_prefix_used=0
cleanup() {
  trap - EXIT INT TERM
  if [ "$x11_prefix_used" = 1 ]; then
    WINEPREFIX=$x11_prefix "$CLIPDECK_WINESERVER" -k 2>/dev/null
  fi
  clipdeck_stop "${pids[@]}"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# start_service <name> [options...]: sets service_port.
start_service() {
  local name=$1
  shift
  clipdeck_start_service "$service" "$work/$name.log" "$work/$name.port" "$@" || return 1
  pids+=("$CLIPDECK_SERVICE_PID")
  service_port=$CLIPDECK_SERVICE_PORT
}

start_service feed || exit 1
port=$service_port
start_service silent --latency-ms 600000 || exit 1
silent_port=$service_port
export CLIPDECK_FEED_HOST=127.0.0.1:$port
export CLIPDECK_PLAYER_HOST=127.0.0.1:$port

dos_path() {
  printf 'Z:%s' "$1" | tr / '\\'
}

echo "Clipdeck benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "  commit   $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)$(git -C "$root" diff --quiet HEAD 2>/dev/null || echo ' (with uncommitted changes)')"
echo "  machine  $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), $(nproc) cores, $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo)"
echo "  Wine     $("$CLIPDECK_WINE" --version 2>/dev/null), null graphics driver, prefix $win/wineprefix"
echo "  service  127.0.0.1:$port, silent feed 127.0.0.1:$silent_port"
echo

# The programs take Windows paths; the run is bounded well above its length.
limit=$((seconds + starts * 10 + 240))
timeout -k 5 "$limit" "$wine_run" "$bench" \
  --clipdeck "$(dos_path "$clipdeck")" --baseline "$(dos_path "$baseline")" \
  --silent-feed "127.0.0.1:$silent_port" --seconds "$seconds" --starts "$starts"
status=$?
if [ "$status" -eq 124 ]; then
  echo "run-bench.sh: the benchmark did not finish within $limit s" >&2
fi

# Start-up next to both empty dialogs, and where Clipdeck's start-up goes.
echo
# With the Windows service built, Clipdeck starting its own is measured too.
own_service=()
if [ -f "$win/service/clipdeck-service.exe" ]; then
  own_service=(--service "$(dos_path "$win/service/clipdeck-service.exe")"
    --catalogue "$(dos_path "$root/service/catalogue/catalogue.tsv")")
fi
timeout -k 5 $((starts * 50 + 120)) "$wine_run" "$startup_bench" \
  --clipdeck "$(dos_path "$clipdeck")" --baseline "$(dos_path "$baseline")" \
  --baseline-manifest "$(dos_path "$baseline_manifest")" --starts "$starts" "${own_service[@]}"
startup_status=$?
if [ "$startup_status" -eq 124 ]; then
  echo "run-bench.sh: the start-up benchmark did not finish" >&2
fi
[ "$status" -ne 0 ] || status=$startup_status

# Closing, on an X server with the X11 driver unmanaged: with a window
# manager absent, a managed window takes seconds to close.
echo
saved_display=${DISPLAY-}
if clipdeck_start_xvfb "$work/xvfb.log"; then
  pids+=("$CLIPDECK_XVFB_PID")
  x11_prefix_used=1
  if clipdeck_prefix "$x11_prefix" x11; then
    WINEPREFIX=$x11_prefix WINEDEBUG=-all timeout -k 5 $((starts * 30 + 120)) "$CLIPDECK_WINE" "$startup_bench" \
      --clipdeck "$(dos_path "$clipdeck")" --baseline "$(dos_path "$baseline")" \
      --baseline-manifest "$(dos_path "$baseline_manifest")" --starts "$starts" --close
    close_status=$?
    [ "$close_status" -ne 124 ] || echo "run-bench.sh: the closing benchmark did not finish" >&2
    [ "$status" -ne 0 ] || status=$close_status
  fi
fi
if [ -n "$saved_display" ]; then export DISPLAY=$saved_display; else unset DISPLAY; fi

echo
timeout -k 5 120 "$wine_run" "$capture_bench" --chrome "$(dos_path "$chrome_standin")"
capture_status=$?
if [ "$capture_status" -eq 124 ]; then
  echo "run-bench.sh: the capture benchmark did not finish within 120 s" >&2
fi
[ "$status" -ne 0 ] || status=$capture_status

if [ "$list_play" -gt 0 ]; then
  echo
  list_play_bench=$win/bench/list_play_bench.exe
  media=$root/build/media
  if [ ! -f "$list_play_bench" ]; then
    echo "run-bench.sh: $list_play_bench is missing; build the win tree first" >&2
    exit 1
  fi
  bash "$root/scripts/make-demo-media.sh" "$media" >/dev/null || exit 1
  start_service media --media-dir "$media" || exit 1
  clipdeck_wait_scanned "$work/media.log" || exit 1
  CLIPDECK_FEED_HOST=127.0.0.1:$service_port CLIPDECK_PLAYER_HOST=127.0.0.1:$service_port \
    timeout -k 5 $((list_play * 10 + 120)) "$wine_run" "$list_play_bench" \
    --clipdeck "$(dos_path "$clipdeck")" --videos "$list_play" --every $(((list_play + 9) / 10))
  list_play_status=$?
  [ "$status" -ne 0 ] || status=$list_play_status
fi
exit "$status"
