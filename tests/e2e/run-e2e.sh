#!/usr/bin/env bash
# Runs the end-to-end driver against the built program, with a local service
# of its own on a free loopback port.
#
#   run-e2e.sh --service PATH --wine-run PATH clipdeck_drive.exe Clipdeck.exe [scenario...]
#
# --service   the native clipdeck-service
# --wine-run  scripts/wine-run.sh (it picks the Wine prefix of the build tree)
#
# Both hosts of the program point at the service. The service is stopped on
# every way out; the driver ends the program it started.
set -u

usage() {
  sed -n '5,9p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

# The whole driver run; CTest's own limit is above this, so the clean-up
# below still runs when the driver hangs.
driver_limit=120

service=""
wine_run=""
while [ $# -gt 0 ]; do
  case $1 in
    --service) [ $# -ge 2 ] || usage; service=$2; shift 2 ;;
    --wine-run) [ $# -ge 2 ] || usage; wine_run=$2; shift 2 ;;
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
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null
    wait "$service_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$service" --port 0 --port-file "$work/port" >"$work/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 200); do
  [ -s "$work/port" ] && break
  if ! kill -0 "$service_pid" 2>/dev/null; then
    echo "run-e2e.sh: the service did not start:" >&2
    cat "$work/service.log" >&2
    service_pid=""
    exit 1
  fi
  sleep 0.05
done
if [ ! -s "$work/port" ]; then
  echo "run-e2e.sh: the service wrote no port within 10 s" >&2
  exit 1
fi
port=$(cat "$work/port")
export CLIPDECK_FEED_HOST=127.0.0.1:$port
export CLIPDECK_PLAYER_HOST=127.0.0.1:$port
echo "service on 127.0.0.1:$port (pid $service_pid)"

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
