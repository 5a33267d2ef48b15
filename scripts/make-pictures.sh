#!/usr/bin/env bash
# Renders the README's pictures in every language the application has, under a virtual
# X server, into docs/pictures/<language>/:
#   page.png  the application's window after start-up on the demo decoders (tvwall --screenshot)
#   *.png     whatever tst_pageshots renders: the page in its states and each dialog it shows
# Each language's folder is emptied first, so a picture that is no longer made goes away.
#
#   scripts/make-pictures.sh                   the README's pictures, at 100 %
#   scripts/make-pictures.sh --scale 2 DIR     the same at 200 % into DIR/<language>/, to look at
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
scale=1
out=$root/docs/pictures
while [ $# -gt 0 ]; do
    case $1 in
        --scale) scale=$2; shift 2 ;;
        -h | --help) sed -n '2,10p' "$0"; exit 0 ;;
        *) out=$1; shift ;;
    esac
done

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target tvwall tst_pageshots translations >/dev/null

# English, the sources' own language, and every language the module is translated into.
languages=(en)
for ts in "$root"/translations/matrix_config_*.ts; do
    [ -e "$ts" ] || continue
    name=$(basename "$ts" .ts)
    languages+=("${name#matrix_config_}")
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Room for the window at 200 %.
xvfb=(xvfb-run -a -s "-screen 0 2800x1800x24")
export QT_SCALE_FACTOR=$scale
for lang in "${languages[@]}"; do
    dir=$out/$lang
    rm -rf "$dir"
    mkdir -p "$dir"
    data=$work/$lang
    if ! TVWALL_KEY_FILE=$data/store.key "${xvfb[@]}" "$build/bin/tvwall" --lang "$lang" --demo \
        --data-dir "$data" --screenshot "$dir/page.png" >"$work/log" 2>&1; then
        cat "$work/log" >&2
        exit 1
    fi
    if ! TVWALL_LANG=$lang TVWALL_SHOT_DIR=$dir "${xvfb[@]}" "$build/bin/tst_pageshots" >"$work/log" 2>&1; then
        cat "$work/log" >&2
        exit 1
    fi
    echo "$lang: $(find "$dir" -name '*.png' | wc -l) pictures in $dir"
done
