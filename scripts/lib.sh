# shellcheck shell=bash
# Shared by the scripts that build, run and test Clipdeck; sourced, never run:
#
#   . "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
#
# clipdeck_build_native / clipdeck_build_win   configure and build a tree
# clipdeck_prefix                              make a Wine prefix ready
# clipdeck_start_service                       start the service on a free port
# clipdeck_stop                                stop processes started here

CLIPDECK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
CLIPDECK_WINE=/usr/lib/wine/wine64
CLIPDECK_WINESERVER=/usr/lib/wine/wineserver
# Wine's own fonts (Debian fonts-wine).
CLIPDECK_WINE_FONTS=/usr/share/wine/fonts

# clipdeck_say MESSAGE...: prints MESSAGE on standard error, after the name
# of the script that is running.
clipdeck_say() {
  echo "${0##*/}: $*" >&2
}

# --- Build trees ------------------------------------------------------------

# clipdeck_configure_and_build DIR [cmake options...] [-- targets...]
# Configures DIR quietly (the log is DIR.configure.log, shown on failure) and
# builds the targets, or everything. Non-zero on failure.
clipdeck_configure_and_build() {
  local dir=$1
  shift
  local options=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    options+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  mkdir -p "$(dirname "$dir")"
  if ! cmake -S "$CLIPDECK_ROOT" -B "$dir" -G Ninja "${options[@]}" >"$dir.configure.log" 2>&1; then
    clipdeck_say "configuring $dir failed:"
    cat "$dir.configure.log" >&2
    return 1
  fi
  if [ $# -gt 0 ]; then
    cmake --build "$dir" -j2 --target "$@"
  else
    cmake --build "$dir" -j2
  fi
}

CLIPDECK_NATIVE_BUILD=$CLIPDECK_ROOT/build/native
CLIPDECK_WIN_BUILD=$CLIPDECK_ROOT/build/win
CLIPDECK_RELEASE_NATIVE_BUILD=$CLIPDECK_ROOT/build/release-native
# The service the tests run (sanitizers, unoptimised) and the one a user runs.
CLIPDECK_SERVICE_EXE=$CLIPDECK_NATIVE_BUILD/service/clipdeck-service
CLIPDECK_USER_SERVICE_EXE=$CLIPDECK_RELEASE_NATIVE_BUILD/service/clipdeck-service

# clipdeck_build_native [targets...]: the service and the pure logic, host
# compiler with sanitizers.
clipdeck_build_native() {
  clipdeck_configure_and_build "$CLIPDECK_NATIVE_BUILD" -- "$@"
}

# clipdeck_build_release_native [targets...]: what a user runs of the native
# side (by default the service), optimised and without sanitizers.
clipdeck_build_release_native() {
  clipdeck_configure_and_build "$CLIPDECK_RELEASE_NATIVE_BUILD" -DCLIPDECK_SANITIZE=OFF -- "${@:-clipdeck-service}"
}

# clipdeck_build_win [targets...]: the program and its tests, MinGW-w64, and
# the service for Windows (with cpp-httplib's header that scripts/setup.sh
# fetches). The end-to-end tests take the native tree's service, and the
# Windows service is tested with the native tree's process tests, so build
# that first.
CLIPDECK_HTTPLIB_DIR=$CLIPDECK_ROOT/build/third_party/cpp-httplib
clipdeck_build_win() {
  clipdeck_configure_and_build "$CLIPDECK_WIN_BUILD" \
    -DCMAKE_TOOLCHAIN_FILE="$CLIPDECK_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCLIPDECK_SERVICE_EXE="$CLIPDECK_SERVICE_EXE" \
    -DCLIPDECK_HTTPLIB_DIR="$CLIPDECK_HTTPLIB_DIR" \
    -DCLIPDECK_SERVICE_PROCESS_TEST="$CLIPDECK_NATIVE_BUILD/tests/service/service_process_test" -- "$@"
}

# --- Wine prefixes ----------------------------------------------------------

# Raise this when the settings below change, so existing prefixes get them.
CLIPDECK_PREFIX_VERSION=3

# clipdeck_prefix PREFIX null|x11
# Makes PREFIX ready once (about 10 s for a new one); callers in parallel
# wait for the first. Sets nothing in the caller's environment.
#   null  the null graphics driver: windows without an X server (tests)
#   x11   for an X server without a window manager (Xvfb): Managed=N, else
#         each visible window takes seconds to close; and Japanese text
#         and symbols in the dialog, caption and menu fonts
# Both get Wine's Marlett, the symbol font of caption buttons, scroll arrows
# and check marks: Debian's Wine 8 looks for its own fonts in a folder that
# does not exist, so without a copy in the prefix those glyphs fall back to
# letters ("0 1 r" for minimise, maximise, close).
clipdeck_prefix() {
  local prefix=$1 kind=$2
  case $kind in
    null|x11) ;;
    *) clipdeck_say "clipdeck_prefix: unknown kind '$kind' (null or x11)"; return 2 ;;
  esac
  local ready=$prefix/.clipdeck-$kind-$CLIPDECK_PREFIX_VERSION
  [ -f "$ready" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  # Every Wine command in here closes the lock's descriptor, or the
  # wineserver it starts would inherit it and hold the lock.
  (
    flock 9
    [ -f "$ready" ] && exit 0
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    local wine=$CLIPDECK_WINE
    if [ ! -f "$prefix/system.reg" ]; then
      clipdeck_say "creating the Wine prefix $prefix (once, about 10 seconds)"
      "$wine" wineboot -i >/dev/null 2>&1 9>&-
    fi
    rm -f "$prefix"/.clipdeck-*
    {
      if [ "$kind" = null ]; then
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f
      else
        "$wine" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f
        "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
        # The dialog, caption and menu fonts (MS Shell Dlg, MS UI Gothic)
        # resolve to Liberation Sans here; linking it to Droid Sans Fallback
        # gives GDI text Japanese glyphs, and to Symbola (Debian
        # fonts-symbola) symbols such as U+2615, while Latin letters stay in
        # Liberation Sans. Bold text (captions) looks the link up under its
        # own face name. Linking the dialog face names themselves would make
        # Droid, which has no Latin letters, the base font.
        local face
        for face in 'Liberation Sans' 'Liberation Sans Bold'; do
          "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
            /t REG_MULTI_SZ /d 'DroidSansFallbackFull.ttf,Droid Sans Fallback\0Symbola_hint.ttf,Symbola' /f
        done
        # Edit controls draw through Uniscribe, which ignores font links and
        # takes its fallback font per script from here: kana and han.
        local script_tag
        for script_tag in 616e616b 696e6168; do
          "$wine" reg add 'HKCU\Software\Wine\Uniscribe\Fallback' \
            /v "$script_tag" /t REG_SZ /d 'Droid Sans Fallback' /f
        done
      fi
    } >/dev/null 2>&1 9>&-
    local fonts=$prefix/drive_c/windows/Fonts
    if [ ! -f "$CLIPDECK_WINE_FONTS/marlett.ttf" ]; then
      clipdeck_say "$CLIPDECK_WINE_FONTS/marlett.ttf is missing (Debian fonts-wine;" \
        "scripts/setup.sh installs it)"
      exit 3
    fi
    mkdir -p "$fonts" && cp "$CLIPDECK_WINE_FONTS/marlett.ttf" "$fonts/marlett.ttf" || exit 3
    # The registry reaches the disk when the server exits; wait for that, so
    # that a server started later from the files has the settings.
    timeout 120 "$CLIPDECK_WINESERVER" -w 9>&-
    local missing=""
    if [ "$kind" = null ]; then
      grep -qi '"Graphics"="null"' "$prefix/user.reg" 2>/dev/null || missing="the null graphics driver"
    else
      grep -qi '"Managed"="N"' "$prefix/user.reg" 2>/dev/null || missing="Managed=N"
      grep -qi '"Liberation Sans Bold"=' "$prefix/system.reg" 2>/dev/null || missing="${missing:+$missing, }the font link"
    fi
    if [ -n "$missing" ]; then
      clipdeck_say "could not set $missing in the Wine prefix $prefix"
      exit 3
    fi
    touch "$ready"
  ) 9>"$prefix.lock"
}

