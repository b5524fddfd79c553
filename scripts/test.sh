#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: once in a plain Release build, whose Debian
# package is then made and checked, again under AddressSanitizer and UndefinedBehaviorSanitizer,
# again under ThreadSanitizer (any report fails the run), and finally a short run of the
# decoding graph's fuzzer.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages clang libclang-rt-14-dev flvmeta
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

build build
(cd "$ROOT/build" && ctest --output-on-failure -j"$JOBS")
bash "$ROOT/scripts/check_package.sh" build

build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_SANITIZE=address,undefined \
    -DMORVANE_BUILD_BENCH=OFF
(cd "$ROOT/build-asan" &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j"$JOBS")

build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_SANITIZE=thread \
    -DMORVANE_BUILD_BENCH=OFF
(cd "$ROOT/build-tsan" &&
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --output-on-failure -j"$JOBS")

CC=clang CXX=clang++ build build-fuzz -DMORVANE_FUZZ=ON
seeds=$ROOT/build-fuzz/seeds
corpus=$ROOT/build-fuzz/corpus
rm -rf "$seeds" && mkdir -p "$corpus"
"$ROOT/build/tests/make_fuzz_seeds" "$seeds" > /dev/null
(cd "$ROOT/build-fuzz" &&
    ./tests/source/fuzz/decoding_graph_fuzz -max_total_time="$FUZZ_SECONDS" -timeout=30 \
        -rss_limit_mb=4096 -print_final_stats=1 "$corpus" "$seeds" 2>&1 | tail -n 4)

echo "All tests passed."
