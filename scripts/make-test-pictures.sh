#!/usr/bin/env bash
# Makes the five solid-colour test pictures that the screen-adjustment panel
# shows on a wall, as committed under apps/tvwall/resources/. The build copies
# them next to the application; it never runs this. Requires python3 and cjpeg
# (Debian package libjpeg-turbo-progs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/apps/tvwall/resources

if ! command -v cjpeg >/dev/null; then
    echo "cjpeg not found: apt-get install libjpeg-turbo-progs" >&2
    exit 1
fi

mkdir -p "$out"
# One full-HD frame of a single colour, as a binary PPM on standard output.
frame() {
    python3 -c 'import sys
w, h = 1920, 1080
r, g, b = (int(v) for v in sys.argv[1:4])
sys.stdout.buffer.write(b"P6\n%d %d\n255\n" % (w, h) + bytes((r, g, b)) * (w * h))' "$@"
}

while read -r name r g b; do
    frame "$r" "$g" "$b" | cjpeg -quality 90 -optimize >"$out/$name.jpg"
done <<'COLOURS'
red 255 0 0
green 0 255 0
blue 0 0 255
black 0 0 0
white 255 255 255
COLOURS
echo "made 5 pictures in ${out#"$root"/}"
