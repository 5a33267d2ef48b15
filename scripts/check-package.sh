#!/usr/bin/env bash
# Makes the Debian package from a finished build (build/, or $BUILD_DIR), checks it with Debian's
# tools and tries it as an administrator would:
#   1. cpack -G DEB; lintian (no error), desktop-file-validate and appstreamcli (nothing to report);
#   2. apt-get install ./tvwall_*.deb;
#   3. the installed tvwall renders its page (English, then Chinese) from an unrelated folder with a
#      fresh home under a virtual X server; the picture must be the page: 1280 x 800, not near-uniform,
#      different in the two languages, and the very picture the tested build renders;
#   4. the installed tvwall-decoderd serves its fleet on loopback and the installed tvwall logs in to
#      it over ONVIF (--backend onvif), then quits on SIGTERM as it should;
#   5. apt-get purge, and no file the package had is left.
# Installs the checking tools it needs (lintian, desktop-file-utils, appstream, file) when they are
# missing, with apt-get as root or through sudo. CI runs it after the tests, on their build. The
# package stays in the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${BUILD_DIR:-$root/build}" && pwd)
app_id=org.example.tvwall
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
apt=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)

fail() {
    echo "check-package: $*" >&2
    exit 1
}
step() { echo "-- $* ($((SECONDS - started)) s)"; }
started=$SECONDS

tools=(lintian desktop-file-utils appstream file)
missing=()
for p in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${apt[@]}" update -qq
    "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

work=$(mktemp -d /tmp/tvwall-package-XXXXXX)
installed=0
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]+"${pids[@]}"}"; do
        kill "$pid" 2>/dev/null || true
    done
    # A failed check leaves no package behind on the machine.
    if [ "$installed" = 1 ]; then
        "${apt[@]}" purge -y -qq tvwall >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# A fresh home and an unrelated folder for each run, nothing of the build or of the caller's session:
# sets the command prefix as_operator (env replaces itself with the program, so $! is the program's).
operator() {
    local name=$1
    mkdir -p "$work/home-$name" "$work/unrelated-$name"
    mkdir -p -m 700 "$work/runtime-$name"
    as_operator=(env -i -C "$work/unrelated-$name" HOME="$work/home-$name" PATH=/usr/local/bin:/usr/bin:/bin
                 LANG=C.UTF-8 XDG_RUNTIME_DIR="$work/runtime-$name")
}

