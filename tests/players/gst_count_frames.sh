#!/usr/bin/env bash
# gst_count_frames.sh FLV: decodes the H.264 video and AAC audio of FLV with GStreamer and prints
# the number of video frames decoded. Fails if the pipeline errors or does not finish.
set -euo pipefail
[ $# = 1 ] || { echo "usage: gst_count_frames.sh FLV" >&2; exit 2; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# -v makes the video fakesink print one last-message line per buffer. The timeout also ends a
# pipeline that waits forever on a missing stream (the other branch never prerolls).
timeout 60 gst-launch-1.0 -v filesrc location="$1" ! flvdemux name=demux \
        demux.video ! queue ! h264parse ! avdec_h264 ! fakesink name=frames silent=false sync=false \
        demux.audio ! queue ! aacparse ! avdec_aac ! fakesink sync=false >"$log" 2>&1 || {
    rc=$?
    if [ $rc = 124 ]; then
        echo "gst-launch-1.0 did not finish in 60 s (is a stream missing?)" >&2
    else
        echo "gst-launch-1.0 failed: $(grep -m1 '^ERROR' "$log" || tail -n1 "$log")" >&2
    fi
    exit 1
}
grep -c 'GstFakeSink:frames: last-message = chain' "$log" || true
