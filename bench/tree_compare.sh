#!/usr/bin/env bash
# Converts a tree of short clips in sub-folders with `morvane-batch -r` and with the ffmpeg CLI
# run on each file by `find ... -exec` into the same mirrored folders, at the same settings, and
# prints the wall and CPU time of each and Morvane's resident memory over its run (sampled
# every half second), which must stay flat over the run.
#   bench/tree_compare.sh [FOLDERS] [FILES_PER_FOLDER] [SECONDS_PER_CLIP]
# Defaults: 100 folders of 20 one-second clips (2,000 files). Needs a built tree (build/) and
# the ffmpeg and time packages.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FOLDERS=${1:-100}
PER_FOLDER=${2:-20}
CLIP_SECONDS=${3:-1}
BATCH=$ROOT/build/tools/morvane-batch
[ -x "$BATCH" ] || { echo "build first: $BATCH is missing" >&2; exit 1; }
command -v ffmpeg > /dev/null && [ -x /usr/bin/time ] || {
    echo "needs: apt-get install ffmpeg time" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000" -t "$CLIP_SECONDS" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$WORK/clip.mp4"
for ((folder = 0; folder < FOLDERS; folder++)); do
    mkdir -p "$WORK/tree/$((folder % 10))/folder-$folder"
    for ((file = 0; file < PER_FOLDER; file++)); do
        cp "$WORK/clip.mp4" "$WORK/tree/$((folder % 10))/folder-$folder/clip-$file.mp4"
    done
done
files=$((FOLDERS * PER_FOLDER))

# Morvane, its memory sampled while it runs.
: > "$WORK/rss.txt"
/usr/bin/time -f "%e %U %S %M" -o "$WORK/morvane.time" \
    "$BATCH" -r -q --no-watermark -o "$WORK/morvane" "$WORK/tree" > /dev/null 2>&1 &
runner=$!
while kill -0 "$runner" 2> /dev/null; do
    child=$(pgrep -P "$runner" -x morvane-batch || true)
    [ -n "$child" ] && awk '/VmRSS/ { print $2 }' "/proc/$child/status" 2> /dev/null \
        >> "$WORK/rss.txt" || true
    sleep 0.5
done
wait "$runner" || true
made=$(find "$WORK/morvane" -name '*.flv' | wc -l)

# The CLI, one process a file, into the same mirrored folders.
cli() {
    local source=$1 out=$2/${1#"$3"/}
    mkdir -p "$(dirname "$out")"
    ffmpeg -nostdin -loglevel error -y -i "$source" -c:v flv1 -b:v 409600 -g 25 \
        -c:a libmp3lame -b:a 98304 -ar 44100 -ac 2 "${out%.*}.flv"
}
export -f cli
/usr/bin/time -f "%e %U %S %M" -o "$WORK/cli.time" \
    find "$WORK/tree" -type f -name '*.mp4' \
    -exec bash -c 'cli "$0" "$1" "$2"' {} "$WORK/cli" "$WORK/tree" \; > /dev/null 2>&1
made_cli=$(find "$WORK/cli" -name '*.flv' | wc -l)

read -r wall_m user_m sys_m peak_m < "$WORK/morvane.time"
read -r wall_c user_c sys_c _ < "$WORK/cli.time"
printf "%-8s %8s %8s %8s\n" program files wall_s cpu_s
printf "%-8s %8d %8.1f %8.1f\n" morvane "$made" "$wall_m" "$(awk "BEGIN{print $user_m + $sys_m}")"
printf "%-8s %8d %8.1f %8.1f\n" ffmpeg "$made_cli" "$wall_c" "$(awk "BEGIN{print $user_c + $sys_c}")"
printf "ratio             %8.2f %8.2f\n" "$(awk "BEGIN{print $wall_m / $wall_c}")" \
    "$(awk "BEGIN{print ($user_m + $sys_m) / ($user_c + $sys_c)}")"
# Memory at each tenth of the run: flat when the tree's size does not weigh on it.
awk -v peak="$peak_m" '{ v[NR] = $1 } END {
    printf "morvane resident MB at each tenth of the run:";
    for (i = 1; i <= 10; i++) printf " %.0f", v[int(NR * i / 10)] / 1024;
    printf "\npeak %.0f MB (%d samples)\n", peak / 1024, NR }' "$WORK/rss.txt"
echo "($files clips of $CLIP_SECONDS s in $FOLDERS folders, 640x360; Morvane's Medium profile"
echo " against the CLI's flv1 at the same rates)"
