#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application on the built-in
# simulated decoder fleet. Arguments go to the application (see --help).
# --demo gives a first start the fleet's decoders and walls; later starts keep
# whatever the operator changed.
#
# scripts/run.sh --network [ARGS]: the same fleet served over ONVIF by
# tvwall-decoderd on loopback addresses (127.0.0.2 and on), and the application
# on its network back end against it, with a data directory of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
network=0
if [ "${1:-}" = "--network" ]; then
    network=1
    shift
fi
bash "$root/scripts/build.sh"
build=$(cd "$build" && pwd)

# The application runs where this script was started, as an installed one would: the service takes
# the screen-adjustment test pictures from the build's share/tvwall/resources when the current
# directory has no resources/ of its own.
shot=$PWD/tvwall.png

app=("$build/bin/tvwall" --demo)
if [ "$network" = 1 ]; then
    port=${TVWALL_ONVIF_PORT:-18080}
    log=$(mktemp)
    "$build/bin/tvwall-decoderd" --port "$port" >"$log" 2>&1 &
    daemon=$!
    trap 'kill "$daemon" 2>/dev/null || true; rm -f "$log"' EXIT
    for _ in $(seq 50); do
        grep -q '^listening' "$log" && break
        kill -0 "$daemon" 2>/dev/null || { cat "$log" >&2; exit 1; }
        sleep 0.1
    done
    # "listening FIRST-LAST port P discovery D"
    read -r _ range _ port _ discovery < <(grep '^listening' "$log")
    echo "tvwall-decoderd serves $range on port $port (discovery $discovery)"
    app+=(--backend onvif --discover "$range" --onvif-port "$port" --discovery-port "$discovery"
          --data-dir "${TVWALL_NETWORK_DATA_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/tvwall/network}")
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: rendering the window to tvwall.png under a virtual X server instead."
    xvfb-run -a -s "-screen 0 1280x800x24" "${app[@]}" --screenshot "$shot" "$@"
    exit
fi
"${app[@]}" "$@"
