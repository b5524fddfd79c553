#!/usr/bin/env bash
# How close Morvane's pictures come to the ffmpeg CLI's: converts the same generated clips
# (640 x 360, 1280 x 720 and 1920 x 1080, H.264 and AAC, 10 s by default) with morvane-batch at
# the original size and the Medium profile and with the CLI's FLV1 encoder at the same bit rate,
# decodes the outputs and the source to raw YUV 4:2:0 and prints the PSNR of each output against
# the source, with the video bit rate each one reached:
#   morvane    morvane-batch
#   ffmpeg     ffmpeg -c:v flv1 -b:v 400k (its defaults otherwise: 12 frames a key frame, and a
#              bit rate tolerance of 4 Mbit that lets it overspend)
#   ffmpeg-rc  the CLI with Morvane's rate control: -b:v 409600 -bt 4096 -g 25, which isolates
#              what Morvane's picture path costs
# With FORMAT=h264, Morvane writes H.264 and AAC, and the CLI is x264 at the same preset and rate:
#   morvane       morvane-batch --format=h264
#   morvane-flv1  morvane-batch in its Sorenson Spark format, for the gain over it
#   ffmpeg        ffmpeg -c:v libx264 -preset veryfast -b:v 409600 (x264's defaults otherwise)
#   ffmpeg-rc     the same with Morvane's key frame interval, VBV limit and profile
#   bench/psnr_against_ffmpeg.sh [SECONDS]
#   FORMAT=h264 bench/psnr_against_ffmpeg.sh
#   BUILD=build-col bench/psnr_against_ffmpeg.sh      # another build tree (default: build)
# Frames are paired by their order, not by their times: FLV keeps milliseconds, which at most
# frame rates would pair a frame with its neighbour. Needs the ffmpeg package.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_OF_CLIP=${1:-10}
BUILD=${BUILD:-build}
FORMAT=${FORMAT:-flv1}
case $BUILD in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
BATCH=$BUILD/tools/morvane-batch
[ -x "$BATCH" ] || { echo "build first: $BATCH is missing" >&2; exit 1; }
command -v ffmpeg > /dev/null && command -v ffprobe > /dev/null || {
    echo "needs: apt-get install ffmpeg" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/out"

# usage: raw INPUT OUTPUT ; every decoded frame once, in order, as yuv420p
raw() {
    ffmpeg -nostdin -hide_banner -loglevel error -y -i "$1" -map 0:v:0 -fps_mode passthrough \
        -pix_fmt yuv420p -f rawvideo "$2"
}

# usage: psnr SIZE REFERENCE DISTORTED ; prints "frames y u v": the distorted file's frame
# count, and the PSNR over the frames both files hold, from their mean squared error
psnr() {
    local bytes frames
    bytes=$(frame_bytes "$1")
    frames=$(( $(stat -c %s "$3") / bytes ))
    ffmpeg -nostdin -hide_banner -y \
        -f rawvideo -pix_fmt yuv420p -s "$1" -i "$2" \
        -f rawvideo -pix_fmt yuv420p -s "$1" -i "$3" \
        -lavfi "[0:v]setpts=N[a];[1:v]setpts=N[b];[a][b]psnr=shortest=1" -f null - 2>&1 |
        awk -v frames="$frames" '/Parsed_psnr/ {
            for (i = 1; i <= NF; i++) { split($i, kv, ":"); value[kv[1]] = kv[2] }
            printf "%d %s %s %s\n", frames, value["y"], value["u"], value["v"] }'
}

frame_bytes() {
    local width=${1%x*} height=${1#*x}
    echo $(( width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2) ))
}

# usage: video_kbps FILE ; the video stream's bytes over its duration, in kbit/s
video_kbps() {
    ffprobe -v error -select_streams v:0 -show_entries packet=size,pts_time -of csv=p=0 "$1" |
        awk -F, '{ bytes += $2; if ($1 > last) last = $1; n++ }
            END { printf "%.0f", bytes * 8 / (last * n / (n - 1)) / 1000 }'
}

printf "%-10s %-13s %7s %9s %7s %7s %7s\n" size program frames kbit/s y_dB u_dB v_dB
for size in 640x360 1280x720 1920x1080; do
    clip=$WORK/clip-$size.mp4
    ffmpeg -nostdin -hide_banner -loglevel error -y \
        -f lavfi -i "testsrc2=size=$size:rate=25" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
        -t "$SECONDS_OF_CLIP" -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$clip"
    # The defaults are the Medium profile, stereo, at the original size.
    (cd "$WORK" && "$BATCH" -q -y --no-watermark --format="$FORMAT" -o "$WORK/out" "$clip")
    mv "$WORK/out/clip-$size.flv" "$WORK/out/morvane.flv"
    if [ "$FORMAT" = h264 ]; then
        programs="morvane morvane-flv1 ffmpeg ffmpeg-rc"
        (cd "$WORK" && "$BATCH" -q -y --no-watermark -o "$WORK/out" "$clip")
        mv "$WORK/out/clip-$size.flv" "$WORK/out/morvane-flv1.flv"
        x264=(-c:v libx264 -preset veryfast -b:v 409600 -c:a aac -b:a 98304 -ar 44100 -ac 2)
        ffmpeg -nostdin -hide_banner -loglevel error -y -i "$clip" "${x264[@]}" \
            "$WORK/out/ffmpeg.flv"
        # Morvane's x264 settings: a key frame at least every 2 s, twice the rate at most.
        ffmpeg -nostdin -hide_banner -loglevel error -y -i "$clip" "${x264[@]}" -g 50 \
            -profile:v main -maxrate 819200 -bufsize 409600 "$WORK/out/ffmpeg-rc.flv"
    else
        programs="morvane ffmpeg ffmpeg-rc"
        ffmpeg -nostdin -hide_banner -loglevel error -y -i "$clip" -c:v flv1 -b:v 400k \
            -c:a libmp3lame -b:a 96k -ar 44100 -ac 2 "$WORK/out/ffmpeg.flv"
        # Medium is 400 x 1024 bit/s; Morvane asks for a tolerance of 1% of it (which libavcodec
        # raises to five frames' worth) and a key frame a second.
        ffmpeg -nostdin -hide_banner -loglevel error -y -i "$clip" -c:v flv1 -b:v 409600 \
            -bt 4096 -g 25 -c:a libmp3lame -b:a 96k -ar 44100 -ac 2 "$WORK/out/ffmpeg-rc.flv"
    fi

    raw "$clip" "$WORK/source.yuv"
    source_frames=$(( $(stat -c %s "$WORK/source.yuv") / $(frame_bytes "$size") ))
    for program in $programs; do
        raw "$WORK/out/$program.flv" "$WORK/$program.yuv"
        read -r frames y u v < <(psnr "$size" "$WORK/source.yuv" "$WORK/$program.yuv")
        printf "%-10s %-13s %7d %9s %7.2f %7.2f %7.2f\n" "$size" "$program" "$frames" \
            "$(video_kbps "$WORK/out/$program.flv")" "$y" "$u" "$v"
        if (( frames != source_frames )); then
            echo "  (the source has $source_frames frames: pairs by order may be off)"
        fi
        rm -f "$WORK/$program.yuv"
    done
    rm -f "$WORK/source.yuv" "$clip"
done
echo "(a $SECONDS_OF_CLIP s clip of 25 frames a second; PSNR against the source over the frames"
echo " both hold, paired by order, from the mean squared error over all of them)"
