#!/usr/bin/env bash
# The player against every stream profile and network fault, beside ffmpeg and mpv in the same run.
#   bash bench/stream_matrix.sh [seconds-per-row] [session-timeout-row-seconds]
# Defaults: 20 s a row, 120 s for the session-timeout row. Run from the repository with the build in
# build/ (HALCYON_BUILD_DIR overrides). Prints one table row per line; screenshots of each fault row
# go to $OUT (default /tmp/stream_matrix), one PNG per row. PROFILES="elementary broadcast" runs only
# those profiles' rows; FAULTS=0 leaves out the fault rows.
set -u
SECONDS_PER_ROW=${1:-20}
TIMEOUT_ROW=${2:-120}
BUILD=${HALCYON_BUILD_DIR:-build}
PROBE=$BUILD/bench/stream_matrix_bench
BOX=$BUILD/tools/halcyon-settopbox
OUT=${OUT:-/tmp/stream_matrix}
SIZE=537x329
mkdir -p "$OUT"
source "$(dirname "${BASH_SOURCE[0]}")/x-bench-common.sh"

# Starts a box with one channel of a profile and extra options; commands go to fd 7.
start_box() { # profile [options...]
    local profile=$1
    shift
    rm -f "$WORK/box.in" && mkfifo "$WORK/box.in"
    "$BOX" --port 0 --channels "201:$profile" "$@" <"$WORK/box.in" >"$WORK/box.out" 2>/dev/null &
    BOX_PID=$!
    PIDS+=($BOX_PID)
    exec 7>"$WORK/box.in"
    for _ in $(seq 100); do grep -q READY "$WORK/box.out" && break; sleep 0.1; done
    BOX_URL="rtsp://127.0.0.1:$(grep -o 'port=[0-9]*' "$WORK/box.out" | cut -d= -f2)/orvantv/201"
}
stop_box() {
    echo quit >&7
    exec 7>&-
    wait "$BOX_PID" 2>/dev/null
}
# The box says "OK <command>" once it has done it.
box_command() { echo "$1" >&7; }

ffmpeg_first_frame() { # url
    local start end
    start=$(date +%s%N)
    timeout 30 ffmpeg -nostdin -loglevel quiet -i "$1" -frames:v 1 -f null - && end=$(date +%s%N) &&
        echo $(((end - start) / 1000000)) || echo -1
}

# CPU of a process over its life, in cores: utime+stime ticks over elapsed time.
cpu_of_run() { # seconds command...
    local seconds=$1
    shift
    "$@" >/dev/null 2>&1 &
    local pid=$! t0
    t0=$(date +%s%N)
    sleep 3 # the start-up is not the steady cost
    local a b
    a=$(awk '{print $14+$15}' /proc/$pid/stat 2>/dev/null || echo 0)
    local s0
    s0=$(date +%s%N)
    sleep "$seconds"
    b=$(awk '{print $14+$15}' /proc/$pid/stat 2>/dev/null || echo 0)
    local s1
    s1=$(date +%s%N)
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    awk -v t=$((b - a)) -v hz="$(getconf CLK_TCK)" -v ns=$((s1 - s0)) 'BEGIN{printf "%.2f", t/hz/(ns/1e9)}'
}

row() { # name url [probe options...]
    local name=$1 url=$2
    shift 2
    local line
    line=$("$PROBE" --url "$url" --seconds "$SECONDS_PER_ROW" --size $SIZE --shot "$OUT/$name.png" "$@" 2>/dev/null |
        tail -1)
    printf '%-22s %s\n' "$name" "$line"
}

