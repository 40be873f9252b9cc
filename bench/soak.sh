#!/usr/bin/env bash
# Soak: 1,000 tunes across the box's channels, then a while on one channel, under Xvfb. Prints the
# player's resident memory, threads and open files at start, after the tunes and at the end, and
# fails when any grew by 10 % or more from after the tunes to the end.
#   bash bench/soak.sh [minutes on one channel, default 30] [tunes, default 1000]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/build-common.sh"
source "$HALCYON_ROOT/scripts/session-common.sh"

minutes=${1:-30}
tunes=${2:-1000}
build=${HALCYON_BUILD_DIR:-$HALCYON_ROOT/build}
channels=201,202,203,204,205

work=$(mktemp -d -t halcyon-soak-XXXXXX)
trap halcyon_stop_started EXIT
trap 'exit 130' INT TERM

port=$(halcyon_startup_port "$build")
halcyon_start_box "$build" "$port" "$channels" "$work"
halcyon_player_env "$work"
halcyon_start_x "$work" -ardelay 30000

(cd "$work" && exec "$build/halcyon-tv") >"$work/player.log" 2>&1 &
player=$!
halcyon_pids+=("$player")
halcyon_wait_for 30 sh -c "xdotool search --onlyvisible --name '^Halcyon\$' >/dev/null"
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
