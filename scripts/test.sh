#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: once in a plain build, once more under
# AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails the run.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages

build build
(cd "$ROOT/build" && ctest --output-on-failure -j"$JOBS")

build build-asan -DMORVANE_SANITIZE=address,undefined
(cd "$ROOT/build-asan" &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j"$JOBS")

echo "All tests passed."
