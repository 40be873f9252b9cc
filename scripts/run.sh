#!/usr/bin/env bash
# Builds the player and the simulated set-top box, starts the box on loopback with a few channels,
# writes the matching playlist.m3u into a fresh working folder and starts the player there.
# With a DISPLAY the player window opens and the box stops when the player ends. Without one,
# everything runs under Xvfb and openbox until the player shows channel 201; the screenshot's path
# is printed and everything started here is stopped.
set -euo pipefail
# shellcheck source=scripts/build-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"
# shellcheck source=scripts/session-common.sh
source "$HALCYON_ROOT/scripts/session-common.sh"

build=${HALCYON_BUILD_DIR:-$HALCYON_ROOT/build}
channels=201,202,203,204,205
picture_deadline=30

bash "$HALCYON_ROOT/scripts/install-deps.sh"
halcyon_configure "$build"
cmake --build "$build" --target halcyon-tv halcyon-settopbox -j"${HALCYON_JOBS:-$(nproc)}"

work=$(mktemp -d -t halcyon-run-XXXXXX)
trap halcyon_stop_started EXIT
trap 'exit 130' INT TERM

port=$(halcyon_startup_port "$build")
box="$build/tools/halcyon-settopbox"
# With its guide, so the banner shows what is on.
halcyon_start_box "$build" "$port" "$channels" "$work" --guide-port 0
echo "Set-top box: rtsp://127.0.0.1:$port/orvantv/{$channels}, playlist: $work/playlist.m3u"
ffprobe -v error -rtsp_transport tcp -show_entries stream=codec_name -of csv=p=0 \
    "rtsp://127.0.0.1:$port/orvantv/201" >"$work/probe.txt" 2>"$work/probe.err" || true
grep -q h264 "$work/probe.txt" || { echo "the box does not serve channel 201" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
    (cd "$work" && exec "$build/halcyon-tv")
    exit 0
fi

# No display: a private X server and window manager, as the tests use.
halcyon_player_env "$work"
halcyon_start_x "$work"

(cd "$work" && exec "$build/halcyon-tv") >"$work/player.log" 2>&1 &
halcyon_pids+=($!)

# The picture is up once a good part of the screen has channel 201's colour.
read -r r g b < <("$box" --print-colour 201)
shot="$work/screenshot.png"
if halcyon_wait_for_colour "$picture_deadline" "$shot" "$r" "$g" "$b"; then
    echo "$shot"
    exit 0
fi
echo "the player shows no picture of channel 201 after ${picture_deadline} s; screenshot: $shot" >&2
tail -n 20 "$work/player.log" >&2
exit 1
