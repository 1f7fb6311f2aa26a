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
# shown), then sends it, as a session's end would; the program must close with status 0.
run_and_terminate() {
    local exe=$1 home=$2
    shift 2
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen HOME="$home" \
        XDG_CONFIG_HOME="$home/config" "$exe" "$@" &
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
