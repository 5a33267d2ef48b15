#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application on the built-in
# simulated decoder fleet. Arguments go to the application (see --help).
# --demo gives a first start the fleet's decoders and walls; later starts keep
# whatever the operator changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
build=$(cd "$build" && pwd)

# The application runs in its own folder, where the build puts the screen-adjustment test pictures
# (resources/*.jpg, looked up under the current directory); paths given relative to where this script
# was started are made absolute first.
args=()
expect_path=0
for arg in "$@"; do
    if [ "$expect_path" = 1 ] && [[ "$arg" != /* ]]; then
        arg=$PWD/$arg
    fi
    expect_path=0
    case "$arg" in
    --data-dir | --fleet | --screenshot) expect_path=1 ;;
    --data-dir=[!/]* | --fleet=[!/]* | --screenshot=[!/]*) arg=${arg%%=*}=$PWD/${arg#*=} ;;
    esac
    args+=("$arg")
done
set -- "${args[@]+"${args[@]}"}"
shot=$PWD/tvwall.png
cd "$build/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: rendering the window to tvwall.png under a virtual X server instead."
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$build/bin/tvwall" --demo --screenshot "$shot" "$@"
fi
exec "$build/bin/tvwall" --demo "$@"
