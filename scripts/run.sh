#!/usr/bin/env bash
# Sets everything up, builds the programs (not the tests), and starts Morvane's window. Without a display it says so and
# how to convert without a window (build/tools/morvane-batch).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages >&2
build_programs build >&2
exec "$ROOT/build/ui/morvane"
