#!/usr/bin/env bash
# The Debian package as a user gets it: built in BUILD_DIR (as it is configured, or else
# configured here: Release, prefix /usr), checked with lintian, its AppStream record, desktop entry and manual pages checked as
# shipped; then, as root, installed with apt, both programs run from /usr/bin (the ball under a
# private X display, session bus and XDG folders) and the package removed again, also when a
# step fails. Without root the checks run and the install is skipped.
#
# Usage: tests/package/install-test.sh BUILD_DIR
# Needs lintian, appstream, desktop-file-utils, man-db, xvfb, xdotool, dbus, python3.
# CMAKE_BUILD_PARALLEL_LEVEL limits the build's jobs.
set -euo pipefail

build=${1:?build folder}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
installed=""
home=""
cleanup() {
    if [[ -n $installed ]]; then
        echo "== removing the package"
        apt-get remove -y zorbel >/dev/null || echo "FAIL: apt-get remove zorbel" >&2
    fi
    rm -rf "$scratch" "$home"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

echo "== building the package"
# A folder configured already (the test build) is packaged as it is; it must install into /usr.
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX=/usr -DZORBEL_TESTS=OFF -DZORBEL_BENCH=OFF \
        -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
fi
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
[[ $prefix == /usr ]] || fail "$build installs into $prefix, not /usr"
cmake --build "$build" --target package >"$scratch/build.log" || { cat "$scratch/build.log"; fail "the build failed"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$(realpath "$build/zorbel_${version}_$(dpkg --print-architecture).deb")
[[ -f $deb ]] || fail "no $deb"
echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KiB"
dpkg-deb --field "$deb" Depends

echo "== lintian"
lintian --fail-on error,warning --display-info "$deb"

echo "== what the package ships"
shipped=$scratch/shipped
dpkg-deb -x "$deb" "$shipped"
appstreamcli validate --no-net "$shipped/usr/share/metainfo/com.zorbel.app.metainfo.xml"
desktop-file-validate "$shipped/usr/share/applications/com.zorbel.app.desktop"
# The record launches the entry it names; the entry's icon and program are in the package.
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' \
    "$shipped/usr/share/metainfo/com.zorbel.app.metainfo.xml")
entry=$shipped/usr/share/applications/$launchable
[[ -f $entry ]] || fail "the AppStream record launches $launchable, which is not shipped"
icon=$(sed -n 's/^Icon=//p' "$entry")
[[ -f $shipped/usr/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "no icon $icon.svg"
[[ -x $shipped/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry") ]] || fail "Exec= is not shipped"
for page in zorbel zorbel-extract; do
    rendered=$(MANWIDTH=80 man -l "$shipped/usr/share/man/man1/$page.1.gz" 2>&1)
    grep -q "^NAME" <<<"$rendered" || fail "man -l $page.1.gz: $rendered"
done
grep -q -- "--preset" <<<"$rendered" || fail "the manual page of zorbel-extract lists no options"

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: installing the package needs root (CI runs this as root); the checks above passed"
    exit 0
fi
if dpkg-query -W -f='${Status}' zorbel 2>/dev/null | grep -q "install ok installed"; then
    echo "SKIP: zorbel is installed on this machine already; not replacing it"
    exit 0
fi

echo "== apt-get install"
# Everything the package needs is in scripts/setup: nothing is downloaded.
installed=yes
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" >"$scratch/apt.log" ||
    { cat "$scratch/apt.log"; fail "apt-get install"; }

# Where the desktop looks: the application menu, the icon theme, the AppStream records; the
# README where the settings window opens it.
for file in /usr/share/applications/com.zorbel.app.desktop \
    "/usr/share/icons/hicolor/scalable/apps/$icon.svg" \
    /usr/share/metainfo/com.zorbel.app.metainfo.xml /usr/share/doc/zorbel/README.md; do
    [[ -f $file ]] || fail "$file is not installed"
done
grep -qaF /usr/share/doc/zorbel/README.md /usr/bin/zorbel || fail "zorbel opens another README"

# The programs run in XDG folders of their own, with no session bus but a private one: nothing
# of this machine's user is read or written.
source "$source_dir/tests/e2e/private-home.sh"
trap cleanup EXIT
export HOME=$home
unset DBUS_SESSION_BUS_ADDRESS

echo "== zorbel-extract"
[[ $(/usr/bin/zorbel-extract --version) == "zorbel-extract $version" ]] || fail "--version"
now=2026-12-06T10:00:00+08:00
/usr/bin/zorbel-extract --preset builtin --now $now --text "明天下午3点开会" >"$home/events.json"
python3 -c 'import json, sys; events = json.load(open(sys.argv[1]))["events"]
sys.exit(f"{len(events)} events, not 1" if len(events) != 1 else 0)' "$home/events.json"
# A file is read by the document module, which the program finds beside itself.
printf '明天下午3点开会' >"$home/notes.txt"
/usr/bin/zorbel-extract --preset builtin --now $now "$home/notes.txt" | cmp -s - "$home/events.json" ||
    fail "zorbel-extract read the file otherwise than the same text"

echo "== zorbel"
# The ball window must show within 30 s on a display and session bus of its own.
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- bash -c '
    /usr/bin/zorbel >"$1" 2>&1 &
    trap "kill $! 2>/dev/null; wait $! 2>/dev/null" EXIT
    timeout 30 xdotool search --sync --all --onlyvisible --pid $! --name "^Zorbel$" >/dev/null' \
    _ "$scratch/zorbel.log" || { cat "$scratch/zorbel.log"; fail "no window of /usr/bin/zorbel appeared"; }
echo "== the package installs and runs"
