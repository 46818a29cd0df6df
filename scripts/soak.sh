#!/usr/bin/env bash
# Soak test of the list files: runs Clipdeck N times on one data folder
# against a local service, changes its favourites and history through window
# messages, closes it or kills it at a random moment, and checks after each
# run that Favorite.ini and History.ini load and hold every completed change.
#
#   scripts/soak.sh [--seed S] [--no-build] N
#
# --seed S    the random choices of a run to repeat (printed at the start)
# --no-build  take the built trees as they are (scripts/test.sh builds them)
#
# Prints one line per cycle and a summary line "soak: ..."; exit status 0
# when nothing was lost, 1 on a loss or an unreadable file, 2 otherwise.
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

usage() {
  sed -n '7,10p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

seed=""
build=1
while [ $# -gt 0 ]; do
  case $1 in
    --seed) [ $# -ge 2 ] || usage; seed=$2; shift 2 ;;
    --no-build) build=0; shift ;;
    -h|--help) usage ;;
    -*) clipdeck_say "unknown option $1"; usage ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] || usage
cycles=$1
case $cycles in ''|*[!0-9]*) usage ;; esac

if [ "$build" = 1 ]; then
  clipdeck_build_native clipdeck-service >/dev/null || exit 2
  clipdeck_build_win Clipdeck clipdeck_soak >/dev/null || exit 2
fi
program=$CLIPDECK_WIN_BUILD/src/Clipdeck.exe
driver=$CLIPDECK_WIN_BUILD/tests/e2e/clipdeck_soak.exe
for f in "$program" "$driver" "$CLIPDECK_SERVICE_EXE"; do
  [ -f "$f" ] || { clipdeck_say "$f is not built"; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/clipdeck-soak.XXXXXX") || exit 2
service_pid=""
cleanup() {
  trap - EXIT INT TERM
  clipdeck_stop "$service_pid"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

clipdeck_start_service "$CLIPDECK_SERVICE_EXE" "$work/service.log" "$work/port" || exit 2
service_pid=$CLIPDECK_SERVICE_PID
export CLIPDECK_FEED_HOST=127.0.0.1:$CLIPDECK_SERVICE_PORT
export CLIPDECK_PLAYER_HOST=127.0.0.1:$CLIPDECK_SERVICE_PORT
export WINEDEBUG=-all

program_dos="Z:$(printf '%s' "$(readlink -f "$program")" | tr / '\\')"
# The driver bounds each wait itself; this only catches a driver that hangs.
limit=$((120 + cycles * 60))
timeout -k 5 "$limit" "$CLIPDECK_ROOT/scripts/wine-run.sh" "$driver" "$program_dos" "$cycles" $seed
status=$?
case $status in
  0|1) ;;
  124) clipdeck_say "the driver did not finish within $limit s"; status=2 ;;
  *) status=2 ;;
esac
exit "$status"