echo "== clean profiles on the box (${SECONDS_PER_ROW}s each)"
for profile in ${PROFILES:-broadcast sd-h264 sd-mpeg2 hd-h264i two-audio aspect-switch radio elementary}; do
    start_box $profile
    printf '%-22s ffmpeg_first_frame_ms=%s\n' "$profile/ffmpeg" "$(ffmpeg_first_frame "$BOX_URL")"
    row "$profile" "$BOX_URL"
    if [ $profile = hd-h264i ]; then
        printf '%-22s cpu=%s\n' "hd-h264i/mpv" "$(cpu_of_run "$SECONDS_PER_ROW" mpv --no-config --vo=x11 --hwdec=no --ao=null \
            --geometry=$SIZE --autofit=$SIZE "$BOX_URL")"
    fi
    # The same stream relayed by an independent server, where it fits it (MPEG-TS profiles). The
    # recording outlasts the row: the picture froze for about half a second each time ffmpeg's
    # publisher looped a shorter one, which a live source never does.
    if [ $profile != elementary ]; then
        timeout $((SECONDS_PER_ROW + 40)) ffmpeg -nostdin -loglevel quiet -rtsp_transport tcp -i "$BOX_URL" \
            -t $((SECONDS_PER_ROW + 12)) -map 0 -c copy \
            -f mpegts "$WORK/$profile.ts"
    fi
    stop_box
    if [ -s "$WORK/$profile.ts" ]; then
        rtsp-server-perl -c 18654 -s 18655 >/dev/null 2>&1 &
        server=$!
        PIDS+=($server)
        sleep 3
        # ffmpeg's RTP muxer has no payload for AC-3: the HD channel's sound goes out as MPEG audio.
        sound=copy
        [ $profile = hd-h264i ] && sound=mp2
        ffmpeg -nostdin -loglevel quiet -re -stream_loop -1 -i "$WORK/$profile.ts" -map 0:v? -map 0:a:0? -c:v copy \
            -c:a $sound -f rtsp rtsp://127.0.0.1:18655/orvantv/201 &
        publisher=$!
        PIDS+=($publisher)
        # The server answers 404 until the publisher has announced the stream: slow on a busy machine.
        for _ in $(seq 20); do
            timeout 5 ffprobe -v quiet rtsp://127.0.0.1:18654/orvantv/201 && break
            sleep 1
        done
        printf '%-22s ffmpeg_first_frame_ms=%s\n' "$profile@perl/ffmpeg" \
            "$(ffmpeg_first_frame rtsp://127.0.0.1:18654/orvantv/201)"
        row "$profile@perl" rtsp://127.0.0.1:18654/orvantv/201
        kill $publisher $server 2>/dev/null
        wait $publisher $server 2>/dev/null
    fi
done

[ "${FAULTS:-1}" = 0 ] && exit 0
echo "== faults on the broadcast profile (from 5 s into the row)"
fault() { # name command [box options...]
    local name=$1 command=$2
    shift 2
    start_box broadcast "$@"
    if [ -n "$command" ]; then (sleep 5 && box_command "$command") & fi
    row "$name" "$BOX_URL"
    stop_box
}
fault loss-1% "loss 1"
fault loss-5% "loss 5"
fault jitter-200ms "jitter 200"
fault stall-2s "stall 2000"
fault restart-1s "restart 1000"
fault tcp-only "" --transport tcp
fault udp-only "" --transport udp
start_box broadcast
sh -c 'while :; do :; done' & busy1=$!
sh -c 'while :; do :; done' & busy2=$!
row two-busy-loops "$BOX_URL"
kill $busy1 $busy2
stop_box
start_box broadcast --transport udp
printf '%-22s %s\n' "udp-only/record" "$("$PROBE" --url "$BOX_URL" --seconds "$SECONDS_PER_ROW" \
    --record "$WORK/udp.mpg" 2>/dev/null | tail -1) probe_duration=$(ffprobe -v error -show_entries \
    format=duration -of csv=p=0 "$WORK/udp.mpg" 2>/dev/null)"
stop_box
start_box broadcast --session-timeout 20
SECONDS_PER_ROW=$TIMEOUT_ROW row session-timeout-20s "$BOX_URL"
stop_box
