#!/usr/bin/env bash
# Fuzzes the stored decoder and TV-wall lists and the fleet file with clang's libFuzzer for
# SECONDS (default 60): CI runs it for a bounded time, run it longer on demand
# (scripts/fuzz.sh 3600). Builds into build-fuzz/ (or $FUZZ_BUILD_DIR); the corpus grows in
# build-fuzz/corpus from the seeds in fuzz/seeds and the fleet the application ships.
#
# It stops with an error on a crash, a hang (an input running over 10 s), a leak, undefined
# behaviour, or a list file that the store lost; the input is left as build-fuzz/crash-* (or
# timeout-*, leak-*) and replays with: build-fuzz/bin/store_fuzzer FILE
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
bash "$root/scripts/deps.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVWALL_FUZZ=ON \
    "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target store_fuzzer

seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds" "$build/corpus"
cp "$root"/fuzz/seeds/* "$seeds/"
{ printf '\x02'; cat "$root/platform/decoder_service/defaultfleet.json"; } >"$seeds/fleet-default"

# Leak stacks are unwound in full: the suppressions name frames deep inside Qt.
export ASAN_OPTIONS=fast_unwind_on_malloc=0
export LSAN_OPTIONS=suppressions=$root/.ci/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
./bin/store_fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    corpus "$seeds"
echo "corpus: $(find corpus -type f | wc -l) inputs"
