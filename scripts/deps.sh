#!/usr/bin/env bash
# Installs the Debian packages the build, the application and the tests need,
# but only those that are missing, so a second run costs nothing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qtbase5-dev qttools5-dev qttools5-dev-tools libqt5svg5-dev libqt5x11extras5-dev libxcb1-dev
    libsodium-dev libkf5archive-dev
    # the ONVIF client's HTTP: whole-request deadline, header callback, Digest and pinned TLS keys
    libcurl4-openssl-dev
    # the client's TLS test makes its devices' certificates at test time
    openssl
    # the manual pages are made from the programs' --help
    help2man
    # the network back end's interoperability test talks to the daemon through Debian's ONVIF client library
    libonvif-dev libxml2-dev
    xvfb xauth fonts-dejavu-core
    # Qt's own Chinese texts (standard buttons and dialogs) and a face for Chinese texts.
    qttranslations5-l10n fonts-noto-cjk
    # the dialog mask test runs a window manager and a compositor on the virtual X server
    openbox xcompmgr
    # CI's fuzz target: clang with libFuzzer and the sanitizers' runtime
    clang libclang-rt-14-dev
)

# node and npm run the npm ONVIF clients of the interoperability test; a machine may have its own node already
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
