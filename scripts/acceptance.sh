#!/usr/bin/env bash
# The Windows package's acceptance, as a new user would meet it: a fresh Wine
# prefix with no Clipdeck variables, the zip unpacked into a folder of the
# user's, a clip made now in the user's Videos folder, and Clipdeck.exe
# started from the unpacked folder (tests/e2e/clipdeck_accept.cpp says what
# is checked). Runs under Xvfb, so that it can take pictures: the program
# playing the clip, and the library page in headless Chromium.
#
#   scripts/acceptance.sh [--no-build] [--pictures DIR]
#
# --no-build     take the built trees, demo clips and zip as they are
# --pictures DIR copy the two pictures to DIR (docs/ for the README)
#
# The work folder is build/acceptance (kept for a look after a failure).
# Prints one line per step and "acceptance: passed" or "acceptance: failed"
# last; exit status 0 when it passed.
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
root=$CLIPDECK_ROOT

build=1
pictures=""
while [ $# -gt 0 ]; do
  case $1 in
    --no-build) build=0; shift ;;
    --pictures) [ $# -ge 2 ] || { clipdeck_say "--pictures needs a folder"; exit 2; }; pictures=$2; shift 2 ;;
    -h|--help) sed -n '9,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    *) clipdeck_say "unknown option $1"; exit 2 ;;
  esac
done

fail() {
  clipdeck_say "$*"
  echo "acceptance: failed"
  exit 1
}

package_args=()
if [ "$build" = 1 ]; then
  clipdeck_build_win clipdeck_accept >/dev/null || fail "building the driver failed"
else
  package_args=(--no-build)
fi
zip=$(bash "$root/scripts/package.sh" "${package_args[@]}" | tail -n 1)
[ -f "$zip" ] || fail "no package"
driver=$CLIPDECK_WIN_BUILD/tests/e2e/clipdeck_accept.exe
[ -f "$driver" ] || fail "$driver is not built"

work=$root/build/acceptance
prefix=$work/prefix
wine=$CLIPDECK_WINE
# A wineserver left by an earlier run of this prefix goes first.
[ -d "$prefix" ] && WINEPREFIX=$prefix timeout 30 "$CLIPDECK_WINESERVER" -k 2>/dev/null
rm -rf "$work"
mkdir -p "$work/home" "$work/handshake"

# No variable of ours reaches the program.
while read -r name; do unset "$name"; done < <(compgen -e | grep '^CLIPDECK_')
# Wine links a new prefix's Documents, Videos and the like to folders of
# $HOME: a home of its own keeps them inside the work folder. The font
# caches stay the user's: building them anew takes longer than a start may.
export XDG_CACHE_HOME=${XDG_CACHE_HOME:-$HOME/.cache}
export HOME=$work/home WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  trap - EXIT INT TERM
  timeout 30 "$CLIPDECK_WINESERVER" -k 2>/dev/null
  clipdeck_stop "$xvfb_pid"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The display first: the desktop process that the prefix's first Wine
# command starts serves every later window, and without a display then it
# never gets one.
clipdeck_start_xvfb "$work/xvfb.log" 1280x800
xvfb_pid=$CLIPDECK_XVFB_PID
[ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 || fail "no Xvfb"

echo "== a fresh Wine prefix"
clipdeck_prefix "$prefix" x11 || fail "the prefix could not be made"
profile=$("$wine" cmd /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')
profile_unix=$("$wine" winepath -u "$profile" 2>/dev/null | tr -d '\r')
[ -d "$profile_unix" ] || fail "no profile folder for $profile"
videos=$profile_unix/Videos
# Videos is a folder of the user's, as on Windows, not a link to $HOME.
[ -L "$videos" ] && rm "$videos"
mkdir -p "$videos"

clip_name="Harbour 港.mp4"
echo "== a clip in $profile\\Videos: $clip_name"
ffmpeg -hide_banner -loglevel error -y -nostdin \
  -f lavfi -i "testsrc2=s=320x180:r=10:d=7" -f lavfi -i "sine=frequency=523:sample_rate=48000:duration=7" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 10 -c:a aac -b:a 64k -ac 2 -movflags +faststart \
  "$work/clip.mp4" || fail "ffmpeg could not make the clip"
cp "$work/clip.mp4" "$videos/$clip_name"

apps=$profile_unix/Apps
echo "== ${zip##*/} unpacked into $profile\\Apps"
mkdir -p "$apps"
unzip -q "$zip" -d "$apps" || fail "the zip could not be unpacked"
name=${zip##*/}
program_folder="$profile\\Apps\\${name%.zip}"


# Takes the pictures once the driver says the clip plays.
take_pictures() {
  local port
  port=$(tr -d '\r\n' <"$work/handshake/port")
  import -window root "$work/playing.png" || clipdeck_say "no picture of the program"
  timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/chromium" --window-size=1100,820 --screenshot="$work/library.png" \
    "http://127.0.0.1:$port/" >/dev/null 2>&1 || clipdeck_say "no picture of the library page"
  touch "$work/handshake/shot-done"
}

echo "== Clipdeck.exe from $program_folder"
cp "$driver" "$work/clipdeck_accept.exe"
handshake_win="Z:$(printf '%s' "$work/handshake" | tr / '\\')"
# The programs' own complaints (Wine's sound probing on a machine without a
# sound card, say) go to a file, shown only when the run fails.
"$wine" "$work/clipdeck_accept.exe" "$program_folder" "$handshake_win" 2>"$work/driver.err" &
driver_pid=$!
deadline=$((SECONDS + 300))
pictured=0
while kill -0 "$driver_pid" 2>/dev/null; do
  if [ "$pictured" = 0 ] && [ -f "$work/handshake/port" ]; then
    take_pictures
    pictured=1
  fi
  if [ "$SECONDS" -ge "$deadline" ]; then
    clipdeck_stop "$driver_pid"
    fail "the driver did not finish within 300 s"
  fi
  sleep 0.2
done
wait "$driver_pid"
status=$?
if [ "$status" != 0 ]; then
  grep -v '^ALSA lib' "$work/driver.err" | tail -n 20 >&2
  fail "the driver failed (exit status $status); see $work"
fi
for picture in playing library; do
  [ -s "$work/$picture.png" ] || fail "no $picture.png"
done
if [ -n "$pictures" ]; then
  mkdir -p "$pictures"
  cp "$work/playing.png" "$pictures/screenshot-windows-playing.png"
  cp "$work/library.png" "$pictures/screenshot-windows-library.png"
  echo "pictures in $pictures"
fi
echo "acceptance: passed"
