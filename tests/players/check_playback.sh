#!/usr/bin/env bash
# check_playback.sh FLV EXPECTED_FRAMES: plays an H.264 + AAC FLV with GStreamer and with Chromium
# through mpegts.js, each of which must show at least 90% of EXPECTED_FRAMES. Installs what the
# two need: Debian packages, and the npm packages into $PLAYERS_CACHE (default build/players).
set -euo pipefail
[ $# = 2 ] || { echo "usage: check_playback.sh FLV EXPECTED_FRAMES" >&2; exit 2; }
flv=$1 expected=$2
here=$(cd "$(dirname "$0")" && pwd)
export PLAYERS_CACHE=${PLAYERS_CACHE:-$here/../../build/players}

. "$here/apt_need.sh"
apt_need "${PLAYER_PACKAGES[@]}"
# npm ci writes node_modules/.package-lock.json last, so it marks a finished install.
if ! cmp -s "$here/package-lock.json" "$PLAYERS_CACHE/package-lock.json" ||
        [ ! -e "$PLAYERS_CACHE/node_modules/.package-lock.json" ]; then
    mkdir -p "$PLAYERS_CACHE"
    cp "$here/package.json" "$here/package-lock.json" "$PLAYERS_CACHE/"
    (cd "$PLAYERS_CACHE" && npm ci --no-audit --no-fund --silent)
fi

failed=0
if frames=$("$here/gst_count_frames.sh" "$flv" 2>&1); then
    if ((frames * 10 >= expected * 9)); then
        echo "GStreamer: decoded $frames of $expected frames"
    else
        echo "GStreamer: FAIL: decoded $frames of $expected frames, fewer than 90%"; failed=1
    fi
else
    echo "GStreamer: FAIL: $frames"; failed=1
fi
if line=$(node "$here/play_flv.mjs" "$flv" "$expected"); then
    echo "Chromium + mpegts.js: $line"
else
    echo "Chromium + mpegts.js: FAIL: $line"; failed=1
fi
exit $failed
