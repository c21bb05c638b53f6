#!/usr/bin/env bash
# Starts the real `zorbel` on a private X display with a compositor, photographs the ball on a
# desktop background, then pastes an empty clipboard into it and photographs the failure with
# its status panel. Also prints the start-up measurements: time to the first painted ball,
# resident memory after start and CPU used while idle for 10 seconds.
#
# Usage: bash tests/e2e/ball-screenshots.sh BUILD_DIR [OUT_DIR]
# Needs xvfb-run, picom, xdotool and imagemagick. Runs in its own temporary XDG folders
# (x-session.sh).
set -euo pipefail

build=${1:?build directory}
out=${2:-$PWD/ball-screenshots}
source "$(dirname "$0")/x-session.sh"
mkdir -p "$out"
home=$e2e_home

# A desktop background to see the translucent ball against.
magick=$(command -v magick || command -v convert)
"$magick" -size 1280x800 gradient:'#3a6186'-'#89253e' "$home/background.png"
display -geometry +0+0 -borderwidth 0 "$home/background.png" &
sleep 1

start=$(date +%s.%N)
"$build/src/app/zorbel" >"$out/zorbel.log" 2>&1 &
app=$!
window=$(e2e_poll 2 e2e_window --name '^Zorbel$') || { echo "the ball window did not appear" >&2; exit 1; }
shown=$(date +%s.%N)
echo "first ball frame on screen after: $(echo "($shown - $start) * 1000" | bc | cut -d. -f1) ms (window mapped; polled every 10 ms)"
sleep 1
echo "resident memory after start: $(awk '/VmRSS/ {print $2, $3}' /proc/$app/status)"

ticks() { awk '{print $14 + $15}' /proc/$app/stat; }
before=$(ticks)
sleep 10
after=$(ticks)
hz=$(getconf CLK_TCK)
echo "idle CPU over 10 s: $(echo "scale=2; ($after - $before) * 100 / $hz / 10" | bc) %"

import -window root "$out/ball-idle.png"

# An empty clipboard pasted into the ball: failure(emptyCapture) with its panel.
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "ball window at $X,$Y"
xdotool windowfocus "$window" key ctrl+v
sleep 1
import -window root "$out/ball-failure.png"
echo "screenshots in $out"
kill $app
