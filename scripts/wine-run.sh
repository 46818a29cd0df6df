#!/usr/bin/env bash
# Runs a Windows program under Wine; CTest's emulator for the win tree.
#
#   wine-run.sh program.exe [args...]
#
# The prefix is $CLIPDECK_WINEPREFIX, or else <builddir>/wineprefix of the
# build tree the program lies in (the nearest folder above it holding
# CMakeCache.txt). It is made ready on first use with the null graphics
# driver (clipdeck_prefix in lib.sh), so no X server is needed. The program's
# exit code is passed through.
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
WINE=$CLIPDECK_WINE
WINESERVER=$CLIPDECK_WINESERVER

if [ $# -lt 1 ]; then
  echo "usage: $0 program.exe [args...]" >&2
  exit 2
fi

export WINEDEBUG=-all
# No Mono or Gecko download prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

find_build_dir() {
  local d=$1
  while [ -n "$d" ] && [ "$d" != "/" ]; do
    if [ -f "$d/CMakeCache.txt" ]; then
      printf '%s\n' "$d"
      return 0
    fi
    d=$(dirname "$d")
  done
  return 1
}

if [ -n "${CLIPDECK_WINEPREFIX:-}" ]; then
  WINEPREFIX=$CLIPDECK_WINEPREFIX
else
  builddir=""
  if [ -e "$1" ]; then
    builddir=$(find_build_dir "$(dirname "$(readlink -f "$1")")") || builddir=""
  fi
  if [ -z "$builddir" ]; then
    builddir=$(find_build_dir "$(pwd -P)") || builddir=""
  fi
  if [ -z "$builddir" ]; then
    echo "wine-run.sh: $1 is not inside a build tree; set CLIPDECK_WINEPREFIX" >&2
    exit 2
  fi
  WINEPREFIX=$builddir/wineprefix
fi
export WINEPREFIX

clipdeck_prefix "$WINEPREFIX" null || exit $?

# Wine's system processes (services.exe and the rest) are started by the first
# program that finds no server, and they inherit its standard output. Started
# by a test, they would hold CTest's pipe open until the server exits, so
# CTest would wait seconds after each test. Start the server here when none
# runs, kept CLIPDECK_WINESERVER_PERSIST seconds after its last client (or
# "forever"), and let a silent program bring up the system processes.
persist=${CLIPDECK_WINESERVER_PERSIST:-30}
[ "$persist" = forever ] && persist=""
(
  flock 9
  if "$WINESERVER" "-p$persist" </dev/null >/dev/null 2>&1 9>&-; then
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$WINEPREFIX.lock"

exec "$WINE" "$@"
