#!/usr/bin/env bash
# Regenerates the SVG sources of the images and renders them to the committed PNGs, and the
# application's icon (packaging/icons/org.example.tvwall.svg, drawn by hand) to its theme sizes.
# The build itself never runs this: it only needs the PNGs. Requires python3 and
# rsvg-convert (Debian package librsvg2-bin).
#
# Each SVG is drawn at the size of the widget that shows it. It is rendered twice:
# NAME.png at that size and NAME@2x.png at twice the size. Both are listed in the
# resource description; wherever Qt loads an image by name (style sheets, QIcon) it
# takes the @2x file on a screen scaled to 200 % or more.
#
#   scripts/render-icons.sh            regenerate the SVGs, then render every one
#   scripts/render-icons.sh --no-gen   render the SVGs as they are (after editing one by hand)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if ! command -v rsvg-convert >/dev/null; then
    echo "rsvg-convert not found: apt-get install librsvg2-bin" >&2
    exit 1
fi

if [[ "${1:-}" != "--no-gen" ]]; then
    python3 "$root/scripts/icons/make_svgs.py" "$root"
fi

# Writes the resource description listing every rendered PNG under the given prefix.
write_qrc() {
    local qrc=$1 prefix=$2 dir=$3
    {
        echo "<RCC>"
        echo "    <qresource prefix=\"$prefix\">"
        local png
        for png in "$dir"/*.png; do
            echo "        <file>images/$(basename "$png")</file>"
        done
        echo "    </qresource>"
        echo "</RCC>"
    } >"$qrc"
}

render_dir() {
    local src=$1 dst=$2
    mkdir -p "$dst"
    # A PNG without an SVG would be a stale image nobody can regenerate.
    local png name
    for png in "$dst"/*.png; do
        [[ -e "$png" ]] || continue
        name=$(basename "${png%.png}")
        [[ -e "$src/${name%@2x}.svg" ]] || rm -f "$png"
    done
    local svg count=0
    for svg in "$src"/*.svg; do
        name=$(basename "${svg%.svg}")
        rsvg-convert --format=png --output="$dst/$name.png" "$svg"
        rsvg-convert --format=png --zoom=2 --output="$dst/$name@2x.png" "$svg"
        count=$((count + 1))
    done
    echo "rendered $count images (and their @2x) into ${dst#"$root"/}"
}

# The application's icon in the desktop's icon theme: the SVG itself and a PNG per size the
# hicolor theme has, for desktops that do not draw SVG icons.
render_app_icon() {
    local svg=$root/packaging/icons/org.example.tvwall.svg size
    for size in 16 22 24 32 48 64 128 256; do
        mkdir -p "$root/packaging/icons/hicolor/${size}x${size}/apps"
        rsvg-convert --format=png --width="$size" --height="$size" \
            --output="$root/packaging/icons/hicolor/${size}x${size}/apps/org.example.tvwall.png" "$svg"
    done
    echo "rendered the application icon into packaging/icons/hicolor"
}

export LC_ALL=C # a stable file order in the resource descriptions
render_dir "$root/matrix_config/resources/svg" "$root/matrix_config/resources/images"
render_dir "$root/platform/host_framework/resources/svg" "$root/platform/host_framework/resources/images"
write_qrc "$root/matrix_config/resources/matrixconfig.qrc" /matrixConfig_images "$root/matrix_config/resources/images"
write_qrc "$root/platform/host_framework/resources/host.qrc" /images "$root/platform/host_framework/resources/images"
render_app_icon
