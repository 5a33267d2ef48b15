#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application on the built-in
# simulated decoder fleet. Arguments go to the application (see --help).
# --demo gives a first start the fleet's decoders and walls; later starts keep
# whatever the operator changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: rendering the window to tvwall.png under a virtual X server instead."
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$build/bin/tvwall" --demo --screenshot tvwall.png "$@"
fi
exec "$build/bin/tvwall" --demo "$@"
