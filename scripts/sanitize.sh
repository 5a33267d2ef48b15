#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ (or
# $ASAN_BUILD_DIR) and runs the whole suite there. Arguments go to ctest.
#
# Leaks are reported, except the ones listed in .ci/lsan.supp: each lies wholly inside Qt or a
# system library and says why it is there. Undefined behaviour stops the test that meets it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}
bash "$root/scripts/deps.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1 with line tables only: what the sanitizers need for useful reports, at less compile time.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DTVWALL_SANITIZE=ON \
    "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
# Leak stacks are unwound in full: the suppressions name frames deep inside Qt.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:check_initialization_order=1:strict_init_order=1:fast_unwind_on_malloc=0
export LSAN_OPTIONS=suppressions=$root/.ci/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest --output-on-failure -j2 "$@"
