#!/usr/bin/env bash
# The service with media folders of 0, 1000 and 10 000 files: time until it
# answers, until every video is listed, and memory, side by side. Builds the
# service as run.sh runs it (build/release-native), makes one small clip with
# ffmpeg, and folders of hard links of it under build/.
#
#   bench/service-bench.sh [--runs N] [--sizes 0,1000,10000]
set -euo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
root=$CLIPDECK_ROOT
work=$root/build/service-bench
mkdir -p "$work"

clipdeck_build_release_native clipdeck-service service_bench >/dev/null

clip=$work/clip.mp4
if [ ! -s "$clip" ]; then
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=15 \
    -f lavfi -i sine=frequency=440:sample_rate=48000 -t 2 \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac "$clip"
fi
# Written long ago as far as the service can tell: read at first sight.
touch -d '1 hour ago' "$clip"

"$CLIPDECK_RELEASE_NATIVE_BUILD/bench/service_bench" --service "$CLIPDECK_USER_SERVICE_EXE" \
  --clip "$clip" --work "$work" "$@"
