#!/usr/bin/env bash
# Sets everything up, builds, and starts the program.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages
build build
echo
echo "Built everything in $ROOT/build. There is no program to start yet."
