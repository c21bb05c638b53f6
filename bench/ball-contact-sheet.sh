#!/usr/bin/env bash
# Draws every state of every skin (the poses of the reference images, 128 × 128 points at
# scale 2) and lays them out on one picture: one row per skin, one column per state.
#   bench/ball-contact-sheet.sh [output.png] [build-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/build/ball-contact-sheet.png}")"
build="${2:-$root/build}"
tiles="$(mktemp -d)"
trap 'rm -rf "$tiles"' EXIT

ninja -C "$build" ball_tests >/dev/null
ZORBEL_BALL_WRITE_REFERENCES="$tiles" \
    "$build/tests/ball/ball_tests" --gtest_filter='BallReference.*' >/dev/null

files=()
for skin in crystal-memory gravitational-lens liquid-lens; do
    for state in idle dropTarget recording confirmation success failure processing; do
        files+=("$tiles/$skin-$state.png")
    done
done
# A mid-grey desktop behind the translucent glass; each tile labelled with skin and state.
montage -background '#56606e' -fill white -font "$(fc-match -f '%{file}' sans)" -pointsize 14 \
    -label '%t' -geometry +8+8 -tile 7x \
    "${files[@]}" "$out"
echo "$out"
