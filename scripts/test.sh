#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: once in a plain Release build, whose Debian
# package is then made and checked, again under AddressSanitizer and UndefinedBehaviorSanitizer,
# again under ThreadSanitizer (any report fails the run), and finally a short run of the
# fuzzers (the decoding graph, the settings file, the command line).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages clang libclang-rt-14-dev flvmeta qemu-user at-spi2-core python3-pyatspi xvfb xauth
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

# The settings file and the command line, from real settings files and argument lists (and a
# line of 100 KB); each for as long as the decoding graph.
settings_seeds=$ROOT/build-fuzz/settings-seeds
argument_seeds=$ROOT/build-fuzz/command-line-seeds
rm -rf "$settings_seeds" "$argument_seeds"
mkdir -p "$settings_seeds" "$argument_seeds" "$ROOT/build-fuzz/settings-corpus" \
    "$ROOT/build-fuzz/command-line-corpus"
cp "$ROOT"/tests/settings/fuzz/seeds/*.reg "$settings_seeds"
cp "$ROOT"/tests/settings/fuzz/seeds/*.cli "$argument_seeds"
{ printf '"Source"="'; head -c 100000 /dev/zero | tr '\0' a; printf '"\n'; } \
    > "$settings_seeds/long-line.reg"
(cd "$ROOT/build-fuzz" &&
    ./tests/settings/fuzz/settings_file_fuzz -max_total_time="$FUZZ_SECONDS" -timeout=60 \
        -max_len=131072 -print_final_stats=1 settings-corpus "$settings_seeds" 2>&1 | tail -n 4 &&
    ./tests/settings/fuzz/command_line_fuzz -max_total_time="$FUZZ_SECONDS" -timeout=60 \
        -print_final_stats=1 command-line-corpus "$argument_seeds" 2>&1 | tail -n 4)

echo "All tests passed."
