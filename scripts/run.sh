#!/usr/bin/env bash
# Sets everything up, builds, and starts Morvane: converts what the settings name, as pressing
# "Convert!" does (see README.md, "Converting from the command line").
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages >&2
build build >&2
exec "$ROOT/build/tools/morvane-batch"
