#!/usr/bin/env bash
# Builds the player and the simulated set-top box, starts the box on loopback with a few channels,
# writes the matching playlist.m3u into a fresh working folder and starts the player there.
# With a DISPLAY the player window opens and the box stops when the player ends. Without one,
# everything runs under Xvfb and openbox until the player shows channel 201; the screenshot's path
# is printed and everything started here is stopped.
set -euo pipefail
# shellcheck source=scripts/build-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"

build=${HALCYON_BUILD_DIR:-$HALCYON_ROOT/build}
channels=201,202,203,204,205
picture_deadline=30

bash "$HALCYON_ROOT/scripts/install-deps.sh"
halcyon_configure "$build"
cmake --build "$build" --target halcyon-tv halcyon-settopbox -j"${HALCYON_JOBS:-$(nproc)}"

work=$(mktemp -d -t halcyon-run-XXXXXX)
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

port=$(halcyon_startup_port "$build")
box="$build/tools/halcyon-settopbox"
"$box" --port "$port" --channels "$channels" --playlist "$work/playlist.m3u" >"$work/box.log" 2>&1 </dev/null &
pids+=($!)
wait_for 20 grep -q '^READY' "$work/box.log" || { cat "$work/box.log"; exit 1; }
echo "Set-top box: rtsp://127.0.0.1:$port/orvantv/{$channels}, playlist: $work/playlist.m3u"
ffprobe -v error -rtsp_transport tcp -show_entries stream=codec_name -of csv=p=0 \
    "rtsp://127.0.0.1:$port/orvantv/201" >"$work/probe.txt" 2>"$work/probe.err" || true
grep -q h264 "$work/probe.txt" || { echo "the box does not serve channel 201" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
    (cd "$work" && exec "$build/halcyon-tv")
    exit 0
fi

# No display: a private X server and window manager, as the tests use.
displayfd=$(mktemp -p "$work" displayfd.XXXXXX)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$displayfd" >/dev/null 2>&1 &
pids+=($!)
wait_for 20 grep -q . "$displayfd" || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(head -n1 "$displayfd")"
export DISPLAY
export XDG_RUNTIME_DIR="$work/xdg" QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu \
    QT_LOGGING_RULES=qt.webenginecontext.info=false
mkdir -m 0700 "$XDG_RUNTIME_DIR"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
wait_for 20 sh -c 'xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q "^_NET_CLIENT_LIST(WINDOW)"'

(cd "$work" && exec "$build/halcyon-tv") >"$work/player.log" 2>&1 &
pids+=($!)

# The picture is up once a good part of the screen has channel 201's colour.
read -r r g b < <("$box" --print-colour 201)
shot="$work/screenshot.png"
showing_201() {
    import -window root "$shot" 2>/dev/null || return 1
    [ "$(halcyon_colour_count "$shot" "$r" "$g" "$b")" -ge 20000 ]
}
if wait_for "$picture_deadline" showing_201; then
    echo "$shot"
    exit 0
fi
echo "the player shows no picture of channel 201 after ${picture_deadline} s; screenshot: $shot" >&2
tail -n 20 "$work/player.log" >&2
exit 1
