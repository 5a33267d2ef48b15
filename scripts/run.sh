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
