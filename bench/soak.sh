#!/usr/bin/env bash
# Soak: 2,000 tunes across the box's channels, then a while on one channel, under Xvfb. Prints the
# player's resident memory, threads and open files at start, after the first tenth of the tunes
# (200), after them all and at the end, and fails when any grew by 10 % or more from the first
# tenth to the last tune, or from the last tune to the end: the first tunes fill what is reused
# later (pools, caches, the allocator's arenas), so growth past them is what leaks.
#   bash bench/soak.sh [minutes on one channel, default 30] [tunes, default 2000]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/build-common.sh"
source "$HALCYON_ROOT/scripts/session-common.sh"

minutes=${1:-30}
tunes=${2:-2000}
first=$((tunes / 10))
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
# tune_until N: steps until N tunes are done, then lets the last one settle.
tune_until() {
    while [ $done_tunes -lt "$1" ]; do
        for key in Up Up Up Up Down Down Down Down; do
            [ $done_tunes -lt "$1" ] || break
            xdotool key "$key"
            sleep 0.15
            done_tunes=$((done_tunes + 1))
        done
    done
    sleep 10
}
tune_until "$first"
measure "after $first" first
tune_until "$tunes"
measure "after $tunes" tuned

sleep $((minutes * 60))
measure "after ${minutes} min" end

# grew_between FROM TO WHEN: says what grew by 10 % or more between the two measures.
grew=0
grew_between() {
    local a b names=(memory threads files)
    read -r -a a <"$work/$1"
    read -r -a b <"$work/$2"
    for i in 0 1 2; do
        if [ $((b[i] * 100)) -ge $((a[i] * 110)) ]; then
            echo "${names[i]} grew by 10 % or more $3: ${a[i]} -> ${b[i]}"
            grew=1
        fi
    done
}
grew_between first tuned "from tune $first to tune $tunes"
grew_between tuned end "in ${minutes} min on one channel"
kill -TERM "$player"
wait "$player" && echo "player ended with status 0" || echo "player ended with status $?"
exit $grew
