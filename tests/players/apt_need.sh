# Sourced. PLAYER_PACKAGES: what check_playback.sh needs from Debian (h264parse is in -bad,
# flvdemux and aacparse in -good, avdec_* in -libav).
PLAYER_PACKAGES=(chromium gstreamer1.0-tools gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    gstreamer1.0-libav)

# apt_need PACKAGE...: installs those of the Debian packages that are missing.
apt_need() {
    local missing=() p sudo=
    for p in "$@"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    [ "$(id -u)" = 0 ] || sudo=sudo
    echo "installing ${missing[*]}" >&2
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
