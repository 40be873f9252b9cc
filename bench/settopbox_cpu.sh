#!/usr/bin/env bash
# CPU the simulated set-top box uses, in cores, over a measuring window.
#   bash bench/settopbox_cpu.sh [channels] [viewers] [seconds] [profile]
# channels: how many channels it serves (201 onwards, default 5); viewers: how many clients
# watch channel 201 (copying, not decoding, default 0); seconds: the window (default 10);
# profile: the stream profile of every channel (default broadcast, the box's own default).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${HALCYON_BUILD_DIR:-$root/build}
count=${1:-5}
viewers=${2:-0}
seconds=${3:-10}
profile=${4:-broadcast}
box="$build/tools/halcyon-settopbox"
[ -x "$box" ] || { echo "build the box first: cmake --build $build --target halcyon-settopbox" >&2; exit 1; }

channels=$(seq -s, 201 $((200 + count)))
log=$(mktemp)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -f "$log"; }
trap cleanup EXIT

"$box" --port 0 --channels "$channels" --profile "$profile" >"$log" 2>&1 </dev/null &
box_pid=$!
pids+=("$box_pid")
for _ in $(seq 100); do grep -q '^READY' "$log" && break; sleep 0.1; done
port=$(sed -n 's/^READY port=//p' "$log")
[ -n "$port" ] || { cat "$log" >&2; exit 1; }
for _ in $(seq "$viewers"); do
    ffmpeg -nostdin -loglevel quiet -rtsp_transport tcp -i "rtsp://127.0.0.1:$port/orvantv/201" \
        -c copy -f null - &
    pids+=($!)
done
sleep 3 # past the encoders' start-up

# utime + stime of the box, in clock ticks, from /proc/<pid>/stat (fields 14 and 15).
ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$box_pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v c="$count" -v v="$viewers" -v p="$profile" \
    'BEGIN { printf "settopbox: %d %s channels, %d viewers: %.2f cores\n", c, p, v, t / hz / s }'
