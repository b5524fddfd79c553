#!/usr/bin/env bash
# What HDR, anamorphic and interlaced sources cost and how close their outputs come to the clean
# picture, against their plain twins and the ffmpeg CLI. For each case it makes, from one clean
# 8-bit test picture (testsrc2, 25 frames a second, SECONDS long), a source of that kind and its
# plain twin (same content, same size, square pixels, progressive, SDR), converts both with
# morvane-batch at the Medium profile (ROUNDS times, alternating), and prints the median wall
# time of each and their ratio, then the luma PSNR against the clean picture of Morvane's
# output and of the CLI's (FLV1 at the same rate and key frame interval) with the matching
# filter: zscale and tonemap=mobius for HDR, scale for the aspect ratio, bwdif for interlaced.
#   bench/real_footage.sh [SECONDS] [ROUNDS]
# Needs a built tree (build/) and the ffmpeg and time packages.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_OF_CLIP=${1:-10}
ROUNDS=${2:-3}
BATCH=$ROOT/build/tools/morvane-batch
[ -x "$BATCH" ] || { echo "build first: $BATCH is missing" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
x265=(-c:v libx265 -x265-params log-level=error -crf 16)
bt709="scale=out_color_matrix=bt709:out_range=tv,format=yuv420p,setparams=color_primaries=bt709:color_trc=bt709:colorspace=bt709:range=tv"
rgb() { echo "testsrc2=size=$1:rate=25:duration=$SECONDS_OF_CLIP"; }

# make NAME SIZE FILTERS ENCODER...: a source from the clean picture of SIZE.
make_clip() {
    local name=$1 size=$2 filters=$3
    shift 3
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$(rgb "$size")" -vf "$filters" "$@" -an \
        "$WORK/$name.mkv"
}
wall() {  # the median wall time of converting $1, alternating with $2 (printed as "a b")
    local a=() b=() i
    for ((i = 0; i < ROUNDS; i++)); do
        for f in "$1" "$2"; do
            /usr/bin/time -f "%e" -o "$WORK/t" "$BATCH" -q -y --no-watermark -o "$WORK/out" \
                "$WORK/$f.mkv" > /dev/null 2>&1
            [ "$f" = "$1" ] && a+=("$(cat "$WORK/t")") || b+=("$(cat "$WORK/t")")
        done
    done
    printf "%s\n" "${a[@]}" | sort -g | awk '{v[NR]=$1} END {printf "%s ", v[int((NR+1)/2)]}'
    printf "%s\n" "${b[@]}" | sort -g | awk '{v[NR]=$1} END {printf "%s", v[int((NR+1)/2)]}'
}
psnr() {  # luma PSNR of $1 against the clean picture of size $2
    ffmpeg -hide_banner -i "$1" -f lavfi -i "$(rgb "$2")" \
        -lavfi "[0]scale=${2/x/:}[a];[1]format=yuv420p[b];[a][b]psnr" -f null - 2>&1 |
        grep -o 'y:[0-9.]*' | cut -d: -f2
}
cli() {  # the CLI's FLV1 of source $1 through filters $2
    ffmpeg -hide_banner -loglevel error -y -i "$WORK/$1.mkv" -vf "$2" -c:v flv1 -b:v 409600 \
        -bt 4096 -g 25 -an "$WORK/cli.flv"
    echo "$WORK/cli.flv"
}
# zimg's HLG is BT.2100's own only with agamma=0, on both sides: its default is an approximation.
tonemap="zscale=t=linear:npl=100:agamma=0,format=gbrpf32le,zscale=p=bt709,tonemap=mobius:desat=0"
tonemap+=",zscale=t=bt709:m=bt709:r=tv,zscale=m=170m,format=yuv420p"

printf "%-22s %8s %8s %6s %9s %9s\n" case wall_s twin_s ratio morvane_dB cli_dB
report() {  # NAME TWIN CLEAN_SIZE CLI_FILTERS
    read -r t1 t2 <<< "$(wall "$1" "$2")"
    "$BATCH" -q -y --no-watermark -o "$WORK/out" "$WORK/$1.mkv" > /dev/null 2>&1
    printf "%-22s %8s %8s %6.2f %9.2f %9.2f\n" "$1" "$t1" "$t2" "$(echo "$t1 / $t2" | bc -l)" \
        "$(psnr "$WORK/out/$1.flv" "$3")" "$(psnr "$(cli "$1" "$4")" "$3")"
}
for size in 1280x720 1920x1080; do
    make_clip "sdr-$size" "$size" "$bt709" "${x265[@]}"
    for transfer in smpte2084 arib-std-b67; do
        make_clip "${transfer%%-*}-$size" "$size" \
            "$bt709,zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt2020:t=$transfer:m=bt2020nc:r=tv:agamma=0,format=yuv420p10le" \
            "${x265[@]}" -x265-params "log-level=error:colorprim=bt2020:transfer=$transfer:colormatrix=bt2020nc"
        report "${transfer%%-*}-$size" "sdr-$size" "$size" "$tonemap"
    done
done
make_clip square-1024x576 1024x576 format=yuv420p -c:v mpeg2video -q:v 2
make_clip anamorphic-720x576 1024x576 "scale=720:576,setsar=64/45" -c:v mpeg2video -q:v 2
report anamorphic-720x576 square-1024x576 1024x576 "scale=1024:576"
# Fields of a clip at 50 pictures a second, woven two by two: what the clean 25 frames show at
# the first field of each.
make_clip progressive-720x576 720x576 "fps=25" -c:v mpeg2video -q:v 2
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=720x576:rate=50:duration=$SECONDS_OF_CLIP" \
    -vf "interlace=scan=tff,setfield=tff" -c:v mpeg2video -q:v 2 -flags +ilme+ildct -an \
    "$WORK/interlaced-720x576.mkv"
report interlaced-720x576 progressive-720x576 720x576 "bwdif=mode=send_frame"
