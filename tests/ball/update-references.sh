#!/usr/bin/env bash
# Redraws the reference images of the ball on purpose, after a deliberate change of its look.
# Look at every changed image before committing it.
#   tests/ball/update-references.sh [build-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
ninja -C "$build" ball_tests
ZORBEL_BALL_WRITE_REFERENCES="$root/tests/ball/reference" \
    "$build/tests/ball/ball_tests" --gtest_filter='BallReference.*'
git -C "$root" status --short tests/ball/reference
