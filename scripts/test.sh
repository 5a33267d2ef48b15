#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
# The npm ONVIF clients that the interoperability test runs, at the versions the lock file pins.
(cd "$root/tests/interop" && npm ci --no-audit --no-fund --ignore-scripts >/dev/null)
cd "$build"
ctest --output-on-failure -j2 "$@"
