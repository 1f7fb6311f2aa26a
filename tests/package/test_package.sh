#!/usr/bin/env bash
# Builds the Debian package and checks it as a user would meet it: the validators of the
# desktop entry and the AppStream metadata, lintian, the file list, and the installed program
# started on the offscreen platform, closed by SIGTERM, with its settings in the user's
# configuration folder and nothing written beside the executable. As root it also installs
# and removes the package with dpkg.
#   tests/package/test_package.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
fail() { echo "FAIL: $*" >&2; exit 1; }

scripts/package.sh "$build"
deb=$(ls "$build"/package/kovrin-photo-sorter_*.deb)
id=example.kovrin.PhotoSorter
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The file list: every piece where the desktop and the icon theme look for it.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#' >"$work/files"
expected=(
    /usr/bin/kovrin-photo-sorter
    "/usr/share/applications/$id.desktop"
    "/usr/share/metainfo/$id.metainfo.xml"
    /usr/share/icons/hicolor/scalable/apps/kovrin-photo-sorter.svg
    /usr/share/kovrin-photo-sorter/help_hu.html
    /usr/share/doc/kovrin-photo-sorter/copyright
    /usr/share/doc/kovrin-photo-sorter/changelog.gz
    /usr/share/man/man1/kovrin-photo-sorter.1.gz
)
for size in 16 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/kovrin-photo-sorter.png")
done
for f in "${expected[@]}"; do
    grep -qx "$f" "$work/files" || fail "the package lacks $f"
done
grep -v '/$' "$work/files" | grep -vq '^/usr/' && fail "the package holds files outside /usr"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libjpeg62-turbo libmount1; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

# Unpacked into a temporary root: the validators, then the program itself.
root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo"
for size in 16 24 32 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/kovrin-photo-sorter.png" |
        grep -q "PNG image data, $size x $size" || fail "icon of size $size"
done

