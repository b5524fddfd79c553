#!/usr/bin/env bash
# playback_test.sh MORVANE_BATCH WORK_DIR: converts a 10 s 640x360 25 fps clip with sound with
# morvane-batch --format=h264, then checks that GStreamer and Chromium play at least 90% of its 250 frames.
set -euo pipefail
[ $# = 2 ] || { echo "usage: playback_test.sh MORVANE_BATCH WORK_DIR" >&2; exit 2; }
batch=$(realpath "$1") work=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/apt_need.sh"
apt_need ffmpeg "${PLAYER_PACKAGES[@]}"  # one apt-get run for all

rm -rf "$work"
mkdir -p "$work"
cd "$work"  # morvane-batch writes morvane.log into the current folder
ffmpeg -v error -f lavfi -i testsrc2=size=640x360:rate=25:duration=10 -f lavfi -i sine=d=10 \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac clip.mp4
"$batch" -q --no-watermark --format=h264 -o out clip.mp4
flvs=(out/*.flv)
[ ${#flvs[@]} = 1 ] && [ -f "${flvs[0]}" ] || { echo "expected one FLV in $work/out" >&2; exit 1; }
exec "$here/check_playback.sh" "${flvs[0]}" 250
