# Shared by the scripts in this folder (source it): runs the calling script again under a private
# X display, gives it its own temporary XDG folders, a compositor for translucent windows, and
# helpers to wait for the `zorbel` windows. `e2e_home` is the temporary folder; it and every
# background job of the script go away on exit.
# Needs xvfb-run, picom and xdotool.

if [[ -z ${ZORBEL_E2E_INNER:-} ]]; then
    export ZORBEL_E2E_INNER=1
    exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
fi

e2e_home=$(mktemp -d)
e2e_cleanup() {
    local jobs
    jobs=$(jobs -p)
    if [[ -n $jobs ]]; then
        kill $jobs 2>/dev/null || true
        wait $jobs 2>/dev/null || true
    fi
    rm -rf "$e2e_home"
}
trap e2e_cleanup EXIT
export XDG_CONFIG_HOME=$e2e_home/config XDG_DATA_HOME=$e2e_home/data XDG_CACHE_HOME=$e2e_home/cache
export XDG_STATE_HOME=$e2e_home/state XDG_RUNTIME_DIR=$e2e_home/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="com.zorbel.app.product.info=true;qt.qpa.*=false"
picom --backend xrender >/dev/null 2>&1 &

# Runs the command every 10 ms until it succeeds, for at most `seconds`; fails when it never did.
e2e_poll() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.01
    done
}

# Prints the first visible window matching the xdotool search arguments; fails when there is none.
e2e_window() {
    local window
    window=$(xdotool search --onlyvisible "$@" 2>/dev/null | head -1 || true)
    [[ -n $window ]] && echo "$window"
}
