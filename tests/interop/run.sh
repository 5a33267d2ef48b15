#!/usr/bin/env bash
# Runs the npm ONVIF clients (clients.js) against a tvwall-decoderd of one decoder on 127.0.0.71.
# Usage: run.sh TVWALL_DECODERD [--standard-only]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
daemon=$1
shift
[ -d "$here/node_modules/onvif" ] || (cd "$here" && npm ci --no-audit --no-fund --ignore-scripts >/dev/null)
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cat >"$work/fleet.json" <<'JSON'
{"decoders": [{"ip": "192.0.2.71", "deviceId": "TVD-71-20240101AA", "type": 3, "channels": 4,
  "password": "Interop@2024", "dns": "192.0.2.53", "gateway": "192.0.2.1",
  "daemon": {"address": "127.0.0.71"}}]}
JSON
"$daemon" --fleet "$work/fleet.json" "$@" >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 100); do
    grep -q '^listening' "$work/out" && break
    sleep 0.1
done
port=$(sed -n 's/^listening .* port \([0-9]*\) .*/\1/p' "$work/out")
[ -n "$port" ] || { cat "$work/err"; exit 1; }
node "$here/clients.js" 127.0.0.71 "$port" admin Interop@2024