# --- The local service ------------------------------------------------------

# clipdeck_start_service EXE LOG PORTFILE [service options...]
# Starts EXE in the background on a free loopback port (or on --port N when
# given among the options), with its output in LOG, and waits until it
# listens: it writes its port to PORTFILE then. Sets CLIPDECK_SERVICE_PID and
# CLIPDECK_SERVICE_PORT; the caller stops the process (clipdeck_stop). Fails,
# showing the log, when the service exits first or takes longer than
# CLIPDECK_SERVICE_START_LIMIT seconds (default 10).
clipdeck_start_service() {
  local exe=$1 log=$2 port_file=$3
  shift 3
  CLIPDECK_SERVICE_PID=""
  CLIPDECK_SERVICE_PORT=""
  if [ ! -x "$exe" ]; then
    clipdeck_say "the service $exe is not built"
    return 1
  fi
  rm -f "$port_file"
  "$exe" --port 0 "$@" --port-file "$port_file" >"$log" 2>&1 &
  local pid=$!
  local limit=${CLIPDECK_SERVICE_START_LIMIT:-10}
  local deadline=$((SECONDS + limit))
  while [ ! -s "$port_file" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      clipdeck_say "the service stopped at start (exit status $?):"
      sed 's/^/  /' "$log" >&2
      return 1
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      clipdeck_stop "$pid"
      clipdeck_say "the service did not listen within $limit s:"
      sed 's/^/  /' "$log" >&2
      return 1
    fi
    sleep 0.05
  done
  CLIPDECK_SERVICE_PID=$pid
  CLIPDECK_SERVICE_PORT=$(cat "$port_file")
}

# clipdeck_wait_scanned LOG [SECONDS]: waits (default at most 20 s) until a
# service started with --media-dir has read its folders through once, which
# it logs as "scanned ..." after a "media ID ..." line for each video. It
# answers from the start, and reads the folders behind.
clipdeck_wait_scanned() {
  local log=$1 limit=${2:-20}
  local deadline=$((SECONDS + limit))
  until grep -q '^scanned ' "$log" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      clipdeck_say "the service did not read its media folders within $limit s"
      return 1
    fi
    sleep 0.05
  done
}

# clipdeck_favourite_count FILE: the number of favourites FILE (the program's
# Favorite.ini, UTF-16 or ANSI) holds; 0 when there is no such file.
clipdeck_favourite_count() {
  local file=$1 count=""
  if [ -f "$file" ]; then
    count=$({ if [ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' ')" = fffe ]; then
                iconv -f UTF-16 -t UTF-8 "$file"
              else
                cat "$file"
              fi; } 2>/dev/null |
      tr -d '\r' | awk -F= '/^\[/ { sys = ($0 == "[SYSTEM]") } sys && $1 == "COUNT" { print $2 + 0; exit }')
  fi
  echo "${count:-0}"
}

# clipdeck_stop PID...: ends processes this shell started, and reaps them.
# clipdeck_start_xvfb LOG [WIDTHxHEIGHT]
# Starts Xvfb (default 1280x800, 24 bits) on the first free display from :99 and
# waits until it answers. Sets DISPLAY (exported) and CLIPDECK_XVFB_PID; the
# caller stops the process (clipdeck_stop).
clipdeck_start_xvfb() {
  local log=$1 size=${2:-1280x800} n=99
  CLIPDECK_XVFB_PID=""
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
    n=$((n + 1))
  done
  # A session of its own, so that Ctrl+C in the terminal leaves the display
  # to the programs that are closing on it (the caller stops it by pid).
  setsid Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >"$log" 2>&1 &
  CLIPDECK_XVFB_PID=$!
  local _
  for _ in $(seq 100); do
    xdpyinfo -display ":$n" >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! xdpyinfo -display ":$n" >/dev/null 2>&1; then
    clipdeck_say "Xvfb did not start on :$n; see $log"
    return 1
  fi
  export DISPLAY=":$n"
}

clipdeck_stop() {
  local pid
  for pid in "$@"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  return 0
}
