#!/usr/bin/env bash
# End to end with the real `zorbel`: text pasted into the ball goes to a loopback model server,
# whose two events come back in the confirm panel; Return writes them to the calendar, where
# they are read back. Leaves a screenshot of the panel and the app's log in OUT_DIR.
#   local: the local calendar folder, read back by khal; no session bus, so no secret store.
#   fresh: the same with default settings and no model server at all: the built-in rules read
#          one event (exit 77, skipped, where a local model port is taken).
#   caldav: Radicale on loopback that lets in one user with one password, kept in gnome-keyring
#           on the session bus (run the script under dbus-run-session); read back from Radicale.
#
# Usage: bash tests/e2e/paste-to-calendar.sh ZORBEL_BINARY OUT_DIR [local | fresh | caldav STORE_SECRET]
# Needs xvfb-run, picom, xdotool, xclip, imagemagick, python3, khal; radicale and gnome-keyring
# for caldav.
set -euo pipefail

zorbel=${1:?zorbel binary}
out=${2:?output folder}
store=${3:-local}
here=$(cd "$(dirname "$0")" && pwd)

# Runs again under a private X display, in its own temporary XDG folders (`home`), with a
# compositor for the translucent windows; the folder and every background job go away on exit.
if [[ -z ${ZORBEL_E2E_INNER:-} ]]; then
    export ZORBEL_E2E_INNER=1
    exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
fi

source "$here/private-home.sh"
export QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="com.zorbel.app.product.info=true;qt.qpa.*=false"
picom --backend xrender >/dev/null 2>&1 &

# Prints the first visible window of the app named Zorbel; fails when there is none.
ball_window() { xdotool search --onlyvisible --pid "$app" --name '^Zorbel$' 2>/dev/null | head -1 | grep .; }

mkdir -p "$out"
log=$out/zorbel.log

fail() {
    echo "FAIL: $*" >&2
    echo "--- app log ($log):" >&2
    cat "$log" >&2 || true
    exit 1
}
now() { date +%s%N; }
ms_since() { echo $((($(now) - $1) / 1000000)); }

caldav_start() {
    local secret_tool=${1:?store-secret program}
    [[ -n ${DBUS_SESSION_BUS_ADDRESS:-} ]] || fail "caldav needs a private session bus"
    export HOME=$home
    eval "$(printf 'keyring-pw' | gnome-keyring-daemon --daemonize --login --components=secrets)"
    eval "$(gnome-keyring-daemon --start --components=secrets)"
    caldav_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    caldav_url=http://127.0.0.1:$caldav_port/
    printf 'alice:%s\n' "$caldav_password" >"$home/radicale-users"
    cat >"$home/radicale.conf" <<CONF
[server]
hosts = 127.0.0.1:$caldav_port
[auth]
type = htpasswd
htpasswd_filename = $home/radicale-users
htpasswd_encryption = plain
[storage]
filesystem_folder = $home/radicale
[logging]
level = error
CONF
    /usr/bin/radicale --config "$home/radicale.conf" >/dev/null 2>&1 &
    poll 15 dav MKCOL alice/work/ >/dev/null || fail "Radicale did not start"
    printf '%s\n' "$caldav_password" | "$secret_tool" caldav || fail "the password was not stored"
}

# One request to the CalDAV server as alice; prints the body, fails on an HTTP error.
dav() {
    python3 - "$caldav_url$2" "$1" "$caldav_password" <<'PY'
import base64, sys, urllib.request
url, verb, password = sys.argv[1:]
body = (b'<?xml version="1.0"?><mkcol xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">'
        b'<set><prop><resourcetype><collection/><C:calendar/></resourcetype></prop></set></mkcol>'
        if verb == "MKCOL" else None)
request = urllib.request.Request(url, data=body, method=verb)
request.add_header("Authorization", "Basic " + base64.b64encode(f"alice:{password}".encode()).decode())
print(urllib.request.urlopen(request, timeout=5).read().decode())
PY
}

caldav_password=radicale-pw
if [[ $store == caldav ]]; then
    caldav_start "${4:-}"
else
    # No session bus: the secret store fails fast and the app carries on without a key.
    unset DBUS_SESSION_BUS_ADDRESS
fi

calls=$home/model-calls
: >"$calls"
settings=$XDG_CONFIG_HOME/com.zorbel.app.conf
printf '[General]\nonboarding.version=2\n' >"$settings"
if [[ $store == fresh ]]; then
    for local_port in 11434 1234; do
        python3 -c "import socket, sys; socket.create_server(('127.0.0.1', int(sys.argv[1])))" \
            "$local_port" 2>/dev/null || { echo "SKIP: port $local_port is taken"; exit 77; }
    done
    pasted_text='明天下午3点在研发楼301开项目评审'
    expected_lines=("15:00-16:00 开项目评审 v2")
    title_y=55  # the title field of a panel with one event
else
    python3 "$here/model-server.py" "$calls" >"$home/port" &
    poll 10 test -s "$home/port" || fail "the model server did not start"
    port=$(head -1 "$home/port")
    pasted_text='明天下午三点到四点项目评审，四点半到五点复盘'
    expected_lines=("15:00-16:00 项目评审 v2" "16:30-17:00 复盘")
    title_y=118  # the first event's title field of a panel with two
    cat >>"$settings" <<INI
