#!/usr/bin/env bash
# Soak: 1,000 tunes across the box's channels, then a while on one channel, under Xvfb. Prints the
# player's resident memory, threads and open files at start, after the tunes and at the end, and
# fails when any grew by 10 % or more from after the tunes to the end.
#   bash bench/soak.sh [minutes on one channel, default 30] [tunes, default 1000]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/build-common.sh"

minutes=${1:-30}
tunes=${2:-1000}
build=${HALCYON_BUILD_DIR:-$HALCYON_ROOT/build}
channels=201,202,203,204,205

work=$(mktemp -d -t halcyon-soak-XXXXXX)
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

wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

port=$(halcyon_startup_port "$build")
"$build/tools/halcyon-settopbox" --port "$port" --channels "$channels" --playlist "$work/playlist.m3u" \
    >"$work/box.log" 2>&1 </dev/null &
pids+=($!)
wait_for 20 grep -q '^READY' "$work/box.log" || { cat "$work/box.log"; exit 1; }

displayfd=$(mktemp -p "$work" displayfd.XXXXXX)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset -ardelay 30000 3>"$displayfd" >/dev/null 2>&1 &
pids+=($!)
wait_for 20 grep -q . "$displayfd" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$displayfd")"
export XDG_RUNTIME_DIR="$work/xdg" QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu \
    QT_LOGGING_RULES=qt.webenginecontext.info=false
mkdir -m 0700 "$XDG_RUNTIME_DIR"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
wait_for 20 sh -c 'xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q "^_NET_CLIENT_LIST(WINDOW)"'

(cd "$work" && exec "$build/halcyon-tv") >"$work/player.log" 2>&1 &
player=$!
pids+=($player)
wait_for 30 sh -c "xdotool search --onlyvisible --name '^Halcyon\$' >/dev/null"
window=$(xdotool search --onlyvisible --name '^Halcyon$' | head -n1)
sleep 5 # the start-up channel plays and the guide's engine starts

measure() {
    local rss threads files
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$player/status")
    threads=$(awk '/^Threads/ {print $2}' "/proc/$player/status")
    files=$(ls "/proc/$player/fd" | wc -l)
    printf '%-14s rss %7d KiB  threads %4d  open files %4d\n' "$1" "$rss" "$threads" "$files"
    echo "$rss $threads $files" >"$work/$2"
}
measure start start

# Up steps to the next row, Down to the one before: walk up and down the five rows.
xdotool windowactivate --sync "$window" 2>/dev/null || true
xdotool windowfocus --sync "$window"
done_tunes=0
while [ $done_tunes -lt "$tunes" ]; do
    for key in Up Up Up Up Down Down Down Down; do
        [ $done_tunes -lt "$tunes" ] || break
        xdotool key "$key"
        sleep 0.15
        done_tunes=$((done_tunes + 1))
    done
done
sleep 10 # the last tune settles
measure "after $tunes" tuned

sleep $((minutes * 60))
measure "after ${minutes} min" end

read -r r0 t0 f0 <"$work/tuned"
read -r r1 t1 f1 <"$work/end"
grew=0
for pair in "$r0 $r1 memory" "$t0 $t1 threads" "$f0 $f1 files"; do
    set -- $pair
    if [ $(( $2 * 100 )) -ge $(( $1 * 110 )) ]; then
        echo "$3 grew by 10 % or more: $1 -> $2"
        grew=1
    fi
done
kill -TERM "$player"
wait "$player" && echo "player ended with status 0" || echo "player ended with status $?"
exit $grew
