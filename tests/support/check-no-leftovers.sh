#!/usr/bin/env bash
# Fails when a helper process a test program recorded (X server, window manager, set-top box,
# the program under test) is still alive after the suite. Each record is "pid start-time": a PID
# reused by an unrelated process has another start time and is not counted. Leftovers are
# reported, then stopped, and the records removed so that the next run starts clean.
dir="$1"
[ -d "$dir" ] || exit 0
alive=0
for f in "$dir"/*.pids; do
    [ -e "$f" ] || continue
    while read -r pid start; do
        [ -n "$pid" ] || continue
        stat=$(cat "/proc/$pid/stat" 2>/dev/null) || continue
        rest=${stat##*) }
        # shellcheck disable=SC2086
        set -- $rest
        [ "${20}" = "$start" ] || continue
        echo "still running: pid $pid ($(tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null)) from $f"
        kill -KILL "$pid" 2>/dev/null
        alive=1
    done < "$f"
    rm -f "$f"
done
exit $alive