llm.preset=custom
llm.baseURL=http://127.0.0.1:$port/v1
llm.model=test
cloudConsent.custom.http%253A%252F%252F127.0.0.1%253A$port.paste.v1=true
permissionExplained.voice.v1=true
INI
fi
if [[ $store == caldav ]]; then
    cat >>"$settings" <<INI
calendar.store=caldav
calendar.caldav.url=$caldav_url
calendar.caldav.user=alice
INI
fi

start=$(now)
"$zorbel" >"$log" 2>&1 &
app=$!
ball=$(poll 30 ball_window) || fail "the ball window did not appear"
ball_ms=$(ms_since "$start")

# xclip serves the clipboard until it is killed with the other jobs.
printf '%s' "$pasted_text" >"$home/pasted.txt"
xclip -quiet -selection clipboard "$home/pasted.txt" >/dev/null 2>&1 &
clipboard_ready() { xclip -o -selection clipboard 2>/dev/null | cmp -s - "$home/pasted.txt"; }
poll 10 clipboard_ready || fail "xclip did not take the clipboard"
xdotool windowfocus "$ball" key ctrl+v
pasted=$(now)

# The confirm panel: the app's visible window 480 px wide (the status panel is 240, the ball 64).
confirm_panel() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        ((WIDTH == 480)) && { echo "$window"; return 0; }
    done
    return 1
}
panel=$(poll 30 confirm_panel) || fail "the confirm panel did not appear within 30 s"
panel_ms=$(ms_since "$pasted")
sleep 0.5  # let the panel paint before the photo
import -window root "$out/confirm-panel.png"

# One edit: a click into the first event's title field (fixed place in the panel's layout),
# appended text; then Return, which belongs to the write button.
eval "$(xdotool getwindowgeometry --shell "$panel")"
xdotool mousemove $((X + 300)) $((Y + title_y)) click 1 sleep 0.2 key End type ' v2'
xdotool key Return
returned=$(now)
poll 30 grep -q 'event=calendarWrite(' "$log" || fail "no calendarWrite in the log within 30 s"
write_ms=$(ms_since "$returned")
written="event=calendarWrite(succeeded: ${#expected_lines[@]}, failed: 0)"
grep -qF "$written" "$log" || fail "no '$written' in the log"

if [[ $store == fresh ]]; then
    [[ ! -s $calls ]] || fail "a model server was called"
else
    [[ -s $calls ]] || fail "the model server was never called"
fi
if [[ $store == caldav ]]; then
    listed=$(dav GET alice/work/) || fail "the calendar could not be read back"
    tomorrow=$(date -d tomorrow +%Y%m%d)
    for expected in "SUMMARY:项目评审 v2" "SUMMARY:复盘"; do
        grep -qF "$expected" <<<"$listed" || fail "Radicale does not hold '$expected'"
    done
    [[ $(grep -c '^BEGIN:VEVENT' <<<"$listed") -eq 2 ]] || fail "Radicale does not hold 2 events"
    grep -q '^RRULE:FREQ=WEEKLY;COUNT=6;INTERVAL=2' <<<"$listed" || fail "no repeat rule: $listed"
    grep -q "^DTSTART.*$tomorrow" <<<"$listed" || fail "no event starts tomorrow: $listed"
else
    mapfile -t files < <(find "$XDG_DATA_HOME/zorbel/calendars" -name '*.ics')
    [[ ${#files[@]} -eq ${#expected_lines[@]} ]] ||
        fail "expected ${#expected_lines[@]} .ics files, found ${#files[@]}"
    [[ $store == fresh ]] || grep -q '^RRULE:FREQ=WEEKLY;COUNT=6;INTERVAL=2' "${files[@]}" ||
        fail "no file holds the repeat rule"
    vdir=$(dirname "${files[0]}")
    cat >"$home/khal.conf" <<CONF
[calendars]
[[zorbel]]
path = $vdir
[locale]
timeformat = %H:%M
dateformat = %Y-%m-%d
longdateformat = %Y-%m-%d
datetimeformat = %Y-%m-%d %H:%M
longdatetimeformat = %Y-%m-%d %H:%M
CONF
    tomorrow=$(date -d tomorrow +%Y-%m-%d)
    listed=$(/usr/bin/khal -c "$home/khal.conf" list "$tomorrow" 1d 2>&1) || fail "khal failed: $listed"
    for expected in "${expected_lines[@]}"; do
        grep -qF "$expected" <<<"$listed" || fail "khal does not list '$expected'; it listed: $listed"
    done
fi

# Success holds the ball for 0.7 s, then it is idle: no log line for that, so check that the app
# still runs and shows the ball alone (no confirm panel, no failure panel), and photograph it.
sleep 1.5
kill -0 "$app" 2>/dev/null || fail "the app exited"
visible=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null || true)
[[ $visible == "$ball" ]] || fail "after the write the app shows windows $visible, not the ball alone"
import -window root "$out/after-write.png"
if grep -q 'Sanitizer' "$log"; then fail "sanitizer report in the log"; fi
kill "$app"
wait "$app" 2>/dev/null || true

echo "ball shown after $ball_ms ms; ctrl+v to confirm panel: $panel_ms ms;" \
    "Return to calendarWrite logged: $write_ms ms"
echo "PASS ($store): ${#expected_lines[@]} events written and read back; screenshot in $out"
