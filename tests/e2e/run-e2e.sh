#!/usr/bin/env bash
# Runs the end-to-end driver against the built program, with a local service
# of its own on a free loopback port.
#
#   run-e2e.sh --service PATH --wine-run PATH [--media-dir DIR] clipdeck_drive.exe Clipdeck.exe [scenario...]
#
# --service   the native clipdeck-service
# --wine-run  scripts/wine-run.sh (it picks the Wine prefix of the build tree)
# --media-dir a folder of clips for the service to serve; the ID of the first
#             one reaches the driver as CLIPDECK_E2E_CLIP
#
# Both hosts of the program point at the service. The service is stopped on
# every way out; the driver ends the program it started.
set -u

. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"

usage() {
  sed -n '5,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

# The whole driver run; CTest's own limit is above this, so the clean-up
# below still runs when the driver hangs.
driver_limit=120

service=""
wine_run=""
media=()
while [ $# -gt 0 ]; do
  case $1 in
    --service) [ $# -ge 2 ] || usage; service=$2; shift 2 ;;
    --wine-run) [ $# -ge 2 ] || usage; wine_run=$2; shift 2 ;;
    --media-dir) [ $# -ge 2 ] || usage; media=(--media-dir "$2"); shift 2 ;;
    -h|--help) usage ;;
    -*) echo "run-e2e.sh: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] && [ -n "$service" ] && [ -n "$wine_run" ] || usage
driver=$1
program=$2
shift 2

for f in "$service" "$wine_run" "$driver" "$program"; do
  if [ ! -f "$f" ]; then
    echo "run-e2e.sh: $f does not exist" >&2
    exit 2
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/clipdeck-e2e.XXXXXX") || exit 1
service_pid=""
cleanup() {
  trap - EXIT INT TERM
  clipdeck_stop "$service_pid"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

clipdeck_start_service "$service" "$work/service.log" "$work/port" "${media[@]}" || exit 1
service_pid=$CLIPDECK_SERVICE_PID
port=$CLIPDECK_SERVICE_PORT
export CLIPDECK_FEED_HOST=127.0.0.1:$port
export CLIPDECK_PLAYER_HOST=127.0.0.1:$port
echo "service on 127.0.0.1:$port (pid $service_pid)"
if [ ${#media[@]} -gt 0 ]; then
  # The service lists each video it finds: "media ID LEVELS SECONDS TITLE".
  clipdeck_wait_scanned "$work/service.log" || exit 1
  CLIPDECK_E2E_CLIP=$(awk '$1 == "media" { print $2; exit }' "$work/service.log")
  if [ -z "$CLIPDECK_E2E_CLIP" ]; then
    echo "run-e2e.sh: the service found no clip in ${media[1]}" >&2
    exit 1
  fi
  export CLIPDECK_E2E_CLIP
  echo "clip $CLIPDECK_E2E_CLIP"
fi

# The driver is a Windows program: it takes the program's path in Wine's form.
program_dos="Z:$(printf '%s' "$(readlink -f "$program")" | tr / '\\')"

timeout -k 5 "$driver_limit" "$wine_run" "$driver" "$program_dos" "$@"
status=$?
case $status in
  124) echo "run-e2e.sh: the driver did not finish within $driver_limit s" >&2 ;;
  137) echo "run-e2e.sh: the driver was killed" >&2 ;;
esac
if [ "$status" -ne 0 ]; then
  echo "--- last lines of the service log"
  tail -n 30 "$work/service.log"
fi
exit "$status"
