#!/bin/sh
# Runs one test program on the xcb platform against an X server of its own. Xvfb picks a free
# display and reports it, so test programs running side by side never share a server; a private
# cookie keeps other local clients out.
#   xvfb-run-test.sh [--openbox] program [arguments]
# With --openbox a window manager that draws title bars and borders runs on that server first.
set -eu
wm=
if [ "${1:-}" = --openbox ]; then
    wm=openbox
    shift
fi
tmp=$(mktemp -d)
xvfb=
wmpid=
cleanup() {
    [ -n "$wmpid" ] && kill "$wmpid" 2>/dev/null && wait "$wmpid" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
# The server takes every cookie of its file, whatever display the entry names.
xauth -q -f "$tmp/server" add :0 . "$cookie" 2>/dev/null
mkfifo "$tmp/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -auth "$tmp/server" \
    3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
if ! read -r display <"$tmp/display"; then
    echo "Xvfb did not start:" >&2
    cat "$tmp/xvfb.log" >&2
    exit 1
fi
xauth -q -f "$tmp/client" add ":$display" . "$cookie" 2>/dev/null
if [ -n "$wm" ]; then
    DISPLAY=":$display" XAUTHORITY="$tmp/client" HOME="$tmp" openbox --sm-disable \
        >"$tmp/wm.log" 2>&1 &
    wmpid=$!
    # The window manager is ready once it names itself on the root window.
    for _ in $(seq 100); do
        DISPLAY=":$display" XAUTHORITY="$tmp/client" xprop -root _NET_SUPPORTING_WM_CHECK \
            2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
fi
# libxkbcommon-x11 hands strndup atom names without a final NUL, which strndup allows but
# AddressSanitizer's strict string checks report; the program's own strings stay checked on the
# offscreen run.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"
export ASAN_OPTIONS
status=0
env -u WAYLAND_DISPLAY DISPLAY=":$display" XAUTHORITY="$tmp/client" QT_QPA_PLATFORM=xcb "$@" ||
    status=$?
exit "$status"
