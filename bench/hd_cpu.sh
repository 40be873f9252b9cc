#!/usr/bin/env bash
# The player's CPU beside mpv's on the same full-HD interlaced channel, at the same window size, both
# running at once so that they share whatever load the machine has.
#   bash bench/hd_cpu.sh [seconds] [rounds] [source] [window|fullscreen]
# source: "box" (default) plays the simulated box's hd-h264i channel through RTSP; a file path
# plays that file instead. "fullscreen" shows both full screen on 1920x1080 screens, each on a
# screen of its own with a window manager, so neither paints under the other; "window" (default)
# shows both at the player window's picture size on one screen. Prints one line a round and the
# median ratio. Run from the repository with the build in build/ (HALCYON_BUILD_DIR overrides).
set -u
SECONDS_PER_ROUND=${1:-20}
ROUNDS=${2:-3}
SOURCE=${3:-box}
VIEW=${4:-window}
BUILD=${HALCYON_BUILD_DIR:-build}
PROBE=$BUILD/bench/stream_matrix_bench
BOX=$BUILD/tools/halcyon-settopbox
SIZE=537x329
OURS_ARGS=()
MPV_ARGS=(--geometry=$SIZE --autofit=$SIZE)
if [ "$VIEW" = fullscreen ]; then
    SIZE=1920x1080
    export XVFB_SCREEN=${SIZE}x24
fi
source "$(dirname "${BASH_SOURCE[0]}")/x-bench-common.sh"
OURS_DISPLAY=$DISPLAY
MPV_DISPLAY=$DISPLAY
if [ "$VIEW" = fullscreen ]; then
    MPV_DISPLAY=:$((200 + RANDOM % 100))
    Xvfb "$MPV_DISPLAY" -screen 0 "$XVFB_SCREEN" -nolisten tcp -noreset >/dev/null 2>&1 &
    PIDS+=($!)
    sleep 1
    for display in "$OURS_DISPLAY" "$MPV_DISPLAY"; do
        DISPLAY=$display openbox >/dev/null 2>&1 &
        PIDS+=($!)
    done
    sleep 1
    OURS_ARGS=(--fullscreen 1)
    MPV_ARGS=(--fs)
fi

if [ "$SOURCE" = box ]; then
    "$BOX" --port 0 --channels 250:hd-h264i </dev/null >"$WORK/box.out" 2>/dev/null &
    PIDS+=($!)
    for _ in $(seq 100); do grep -q READY "$WORK/box.out" && break; sleep 0.1; done
    URL="rtsp://127.0.0.1:$(grep -o 'port=[0-9]*' "$WORK/box.out" | cut -d= -f2)/orvantv/250"
    # The box encodes its HD loop once, after it says READY: the channel plays from then on.
    timeout 120 ffprobe -v quiet -rtsp_transport tcp "$URL" || echo "the box's HD channel does not play" >&2
    MPV_INPUT=$URL
else
    URL=file://$(realpath "$SOURCE")
    MPV_INPUT=$SOURCE
fi

ticks() { awk '{print $14+$15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# Both start together; both are measured over the same seconds, after a start-up of 4 s.
round() {
    DISPLAY=$OURS_DISPLAY "$PROBE" --url "$URL" --seconds $((SECONDS_PER_ROUND + 6)) --size $SIZE \
        "${OURS_ARGS[@]}" >"$WORK/ours.out" 2>/dev/null &
    local ours=$!
    DISPLAY=$MPV_DISPLAY mpv --no-config --vo=x11 --hwdec=no --ao=null --loop-file=inf "${MPV_ARGS[@]}" \
        "$MPV_INPUT" >/dev/null 2>&1 &
    local theirs=$!
    PIDS+=($ours $theirs)
    sleep 4
    local o0 t0 s0 o1 t1 s1
    o0=$(ticks $ours) t0=$(ticks $theirs) s0=$(date +%s%N)
    sleep "$SECONDS_PER_ROUND"
    o1=$(ticks $ours) t1=$(ticks $theirs) s1=$(date +%s%N)
    kill $theirs 2>/dev/null
    wait $ours $theirs 2>/dev/null
    awk -v o=$((o1 - o0)) -v t=$((t1 - t0)) -v hz="$(getconf CLK_TCK)" -v ns=$((s1 - s0)) \
        -v line="$(tail -1 "$WORK/ours.out")" -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN{
        s = ns / 1e9; ours = o / hz / s; mpv = t / hz / s
        if (mpv == 0) { printf "ours=%.3f mpv stopped, round left out load=%s\n", ours, load; exit }
        printf "ours=%.3f mpv=%.3f ratio=%.2f load=%s player: %s\n", ours, mpv, ours / mpv, load, line }'
}

for _ in $(seq "$ROUNDS"); do round; done | tee "$WORK/rounds"
grep ratio= "$WORK/rounds" | awk '{split($3, r, "="); print r[2]}' | sort -n |
    awk '{v[NR] = $1} END{printf "median ratio=%.2f over %d rounds\n", v[int((NR + 1) / 2)], NR}'
