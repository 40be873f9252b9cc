#!/usr/bin/env bash
# Fails when a process recorded by a test program's X session (Xvfb, openbox) is still alive.
dir="$1"
[ -d "$dir" ] || exit 0
alive=0
for f in "$dir"/*.pids; do
    [ -e "$f" ] || continue
    for pid in $(cat "$f"); do
        if kill -0 "$pid" 2>/dev/null; then
            echo "still running: pid $pid ($(tr '\0' ' ' < /proc/$pid/cmdline 2>/dev/null)) from $f"
            alive=1
        fi
    done
done
exit $alive
