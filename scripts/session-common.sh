# shellcheck shell=bash
# Shared by the scripts that start the simulated box and a private X session (sourced, after
# build-common.sh): each process started here is recorded in halcyon_pids, so that one cleanup
# stops them all, the last started first.

halcyon_pids=()

# Stops every process recorded in halcyon_pids, newest first.
halcyon_stop_started() {
    local i
    for ((i = ${#halcyon_pids[@]} - 1; i >= 0; i--)); do
        kill "${halcyon_pids[i]}" 2>/dev/null || true
        wait "${halcyon_pids[i]}" 2>/dev/null || true
    done
}

# halcyon_wait_for SECONDS COMMAND...: waits up to SECONDS for COMMAND to succeed.
halcyon_wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

# halcyon_start_box BUILD_DIR PORT CHANNELS WORK_DIR [more box options...]
# Starts the simulated box on loopback, writing WORK_DIR/playlist.m3u, and waits until it serves;
# exits with its log when it does not.
halcyon_start_box() {
    local build=$1 port=$2 channels=$3 work=$4
    "$build/tools/halcyon-settopbox" --port "$port" --channels "$channels" --playlist "$work/playlist.m3u" \
        "${@:5}" >"$work/box.log" 2>&1 </dev/null &
    halcyon_pids+=($!)
    halcyon_wait_for 20 grep -q '^READY' "$work/box.log" || {
        cat "$work/box.log"
        exit 1
    }
}

# halcyon_start_x WORK_DIR [more Xvfb arguments...]
# Starts a private Xvfb and openbox, as the tests use, and exports its DISPLAY.
halcyon_start_x() {
    local work=$1
    shift
    local displayfd
    displayfd=$(mktemp -p "$work" displayfd.XXXXXX)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset "$@" 3>"$displayfd" >/dev/null 2>&1 &
    halcyon_pids+=($!)
    halcyon_wait_for 20 grep -q . "$displayfd" || {
        echo "Xvfb did not start" >&2
        exit 1
    }
    DISPLAY=":$(head -n1 "$displayfd")"
    export DISPLAY
    openbox --sm-disable >/dev/null 2>&1 &
    halcyon_pids+=($!)
    halcyon_wait_for 20 sh -c 'xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q "^_NET_CLIENT_LIST(WINDOW)"'
}

# halcyon_player_env WORK_DIR: the environment the development build's player runs in under Xvfb.
halcyon_player_env() {
    export XDG_RUNTIME_DIR="$1/xdg" QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu \
        QT_LOGGING_RULES=qt.webenginecontext.info=false
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
}

# halcyon_wait_for_colour SECONDS SCREENSHOT R G B
# Waits until a good part of the screen has the colour "R G B" (a channel's background, see
# halcyon_colour_count), screenshotting it to SCREENSHOT each time.
halcyon_wait_for_colour() {
    local seconds=$1
    shift
    halcyon_wait_for "$seconds" halcyon_showing_colour "$@"
}

halcyon_showing_colour() {
    import -window root "$1" 2>/dev/null || return 1
    [ "$(halcyon_colour_count "$1" "$2" "$3" "$4")" -ge 20000 ]
}
