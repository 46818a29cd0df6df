#!/usr/bin/env bash
# Builds the Windows package: one zip holding a folder that runs as it is,
# with nothing to install on Windows 10 or 11.
#
#   scripts/package.sh [--no-build] [--out DIR]
#
# --no-build  take the built win tree and demo clips as they are
# --out DIR   where the zip goes (default dist/)
#
# dist/Clipdeck-<version>-win64.zip, <version> being the project's (the
# program's version record has the same):
#   Clipdeck-<version>-win64/Clipdeck.exe
#                            clipdeck-service.exe
#                            catalogue/catalogue.tsv
#                            demo/         the demo clips (scripts/make-demo-media.sh)
#                            README.txt
# Both programs are linked statically; the zip is refused when either imports
# anything but the system's own libraries. Prints the zip's path last.
set -euo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
root=$CLIPDECK_ROOT

build=1
out=$root/dist
while [ $# -gt 0 ]; do
  case $1 in
    --no-build) build=0; shift ;;
    --out) [ $# -ge 2 ] || { clipdeck_say "--out needs a folder"; exit 2; }; out=$2; shift 2 ;;
    -h|--help) sed -n '5,9p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    *) clipdeck_say "unknown option $1"; exit 2 ;;
  esac
done

version=$(sed -n 's/^project(Clipdeck VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { clipdeck_say "no project version in CMakeLists.txt"; exit 1; }
name=Clipdeck-$version-win64
media=$root/build/media

if [ "$build" = 1 ]; then
  bash "$root/scripts/setup.sh" >/dev/null
  clipdeck_build_win Clipdeck clipdeck-service >/dev/null
  bash "$root/scripts/make-demo-media.sh" "$media" >/dev/null
fi
program=$CLIPDECK_WIN_BUILD/src/Clipdeck.exe
service=$CLIPDECK_WIN_BUILD/service/clipdeck-service.exe
for f in "$program" "$service" "$root/service/catalogue/catalogue.tsv"; do
  [ -f "$f" ] || { clipdeck_say "$f is missing (build the win tree)"; exit 1; }
done
demos=("$media"/demo-*.mp4 "$media"/demo-*.webm)
[ -f "${demos[0]}" ] || { clipdeck_say "no demo clips in $media (scripts/make-demo-media.sh)"; exit 1; }

# What Windows 10 and 11 bring themselves; anything else would have to be
# shipped or installed. The libraries bound at load time are in the import
# table; those bound at first call (cmake/delay_imports.cmake) are named in
# the data, with any other DLL name the program holds.
system_dlls=(advapi32 comctl32 crypt32 dwmapi gdi32 kernel32 mfplat mfreadwrite msvcrt ole32 oleaut32
  propsys psapi shell32 shlwapi user32 version wininet ws2_32)
system_dlls=" ${system_dlls[*]/%/.dll} "
for exe in "$program" "$service"; do
  while read -r dll; do
    case $system_dlls in
      *" ${dll,,} "*) ;;
      *) clipdeck_say "${exe##*/} needs $dll, which Windows does not bring"; exit 1 ;;
    esac
  done < <({
    x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p'
    strings -a "$exe" | grep -i '^[a-z0-9_]*\.dll$'
    strings -a -el "$exe" | grep -i '^[a-z0-9_]*\.dll$'
  } | sort -u)
done

stage=$root/build/package/$name
rm -rf "$root/build/package"
mkdir -p "$stage/catalogue" "$stage/demo"
cp "$program" "$service" "$stage/"
cp "$root/service/catalogue/catalogue.tsv" "$stage/catalogue/"
cp "${demos[@]}" "$stage/demo/"
sed "s/@VERSION@/$version/" "$root/scripts/package-readme.txt" | sed 's/$/\r/' >"$stage/README.txt"

mkdir -p "$out"
zip=$(cd "$out" && pwd -P)/$name.zip
rm -f "$zip"
(cd "$root/build/package" && TZ=UTC zip -q -X -r "$zip" "$name")
echo "$zip"
