#!/usr/bin/env bash
# Converts the same clips with morvane-batch and with the ffmpeg CLI at the same settings,
# alternating the two, and prints wall time, CPU time and peak memory of each, and their ratio:
# the ratio of the best rounds, and the median of the ratios within each round (the two runs
# of a round share the machine's load of the moment, which the best rounds do not).
#   bench/compare_with_ffmpeg.sh [SECONDS] [ROUNDS]
#   FORMAT=h264 bench/compare_with_ffmpeg.sh   # H.264 and AAC, against x264 at the same preset,
#                                              # rate, key frame interval and VBV limit
# Needs a built tree (build/) and the ffmpeg and time packages.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_OF_CLIP=${1:-20}
ROUNDS=${2:-3}
FORMAT=${FORMAT:-flv1}
if [ "$FORMAT" = h264 ]; then
    cli_codecs=(-c:v libx264 -preset veryfast -profile:v main -b:v 409600 -g 50 -maxrate 819200
        -bufsize 409600 -c:a aac)
else
    cli_codecs=(-c:v flv1 -b:v 409600 -g 25 -c:a libmp3lame)
fi
BATCH=$ROOT/build/tools/morvane-batch
[ -x "$BATCH" ] || { echo "build first: $BATCH is missing" >&2; exit 1; }
command -v ffmpeg > /dev/null && [ -x /usr/bin/time ] || {
    echo "needs: apt-get install ffmpeg time" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/out"

# usage: measure LABEL COMMAND... ; prints "wall cpu peakKB"
measure() {
    local report=$WORK/time.txt
    /usr/bin/time -f "%e %U %S %M" -o "$report" "$@" > /dev/null 2>&1
    awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }' "$report"
}

median() {
    printf "%s\n" "$@" | sort -g | awk '{ v[NR] = $1 } END {
        printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# SIZE/DEGREES: the clip of that size stored with a turn to show it by, as a phone stores one
# filmed upright; both programs turn its pictures upright. SIZEx2: the clip converted at double
# size, where the encoder, not the decoding, is the limit.
KINDS=${KINDS:-640x360 640x360x2 1280x720 1920x1080 1920x1080/90}
printf "%-13s %-8s %10s %10s %10s\n" clip program wall_s cpu_s peak_MB
for kind in $KINDS; do
    size=${kind%/*}
    size=${size%x2}
    morvane_size=() cli_size=()
    if [[ $kind == *x2 ]]; then
        width=${size%x*} height=${size#*x}
        morvane_size=(--size=double) cli_size=(-vf "scale=$((width * 2)):$((height * 2))")
    fi
    clip=$WORK/clip-$size.mp4
    [ -f "$clip" ] || ffmpeg -hide_banner -loglevel error -y \
        -f lavfi -i "testsrc2=size=$size:rate=25" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
        -t "$SECONDS_OF_CLIP" -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$clip"
    if [[ $kind == */* ]]; then
        # The CLI stores a "rotate" tag as the stream's display matrix only when copying.
        turned=$WORK/clip-$size-turned.mp4
        ffmpeg -hide_banner -loglevel error -y -i "$clip" -c copy \
            -metadata:s:v:0 "rotate=${kind#*/}" "$turned"
        clip=$turned
        [ -n "$(ffprobe -v error -select_streams v:0 -show_entries stream_side_data=rotation \
            -of csv=p=0 "$clip")" ] || { echo "no display matrix in $clip" >&2; exit 1; }
    fi
    best_m=(1e9 1e9 0) best_f=(1e9 1e9 0)
    wall_ratios=() cpu_ratios=()
    for ((round = 0; round < ROUNDS; round++)); do
        # Each program goes first in every other round.
        for turn in 0 1; do
            if (( (round + turn) % 2 == 0 )); then
                # The defaults are the Medium profile, stereo, at the original size.
                read -r wall_m cpu_m peak < <(cd "$WORK" && \
                    measure "$BATCH" -q -y --no-watermark --format="$FORMAT" "${morvane_size[@]}" \
                    -o "$WORK/out" "$clip")
                if awk "BEGIN{exit !($wall_m < ${best_m[0]})}"; then best_m=($wall_m $cpu_m $peak); fi
            else
                read -r wall_f cpu_f peak < <(measure ffmpeg -nostdin -y -i "$clip" \
                    "${cli_size[@]}" "${cli_codecs[@]}" -b:a 98304 -ar 44100 -ac 2 \
                    "$WORK/out/ffmpeg.flv")
                if awk "BEGIN{exit !($wall_f < ${best_f[0]})}"; then best_f=($wall_f $cpu_f $peak); fi
            fi
        done
        wall_ratios+=("$(awk "BEGIN{print $wall_m / $wall_f}")")
        cpu_ratios+=("$(awk "BEGIN{print $cpu_m / $cpu_f}")")
    done
    printf "%-13s %-8s %10.2f %10.2f %10.1f\n" "$kind" morvane "${best_m[0]}" "${best_m[1]}" \
        "$(awk "BEGIN{print ${best_m[2]} / 1024}")"
    printf "%-13s %-8s %10.2f %10.2f %10.1f\n" "$kind" ffmpeg "${best_f[0]}" "${best_f[1]}" \
        "$(awk "BEGIN{print ${best_f[2]} / 1024}")"
    printf "%-13s %-8s %10.2f %10.2f %10.2f\n" "$kind" ratio \
        "$(awk "BEGIN{print ${best_m[0]} / ${best_f[0]}}")" \
        "$(awk "BEGIN{print ${best_m[1]} / ${best_f[1]}}")" \
        "$(awk "BEGIN{print ${best_m[2]} / ${best_f[2]}}")"
    printf "%-13s %-8s %10.2f %10.2f\n" "$kind" paired "$(median "${wall_ratios[@]}")" \
        "$(median "${cpu_ratios[@]}")"
done
echo "(best of $ROUNDS rounds of a $SECONDS_OF_CLIP s clip, the two programs alternating;"
echo " paired: the median over the rounds of each round's own ratio)"
