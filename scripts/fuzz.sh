#!/usr/bin/env bash
# Fuzzes with clang's libFuzzer: the stored decoder and TV-wall lists and the fleet file (store_fuzzer) for
# SECONDS (default 60), then what the decoder daemon reads from a peer (request_fuzzer: HTTP requests,
# SOAP calls, discovery probes) and what the client reads from a device (reply_fuzzer: SOAP replies and
# faults, probe matches) for NETWORK_SECONDS each (default 60). CI runs them for a bounded time; run
# them longer on demand (scripts/fuzz.sh 3600 3600). Builds into build-fuzz/ (or $FUZZ_BUILD_DIR); each
# target's corpus grows in build-fuzz/corpus/TARGET from the seeds in fuzz/seeds/TARGET (the store's
# also from the fleet the application ships).
#
# It stops with an error on a crash, a hang (an input running over 10 s, 5 s for the network readers), a
# leak, undefined behaviour, a list file that the store lost, or a document the XML reader accepted
# beyond its limits; the input is left as build-fuzz/crash-* (or timeout-*, leak-*) and replays with:
# build-fuzz/bin/TARGET FILE
set -euo pipefail
seconds=${1:-60}
network_seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
bash "$root/scripts/deps.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVWALL_FUZZ=ON \
    "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target store_fuzzer request_fuzzer reply_fuzzer

# Leak stacks are unwound in full: the suppressions name frames deep inside Qt.
export ASAN_OPTIONS=fast_unwind_on_malloc=0
export LSAN_OPTIONS=suppressions=$root/.ci/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"

# fuzz TARGET SECONDS [libFuzzer options]
fuzz() {
    local target=$1 time=$2
    shift 2
    local seeds=$build/seeds/$target
    rm -rf "$seeds"
    mkdir -p "$seeds" "corpus/$target"
    cp "$root/fuzz/seeds/$target"/* "$seeds/"
    if [ "$target" = store_fuzzer ]; then
        { printf '\x02'; cat "$root/platform/decoder_service/defaultfleet.json"; } >"$seeds/fleet-default"
    fi
    echo "== $target for $time s"
    "./bin/$target" -max_total_time="$time" -rss_limit_mb=2048 -print_final_stats=1 "$@" "corpus/$target" "$seeds"
    echo "$target corpus: $(find "corpus/$target" -type f | wc -l) inputs"
}

fuzz store_fuzzer "$seconds" -timeout=10
# The network readers allocate at every element: unwinding each allocation in full would cost them four runs
# in five. Their allocations are Qt's strings and containers, freed with the input; no suppression is needed.
export ASAN_OPTIONS=fast_unwind_on_malloc=1
# Inputs up to 16 KiB, and the dictionary's pieces of XML, reach every count limit of the XML reader (a
# program of a few bytes makes a document at any of them); reading one takes milliseconds, so five seconds
# is a hang.
fuzz request_fuzzer "$network_seconds" -timeout=5 -max_len=16384 -dict="$root/fuzz/xml.dict"
fuzz reply_fuzzer "$network_seconds" -timeout=5 -max_len=16384 -dict="$root/fuzz/xml.dict"