# The picture must be the page: a PNG of the window's size, with enough in it that it cannot be an
# empty or one-colour window (those compress to a few kilobytes).
check_page() {
    local png=$1 signature width height bytes
    [ -f "$png" ] || fail "no picture $png"
    signature=$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')
    [ "$signature" = 89504e470d0a1a0a ] || fail "$png is no PNG"
    width=$(od -An -tu1 -j16 -N4 "$png" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
    height=$(od -An -tu1 -j20 -N4 "$png" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
    bytes=$(stat -c %s "$png")
    echo "   $(basename "$png"): ${width} x ${height}, $bytes bytes"
    [ "$width" = 1280 ] && [ "$height" = 800 ] || fail "$png is ${width} x ${height}, not the window"
    [ "$bytes" -gt 20000 ] || fail "$png is nearly uniform ($bytes bytes): not the page"
}

step "package"
cmake --build "$build" -j"$(nproc)" >/dev/null
rm -f "$build"/tvwall_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log" >&2
    fail "cpack failed"
}
debs=("$build"/tvwall_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "cpack made no tvwall_*.deb"
echo "   $(basename "$deb"): $(stat -c %s "$deb") bytes, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "   Depends: $(dpkg-deb -f "$deb" Depends)"
echo "   Recommends: $(dpkg-deb -f "$deb" Recommends)"

step "lintian"
lintian --fail-on error --display-info --tag-display-limit 0 "$deb" 2>&1 | sed 's/^/   /' ||
    fail "lintian found errors"

step "desktop entry and AppStream metadata"
dpkg-deb -x "$deb" "$work/content"
report=$(desktop-file-validate "$work/content/usr/share/applications/$app_id.desktop" 2>&1) || true
[ -z "$report" ] || fail "desktop-file-validate: $report"
appstreamcli validate --no-net --pedantic "$work/content/usr/share/metainfo/$app_id.metainfo.xml" |
    sed 's/^/   /' || fail "appstreamcli validate found problems"

step "install with apt"
"${apt[@]}" install -y -qq "$deb" >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log" >&2
    fail "apt-get install failed"
}
installed=1
dpkg -L tvwall >"$work/files"
[ "$(command -v tvwall)" = /usr/bin/tvwall ] || fail "tvwall is not on the PATH"
desktop_exec=$(sed -n 's/^Exec=//p' "/usr/share/applications/$app_id.desktop")
[ "$(command -v "${desktop_exec%% *}")" = /usr/bin/tvwall ] || fail "the desktop entry starts $desktop_exec"
[ -f "/usr/share/icons/hicolor/48x48/apps/$app_id.png" ] || fail "no icon in the theme"

step "the installed application renders its page"
xvfb=(xvfb-run -a -s "-screen 0 1280x800x24")
for lang in en zh_CN; do
    for program in tvwall "$build/bin/tvwall"; do
        [ "$program" = tvwall ] && name=$lang || name=build-$lang
        operator "$name"
        "${as_operator[@]}" "${xvfb[@]}" "$program" --lang "$lang" --screenshot "$work/page-$name.png" \
            >"$work/run.log" 2>&1 || {
            cat "$work/run.log" >&2
            fail "$program --lang $lang --screenshot failed"
        }
    done
    check_page "$work/page-$lang.png"
    left=$(ls -A "$work/unrelated-$lang")
    [ -z "$left" ] || fail "tvwall left files in the folder it was started in: $left"
    # The rendering is exact: the same page with the same fonts gives the same bytes.
    cmp -s "$work/page-$lang.png" "$work/page-build-$lang.png" ||
        fail "the installed tvwall shows another page than the build's in $lang"
done
! cmp -s "$work/page-en.png" "$work/page-zh_CN.png" || fail "the Chinese page is the English one"
operator help
"${as_operator[@]}" tvwall --help | grep -q -- '--backend <NAME>' || fail "tvwall --help does not tell of its options"

step "the installed daemon and the client over ONVIF on loopback"
operator daemon
"${as_operator[@]}" tvwall-decoderd --help | grep -q -- '--discovery-port <PORT>' ||
    fail "tvwall-decoderd --help does not tell of its options"
"${as_operator[@]}" tvwall-decoderd --port 0 >"$work/daemon.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    grep -q '^listening' "$work/daemon.log" && break
    kill -0 "${pids[0]}" 2>/dev/null || break
    sleep 0.1
done
grep -q '^listening' "$work/daemon.log" || {
    cat "$work/daemon.log" >&2
    fail "tvwall-decoderd did not start"
}
# "listening FIRST-LAST port P discovery D"
read -r _ range _ port _ discovery < <(grep '^listening' "$work/daemon.log")
echo "   tvwall-decoderd serves $range on port $port (discovery $discovery)"
data=$work/home-onvif/data
operator onvif
"${as_operator[@]}" QT_QPA_PLATFORM=offscreen tvwall --backend onvif --discover "$range" --onvif-port "$port" \
    --discovery-port "$discovery" --demo --data-dir "$data" >"$work/onvif.log" 2>&1 &
client=$!
pids+=("$client")
# The client logs in to the decoders it was given and stores what it learnt.
for _ in $(seq 600); do
    grep -qs '"connectStatus": 1' "$data/decoders.json" && break
    kill -0 "$client" 2>/dev/null || break
    sleep 0.1
done
grep -qs '"connectStatus": 1' "$data/decoders.json" || {
    cat "$work/onvif.log" >&2
    fail "tvwall --backend onvif logged in to no decoder of the daemon"
}
echo "   logged in over ONVIF to $(grep -c '"connectStatus": 1' "$data/decoders.json") decoders"
kill -TERM "$client"
status=0
wait "$client" || status=$?
[ "$status" = 0 ] || fail "tvwall --backend onvif ended with $status on SIGTERM"
kill -TERM "${pids[0]}"
wait "${pids[0]}" || true
pids=()

step "purge"
"${apt[@]}" purge -y -qq tvwall >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log" >&2
    fail "apt-get purge failed"
}
installed=0
if dpkg-query -W -f='${Status}' tvwall 2>/dev/null | grep -qv 'not-installed'; then
    fail "dpkg still knows tvwall: $(dpkg-query -W -f='${Status}' tvwall)"
fi
left=()
while read -r path; do
    [ "$path" = /. ] && continue
    [ -e "$path" ] || [ -L "$path" ] || continue
    # A folder may stay while another package has files in it (/usr/share/applications ...).
    if [ -d "$path" ] && [ ! -L "$path" ] && dpkg -S "$path" >/dev/null 2>&1; then
        continue
    fi
    left+=("$path")
done <"$work/files"
[ ${#left[@]} -eq 0 ] || fail "left after purge: ${left[*]}"
echo "   $(wc -l <"$work/files") paths of the package, none left"
step "done"
