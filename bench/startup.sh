#!/usr/bin/env bash
# Start-up time and idle memory of `zorbel` next to the smallest Qt widget program
# (bench_minimal_widget, a 64 × 64 frameless window). Under one private X display (no window
# manager, no compositor) and one private session bus, with its own temporary XDG folders, it
# starts the two programs in turn, RUNS times each after one unmeasured start of each, and
# measures every run:
#   start:  from just before the program is started to the X server mapping its window
#           (bench_launch_to_map: the MapNotify event, sub-millisecond resolution), and the CPU
#           time its threads used until then;
#   memory: Rss and Pss from /proc/PID/smaps_rollup 2 s after the map, when it idles.
# Prints every run, then the medians side by side and their ratio. The app starts as it does
# for a user who has seen the first-use panel (onboarding acknowledged), with no model server
# on this machine.
#   bench/startup.sh BUILD_DIR [RUNS]
# Needs xvfb-run, dbus-run-session and a build of zorbel, bench_minimal_widget and
# bench_launch_to_map in BUILD_DIR (configured with -DZORBEL_BENCH=ON).
set -euo pipefail

build=$(cd "${1:?build folder}" && pwd)
runs=${2:-5}
idle_seconds=2

if [[ -z ${ZORBEL_STARTUP_INNER:-} ]]; then
    export ZORBEL_STARTUP_INNER=1
    exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$build" "$runs"
fi

app=$build/bin/zorbel
minimal=$build/bench/bench_minimal_widget
launch=$build/bench/bench_launch_to_map
for program in "$app" "$minimal" "$launch"; do
    [[ -x $program ]] || { echo "missing $program (ninja -C $build zorbel bench_minimal_widget bench_launch_to_map)" >&2; exit 1; }
done

source "$(dirname "$0")/../tests/e2e/private-home.sh"
export QT_QPA_PLATFORM=xcb
cat >"$XDG_CONFIG_HOME/com.zorbel.app.conf" <<INI
[General]
onboarding.version=2
INI
log=$home/programs.log
mkfifo "$home/launched"

# One run of PROGRAM, whose window is named NAME: prints "start_ms cpu_ms rss_kB pss_kB".
measure() {
    local name=$1 program=$2 ms cpu pid
    "$launch" "$name" "$program" >"$home/launched" 2>>"$log" &
    local launcher=$!
    if ! read -r ms cpu pid <"$home/launched"; then
        echo "$program did not map its window; its output:" >&2
        cat "$log" >&2
        exit 1
    fi
    sleep "$idle_seconds"
    local memory
    memory=$(awk '/^Rss:/ {rss = $2} /^Pss:/ {pss = $2} END {print rss, pss}' "/proc/$pid/smaps_rollup")
    kill "$pid"
    wait "$launcher" || true
    echo "$ms $cpu $memory"
}

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

measure Zorbel "$app" >/dev/null
measure minimal "$minimal" >/dev/null
declare -A start cpu rss pss
printf '%-8s %3s %9s %8s %9s %9s\n' program run start_ms cpu_ms rss_MiB pss_MiB
for ((run = 1; run <= runs; run++)); do
    for program in zorbel minimal; do
        if [[ $program == zorbel ]]; then
            read -r s c r p < <(measure Zorbel "$app")
        else
            read -r s c r p < <(measure minimal "$minimal")
        fi
        start[$program]+="$s " cpu[$program]+="$c " rss[$program]+="$r " pss[$program]+="$p "
        printf '%-8s %3d %9.1f %8.1f %9.1f %9.1f\n' "$program" "$run" "$s" "$c" \
            "$(bc -l <<<"$r / 1024")" "$(bc -l <<<"$p / 1024")"
    done
done

echo
echo "medians of $runs runs     zorbel   minimal   ratio"
row() {
    local label=$1 scale=$2 a b
    # shellcheck disable=SC2086  # the lists are space-separated numbers
    a=$(median ${3}) b=$(median ${4})
    printf '%-22s %9.1f %9.1f %7.2f\n' "$label" "$(bc -l <<<"$a / $scale")" \
        "$(bc -l <<<"$b / $scale")" "$(bc -l <<<"$a / $b")"
}
row "start to map (ms)" 1 "${start[zorbel]}" "${start[minimal]}"
row "CPU to map (ms)" 1 "${cpu[zorbel]}" "${cpu[minimal]}"
row "idle Rss (MiB)" 1024 "${rss[zorbel]}" "${rss[minimal]}"
row "idle Pss (MiB)" 1024 "${pss[zorbel]}" "${pss[minimal]}"
