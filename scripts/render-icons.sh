#!/usr/bin/env bash
# Regenerates the SVG sources of the images and renders them to the committed PNGs.
# The build itself never runs this: it only needs the PNGs. Requires python3 and
# rsvg-convert (Debian package librsvg2-bin).
#
# Each SVG states its output size in its width/height attributes (twice the widget
# size for images that Qt scales, exactly the widget size for images shown 1:1), so
# rsvg-convert renders it at its own size.
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
    local png
    for png in "$dst"/*.png; do
        [[ -e "$png" ]] || continue
        [[ -e "$src/$(basename "${png%.png}").svg" ]] || rm -f "$png"
    done
    local svg count=0
    for svg in "$src"/*.svg; do
        rsvg-convert --format=png --output="$dst/$(basename "${svg%.svg}").png" "$svg"
        count=$((count + 1))
    done
    echo "rendered $count images into ${dst#"$root"/}"
}

export LC_ALL=C # a stable file order in the resource descriptions
render_dir "$root/matrix_config/resources/svg" "$root/matrix_config/resources/images"
render_dir "$root/platform/host_framework/resources/svg" "$root/platform/host_framework/resources/images"
write_qrc "$root/matrix_config/resources/matrixconfig.qrc" /matrixConfig_images "$root/matrix_config/resources/images"
write_qrc "$root/platform/host_framework/resources/host.qrc" /images "$root/platform/host_framework/resources/images"