# Runs the program at $1 until it catches SIGTERM (its handler is in place once the window is
# shown), then sends it, as a session's end would; the program must close with status 0. It
# runs offscreen, or under the Wayland compositor named by $wayland, where $before_term (a
# command) runs before the signal.
wayland=
before_term=true
run_and_terminate() {
    local exe=$1 home=$2
    shift 2
    if [ -n "$wayland" ]; then
        env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$wayland" HOME="$home" \
            XDG_CONFIG_HOME="$home/config" "$exe" "$@" &
    else
        env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen HOME="$home" \
            XDG_CONFIG_HOME="$home/config" "$exe" "$@" &
    fi
    local pid=$! caught=0
    for _ in $(seq 300); do
        mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
        if (((16#${mask:-0} >> 14) & 1)); then
            caught=1
            break
        fi
        sleep 0.1
    done
    [ "$caught" -eq 1 ] || fail "$exe did not get ready"
    $before_term
    kill -TERM "$pid"
    wait "$pid" || fail "$exe ended with status $?"
}

exe="$root/usr/bin/kovrin-photo-sorter"
env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --help | grep -q '^Használat: kovrin-photo-sorter' ||
    fail "--help"
env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --version | grep -qx 'Kovrin Photo Sorter [0-9.]* verzió' ||
    fail "--version"

(cd "$root" && find . | sort) >"$work/before"
home="$work/home"
mkdir -p "$home/fotók"
run_and_terminate "$exe" "$home" "$home/fotók"
settings="$home/config/kovrin-photo-sorter/settings.ini"
[ -f "$settings" ] || fail "no settings in the configuration folder"
grep -qx "path0=$home/fotók/" "$settings" || fail "the folder argument is not the source: $(cat "$settings")"
(cd "$root" && find . | sort) >"$work/after"
diff "$work/before" "$work/after" || fail "the program wrote into its installation"
echo "unpacked package: settings in $settings, nothing beside the executable"

# Under Wayland (Weston without a screen, drawing in memory): the program paints the photo given
# as its argument, and SIGTERM writes its settings. A small red photo, and a screenshot in which
# the red must show.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$work/wl/fotók"
base64 -d >"$work/wl/fotók/piros.jpg" <<'JPEG'
/9j/4AAQSkZJRgABAQEAYABgAAD/2wBDABALDA4MChAODQ4SERATGCgaGBYWGDEjJR0oOjM9PDkzODdASFxOQERXRTc4UG1R
V19iZ2hnPk1xeXBkeFxlZ2P/2wBDARESEhgVGC8aGi9jQjhCY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2Nj
Y2NjY2NjY2NjY2NjY2P/wAARCABAAGADASIAAhEBAxEB/8QAHwAAAQUBAQEBAQEAAAAAAAAAAAECAwQFBgcICQoL/8QAtRAA
AgEDAwIEAwUFBAQAAAF9AQIDAAQRBRIhMUEGE1FhByJxFDKBkaEII0KxwRVS0fAkM2JyggkKFhcYGRolJicoKSo0NTY3ODk6
Q0RFRkdISUpTVFVWV1hZWmNkZWZnaGlqc3R1dnd4eXqDhIWGh4iJipKTlJWWl5iZmqKjpKWmp6ipqrKztLW2t7i5usLDxMXG
x8jJytLT1NXW19jZ2uHi4+Tl5ufo6erx8vP09fb3+Pn6/8QAHwEAAwEBAQEBAQEBAQAAAAAAAAECAwQFBgcICQoL/8QAtREA
AgECBAQDBAcFBAQAAQJ3AAECAxEEBSExBhJBUQdhcRMiMoEIFEKRobHBCSMzUvAVYnLRChYkNOEl8RcYGRomJygpKjU2Nzg5
OkNERUZHSElKU1RVVldYWVpjZGVmZ2hpanN0dXZ3eHl6goOEhYaHiImKkpOUlZaXmJmaoqOkpaanqKmqsrO0tba3uLm6wsPE
xcbHyMnK0tPU1dbX2Nna4uPk5ebn6Onq8vP09fb3+Pn6/9oADAMBAAIRAxEAPwDHooorhPrwooooAKKKKACiiigAooooAKKK
KACiiigAooooAKKKKACiiigAooooAKKKKACiiigAooooAKKKKACiiigAooooAKKKKACiiigAooooAKKKKACiiigAooooAKKK
KAP/2Q==
JPEG
weston --backend=headless-backend.so --use-pixman --socket=kps-test --debug --no-config \
    --width=1024 --height=768 --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!
trap 'kill "$weston_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/kps-test" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/kps-test" ] || fail "weston did not start: $(cat "$work/weston.log")"
# The photo is decoded behind the window: give it a moment, then take the screen.
shoot() {
    sleep 2
    (cd "$work/wl" && WAYLAND_DISPLAY=kps-test timeout 20 weston-screenshooter) ||
        fail "no screenshot under Wayland"
}
wayland=kps-test before_term=shoot run_and_terminate "$exe" "$work/wl" "$work/wl/fotók/piros.jpg"
shot=$(ls "$work"/wl/wayland-screenshot-*.png | head -1)
red=$(python3 - "$shot" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, chunks, width, height, kind = 8, b"", 0, 0, 0
while pos < len(data):
    size, tag = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + size]
    if tag == b"IHDR":
        width, height, _, kind = struct.unpack(">IIBB", body[:10])
    elif tag == b"IDAT":
        chunks += body
    pos += 12 + size
bpp = 4 if kind == 6 else 3
raw, rows, prev = zlib.decompress(chunks), [], bytearray(width * bpp)
stride = width * bpp
for y in range(height):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        p = a + b - c
        pred = [0, a, b, (a + b) // 2,
                a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c)
                else (b if abs(p - b) <= abs(p - c) else c)][f]
        line[i] = (line[i] + pred) & 255
    rows.append(line)
    prev = line
print(sum(1 for line in rows for x in range(0, stride, bpp)
          if line[x] > 180 and line[x + 1] < 80 and line[x + 2] < 80))
PY
)
[ "$red" -ge 4000 ] || fail "the photo does not show under Wayland ($red red pixels in $shot)"
grep -qx "path0=$work/wl/fotók/" "$work/wl/config/kovrin-photo-sorter/settings.ini" ||
    fail "Wayland: SIGTERM wrote no settings"
kill "$weston_pid" && wait "$weston_pid" 2>/dev/null || true
echo "Wayland: the photo painted ($red red pixels), settings written at SIGTERM"

# As root (CI), the real thing: install, start from /usr/bin, remove without leftovers.
if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W kovrin-photo-sorter >/dev/null 2>&1; then
    dpkg -i "$deb" >/dev/null || fail "dpkg -i"
    home2="$work/home2"
    mkdir -p "$home2"
    run_and_terminate /usr/bin/kovrin-photo-sorter "$home2"
    [ -f "$home2/config/kovrin-photo-sorter/settings.ini" ] || fail "installed: no settings"
    [ -e /usr/bin/settings.ini ] && fail "installed: settings.ini beside the executable"
    dpkg -r kovrin-photo-sorter >/dev/null || fail "dpkg -r"
    for f in "${expected[@]}"; do
        [ -e "$f" ] && fail "dpkg -r left $f"
    done
    status=$(dpkg-query -W -f='${db:Status-Status}' kovrin-photo-sorter 2>/dev/null || true)
    [ -z "$status" ] || [ "$status" = not-installed ] || fail "after dpkg -r: $status"
    echo "dpkg -i, start, dpkg -r: clean"
fi
echo "PASS: package"
