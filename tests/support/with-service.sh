#!/usr/bin/env bash
# Runs a command with a local service of its own on a free loopback port.
#
#   with-service.sh --service PATH [--log PATH] [--arg ARG]... -- command [arguments...]
#
# --service  the native clipdeck-service
# --log      where the service's request log goes (default: a temporary
#            file, shown when the command fails)
# --arg      one more argument for the service (repeatable)
#
# The command finds the service in CLIPDECK_FEED_HOST and CLIPDECK_PLAYER_HOST
# (127.0.0.1:PORT). The service is stopped on every way out.
set -u

usage() {
  sed -n '4,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

service=""
log=""
service_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --service) [ $# -ge 2 ] || usage; service=$2; shift 2 ;;
    --log) [ $# -ge 2 ] || usage; log=$2; shift 2 ;;
    --arg) [ $# -ge 2 ] || usage; service_args+=("$2"); shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[ $# -ge 1 ] && [ -n "$service" ] || usage
if [ ! -x "$service" ]; then
  echo "with-service.sh: $service is not a program" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/clipdeck-service.XXXXXX") || exit 1
[ -n "$log" ] || log=$work/service.log
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

"$service" --port 0 --port-file "$work/port" ${service_args[@]+"${service_args[@]}"} >"$log" 2>&1 &
service_pid=$!
for _ in $(seq 200); do
  [ -s "$work/port" ] && break
  if ! kill -0 "$service_pid" 2>/dev/null; then
    echo "with-service.sh: the service did not start:" >&2
    cat "$log" >&2
    service_pid=""
    exit 1
  fi
  sleep 0.05
done
if [ ! -s "$work/port" ]; then
  echo "with-service.sh: the service wrote no port within 10 s" >&2
  exit 1
fi
port=$(cat "$work/port")
export CLIPDECK_FEED_HOST=127.0.0.1:$port
export CLIPDECK_PLAYER_HOST=127.0.0.1:$port

"$@"
status=$?
if [ "$status" -ne 0 ]; then
  echo "--- last lines of the service log"
  tail -n 30 "$log"
fi
exit "$status"
