#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the program need,
# only those that are missing. Quiet when everything is there.
#
#   scripts/setup.sh [--browser]
#
# --browser  also the web browser the tests load the library page in
#            (Debian's chromium, a large download that only the tests need)
set -euo pipefail

packages=(
  cmake ninja-build g++
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 fonts-wine
  xvfb x11-utils imagemagick xdotool
  googletest libgtest-dev
  libcpp-httplib-dev pkgconf
  fonts-droid-fallback fonts-liberation fonts-dejavu-core fonts-symbola
  procps curl util-linux zip unzip
  ffmpeg libavformat-dev libavcodec-dev libavutil-dev
  dpkg-dev
  gstreamer1.0-libav gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  clang-14 libfuzzer-14-dev
)
for arg in "$@"; do
  case $arg in
    --browser) packages+=(chromium) ;;
    *) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

installed=" $(dpkg-query -W -f='${Package}:${Status}\n' "${packages[@]}" 2>/dev/null |
  sed -n 's/:install ok installed$//p' | tr '\n' ' ' || true) "
missing=()
for p in "${packages[@]}"; do
  case "$installed" in
    *" $p "*) ;;
    *) missing+=("$p") ;;
  esac
done

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
# cpp-httplib's single header for the Windows build of the service, from
# Debian's source package, unpacked under build/ (once).
fetch_httplib() {
  bash "$root/scripts/fetch-httplib.sh" >/dev/null
}

if [ ${#missing[@]} -eq 0 ]; then
  fetch_httplib
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup.sh: missing packages (${missing[*]}) and no sudo to install them" >&2
  exit 1
fi

echo "setup.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq "${missing[@]}" >/dev/null
fetch_httplib
