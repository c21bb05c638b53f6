#!/usr/bin/env bash
# The real `zorbel` in a Wayland session, under a headless Weston of its own: with Xwayland
# beside it the ball runs on X11 (where a window may stay on top and place itself) without being
# told; with Wayland alone it runs there rather than failing to start.
# Usage: bash tests/e2e/wayland-session.sh ZORBEL_BINARY
# Needs weston, xwayland, qt6-wayland and xdotool; exits 77 (skipped) without weston.
set -euo pipefail

zorbel=${1:?zorbel binary}
command -v weston >/dev/null || { echo "weston is not installed"; exit 77; }

source "$(dirname "$0")/private-home.sh"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
export QT_LOGGING_RULES="com.zorbel.app.product.info=true"

fail() {
    echo "FAIL: $*" >&2
    for log in "$home"/*.log; do
        echo "--- $log:" >&2
        cat "$log" >&2
    done
    exit 1
}

weston --backend=headless-backend.so --xwayland --socket=zorbel-test --width=1280 --height=800 \
    >"$home/weston.log" 2>&1 &
poll 20 grep -q "xserver listening on display" "$home/weston.log" || fail "weston did not start"
x11=$(grep -o "xserver listening on display :[0-9]*" "$home/weston.log" | grep -o ":[0-9]*$")

# Both displays: the ball is an X11 window on Xwayland's display.
WAYLAND_DISPLAY=zorbel-test DISPLAY=$x11 "$zorbel" >"$home/xwayland-app.log" 2>&1 &
app=$!
poll 30 env DISPLAY="$x11" xdotool search --onlyvisible --pid "$app" --name '^Zorbel$' >/dev/null 2>&1 ||
    fail "no ball window on the X display $x11"
kill "$app"
wait "$app" || true

# Wayland alone: the ball starts there and keeps running.
WAYLAND_DISPLAY=zorbel-test "$zorbel" >"$home/wayland-app.log" 2>&1 &
app=$!
poll 30 grep -q "event=launch" "$home/wayland-app.log" || fail "the app did not start on Wayland"
sleep 1
kill -0 "$app" 2>/dev/null || fail "the app ended on Wayland"
kill "$app"
echo "ok: on Xwayland's $x11 beside Wayland, and on Wayland alone"
