#!/usr/bin/env bash
# Fetches cpp-httplib's single header for the Windows build of the service:
# Debian's binary package is a split build (a header and a Linux library)
# that MinGW cannot link, but the source package of the same version holds
# the whole header. The source package is downloaded with apt, from the
# machine's own Debian mirror and suite, through a source list of our own
# (the machine's apt set-up is not touched), unpacked with Debian's patches,
# and kept under build/third_party; nothing goes into the repository.
#
#   scripts/fetch-httplib.sh [OUTPUT_DIR]   (default build/third_party/cpp-httplib)
#
# Prints the folder holding httplib.h. Does nothing when it is there.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
out=${1:-$root/build/third_party/cpp-httplib}
version=0.11.4

if [ -f "$out/httplib.h" ] && grep -q "CPPHTTPLIB_VERSION \"$version\"" "$out/httplib.h"; then
  echo "$out"
  exit 0
fi

# The machine's Debian mirror and suite, from its apt sources (deb822 or one-line).
mirror="" suite=""
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
  suite=$(awk '/^Suites:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
fi
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
  read -r mirror suite < <(awk '$1 == "deb" && $2 !~ /security/ { print $2, $3; exit }' /etc/apt/sources.list) || true
fi
if [ -z "$mirror" ] || [ -z "$suite" ]; then
  echo "fetch-httplib.sh: found no Debian mirror in the apt sources" >&2
  exit 1
fi
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

work=$root/build/third_party/apt
rm -rf "$work"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/source"
cat >"$work/debian-source.sources" <<EOF
Types: deb-src
URIs: $mirror
Suites: $suite
Components: main
Signed-By: $keyring
EOF
apt=(apt-get -q -o "Dir::Etc::SourceParts=$work" -o Dir::Etc::SourceList=/dev/null
  -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache")
if ! "${apt[@]}" update >"$work/update.log" 2>&1; then
  echo "fetch-httplib.sh: apt-get update of the source index failed:" >&2
  cat "$work/update.log" >&2
  exit 1
fi
(cd "$work/source" && "${apt[@]}" source --download-only cpp-httplib) >"$work/source.log" 2>&1 || {
  echo "fetch-httplib.sh: downloading Debian's cpp-httplib source package failed:" >&2
  cat "$work/source.log" >&2
  exit 1
}
dsc=$(ls "$work"/source/cpp-httplib_"$version"*.dsc 2>/dev/null | head -n 1)
if [ -z "$dsc" ]; then
  echo "fetch-httplib.sh: $suite's cpp-httplib is not version $version (the Linux build's):" \
    "$(ls "$work"/source/*.dsc 2>/dev/null)" >&2
  exit 1
fi
rm -rf "$out"
mkdir -p "$(dirname "$out")"
# The download was checked against the signed index; apply Debian's patches.
dpkg-source --no-check -x "$dsc" "$out" >"$work/unpack.log" 2>&1 || {
  echo "fetch-httplib.sh: unpacking $dsc failed:" >&2
  cat "$work/unpack.log" >&2
  exit 1
}
if [ ! -f "$out/httplib.h" ]; then
  echo "fetch-httplib.sh: $dsc holds no httplib.h" >&2
  exit 1
fi
rm -rf "$work"
echo "$out"
