# Shared by the scripts: installs what the build needs and builds into a folder.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

PACKAGES=(
    build-essential cmake pkg-config ccache help2man
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev
    qt6-base-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    librsvg2-bin dpkg-dev file desktop-file-utils appstream man-db dbus-daemon
)

install_packages() {
    local missing=() package
    for package in "${PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
}

# build FOLDER [cmake options...]: a Release build unless the options say otherwise.
build() {
    local folder=$1
    shift
    cmake -S "$ROOT" -B "$ROOT/$folder" -DCMAKE_BUILD_TYPE=Release "$@"
    cmake --build "$ROOT/$folder" -j"$JOBS"
}

# build_programs FOLDER: the same configuration, but only the window and morvane-batch.
build_programs() {
    cmake -S "$ROOT" -B "$ROOT/$1" -DCMAKE_BUILD_TYPE=Release
    cmake --build "$ROOT/$1" -j"$JOBS" --target morvane morvane-batch
}
