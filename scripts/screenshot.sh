#!/usr/bin/env bash
# Takes docs/screenshot.png: Morvane's window under a virtual X server, converting a folder of
# generated clips. Driven like a user: the settings name the folder, a mouse click presses
# "Convert!", and the picture is taken while the second file converts.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages xvfb xauth xdotool imagemagick ffmpeg >&2
build_programs build >&2

work=$(mktemp -d /tmp/morvane-demo.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/clips" "$work/flv" "$work/config/morvane" "$work/runtime"
chmod 700 "$work/runtime"
for clip in beach:20 holiday:60 party:120; do
    ffmpeg -v error -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=${clip#*:}" \
        -f lavfi -i "sine=frequency=440:duration=${clip#*:}" -c:v libx264 -preset ultrafast \
        -pix_fmt yuv420p -c:a aac -shortest "$work/clips/${clip%:*}.mp4"
done

dword() { printf '"%s"=dword:%08x\n' "$1" "$2"; }
{
    dword "Mode" 1
    dword "Size Mode" 2
    dword "Width" 320
    dword "Height" 240
    dword "Profile" 2
    dword "Video Quality" 400
    dword "Audio Quality" 96
    dword "Custom Video Quality" 400
    dword "Custom Audio Quality" 96
    dword "Audio Mode" 1
    dword "Custom Audio Mode" 1
    echo "\"Source\"=\"$work/clips\""
    echo "\"Source Directory\"=\"$work/clips\""
    echo "\"Destination Path\"=\"$work/flv\""
} > "$work/config/morvane/settings.reg"

export ROOT work
cd "$work"
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$ROOT/build/ui/morvane" &
    window=$(xdotool search --sync --onlyvisible --name "Morvane" | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # The layout keeps the template'"'"'s proportions: the buttons sit where it puts them.
    press() { xdotool mousemove --window "$window" $((WIDTH * $1 / 398)) $((HEIGHT * 316 / 330)) click 1; }
    press 33    # Convert!
    # Once the first file is done, the second is under way.
    until compgen -G "$work/flv/*.flv" > /dev/null; do sleep 0.2; done
    sleep 3
    import -window "$window" "$ROOT/docs/screenshot.png"
    press 365   # Exit
    wait'
echo "$ROOT/docs/screenshot.png"
