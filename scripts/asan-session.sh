#!/usr/bin/env bash
# The real program under AddressSanitizer with leak checking, driven as a user drives it under
# Xvfb: start, 100 channel changes (keys, skin buttons, menu), the guide shown and hidden, a
# recording started and stopped, Exit. Fails on a memory error, a status other than 0, an
# unreadable recording, or a leak with a frame of ours; prints the leaks by library.
# Run by hand, not in CI:
#   bash scripts/asan-session.sh [channel changes, default 100]
# The sanitized build is made (or reused) in build-asan/, HALCYON_ASAN_DIR picks another folder;
# the simulated box comes from the ordinary build (HALCYON_BUILD_DIR, build/ by default).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"
source "$HALCYON_ROOT/scripts/session-common.sh"

build=${HALCYON_ASAN_DIR:-$HALCYON_ROOT/build-asan}
box_build=${HALCYON_BUILD_DIR:-$HALCYON_ROOT/build}
rows=(201 202 203 204 205)
changes=${1:-100}
started=$SECONDS

halcyon_configure "$build" -DSANITIZE=ON
cmake --build "$build" --target halcyon-tv -j"${HALCYON_JOBS:-2}" >/dev/null
# The box encodes its channels live: sanitized, it would take the processor the program needs.
halcyon_configure "$box_build"
cmake --build "$box_build" --target halcyon-settopbox -j"${HALCYON_JOBS:-2}" >/dev/null

work=$(mktemp -d -t halcyon-asan-XXXXXX)
trap halcyon_stop_started EXIT
trap 'exit 130' INT TERM
echo "working folder: $work"

fail() {
    echo "FAILED: $*" >&2
    tail -n 30 "$work/player.log" >&2 || true
    exit 1
}

box="$box_build/tools/halcyon-settopbox"
channels=$(IFS=,; echo "${rows[*]}")
halcyon_start_box "$box_build" "$(halcyon_startup_port "$build")" "$channels" "$work"
halcyon_player_env "$work"
# No key repeat: a key that a slow xdotool holds down stays one step.
halcyon_start_x "$work" -ardelay 30000
videos="$work/home/Videos"
mkdir -p "$videos"

# Stacks are taken with the frame pointers, so a stack through a library built without them stops
# there (slow unwinding deadlocks in libgcc's unwinder with this many threads, and slows the program
# past what the stream needs). Suppressions are applied afterwards by asan-leaks.py: in
# LeakSanitizer's own hands a library's line would cover every stack through that library, ours
# included. The web engine deletes some of its objects through a base without a virtual destructor.
# The leak check runs from the preloaded handler that records the program's exit status. GLib's
# slice allocator would hide GStreamer's objects (elements, caps, messages, buffers) from the check
# in blocks it keeps: each goes to malloc of its own instead. Their stacks stop in GLib, so a line
# for GLib could cover a leak of ours made through GStreamer: asan-leaks.py refuses any covered leak
# with as many objects as there were channel changes, the mark of a leak per tune.
# The sanitizer's runtime must come first among the preloaded libraries.
cc -shared -fPIC -o "$work/preload.so" "$HALCYON_ROOT/scripts/asan-session-preload.c"
(cd "$work" && HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    LD_PRELOAD="$(c++ -print-file-name=libasan.so) $work/preload.so" HALCYON_EXIT_STATUS_FILE="$work/status" \
    G_SLICE=always-malloc \
    ASAN_OPTIONS="detect_leaks=1:leak_check_at_exit=0:new_delete_type_mismatch=0:exitcode=23:log_path=$work/asan" \
    UBSAN_OPTIONS="print_stacktrace=1:log_path=$work/ubsan" \
    exec "$build/halcyon-tv") >"$work/player.log" 2>&1 &
player=$!
halcyon_pids+=("$player")

visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
halcyon_wait_for 120 visible '^Halcyon$' || fail "no player window"
window=$(xdotool search --onlyvisible --name '^Halcyon$' | head -n1)

expect_channel() {
    local r g b
    read -r r g b < <("$box" --print-colour "$1")
    halcyon_wait_for_colour 180 "$work/screen.png" "$r" "$g" "$b" ||
        fail "channel $1 not shown (after $done_changes changes); screen: $work/screen.png"
}

# x y: a left click at that point of the player window.
click_in_player() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + $1)) $((Y + $2)) click 1
}

# choose_from_menu SECONDS CONDITION KEYS...: opens the skin's right-click menu and presses KEYS,
# until the shell text CONDITION holds (within SECONDS).
# Keys that reach the menu before it has the keyboard are lost: then the menu goes and comes again.
# Tab and Shift+Tab walk it as Down and Up do, without the arrows that change channel.
choose_from_menu() {
    local seconds=$1 until_done=$2 attempt before X Y WIDTH HEIGHT SCREEN WINDOW
    shift 2
    for attempt in 1 2 3 4; do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        before=$(xdotool search --onlyvisible --name '.*' | wc -l)
        xdotool mousemove $((X + 660)) $((Y + 200)) click 3
        halcyon_wait_for 5 eval '[ "$(xdotool search --onlyvisible --name ".*" | wc -l)" -gt "$before" ]' || true
        xdotool key "$@"
        halcyon_wait_for "$seconds" eval "$until_done" && return 0
        xdotool key Escape
    done
    fail "menu keys $* did nothing"
}

showing() {
    local r g b
    read -r r g b < <("$box" --print-colour "$1")
    echo "halcyon_showing_colour '$work/screen.png' $r $g $b"
}

# One channel change, the way DONE_CHANGES picks: every tenth a skin button, every tenth a menu
# item, the others a key. Up goes to the next row, Down to the one before; the first change picks
# the first row. Each change is seen on the screen before the next: a lost one would go unnoticed.
row=-1
direction=Up
done_changes=0
change_channel() {
    [ $row -lt $((${#rows[@]} - 1)) ] || direction=Down
    [ $row -gt 0 ] || direction=Up
    local next=$row
    if [ $direction = Up ]; then next=$((row + 1)); else next=$((row - 1)); fi
    case $((done_changes % 10)),$direction in
        3,Up) click_in_player 84 371 ;;
        3,Down) click_in_player 116 371 ;;
        7,*)
            if [ $direction = Up ]; then keys=(Tab Tab Return); else keys=(Tab Tab Tab Return); fi
            choose_from_menu 180 "$(showing "${rows[next]}")" "${keys[@]}"
            ;;
        *)
            xdotool windowfocus --sync "$window" 2>/dev/null || true
            xdotool key "$direction"
            ;;
    esac
    row=$next
    done_changes=$((done_changes + 1))
    expect_channel "${rows[row]}"
    [ $((done_changes % 10)) != 0 ] || echo "$done_changes channel changes after $((SECONDS - started)) s"
}

# The process ids whose parent is $1, from /proc.
children_of() {
    local stat fields ppid
    for stat in /proc/[0-9]*/stat; do
        fields=$(cat "$stat" 2>/dev/null) || continue
        read -r _ ppid _ <<<"${fields##*) }"
        [ "$ppid" != "$1" ] || basename "$(dirname "$stat")"
    done
}

# The web engine's renderers are forked by its zygote, a child of the program.
web_renderer_running() {
    local zygote
    for zygote in $(children_of "$player"); do
        [ -z "$(children_of "$zygote")" ] || return 0
    done
    return 1
}

expect_channel 201
echo "start-up channel shown after $((SECONDS - started)) s"
while [ $done_changes -lt $((changes / 2)) ]; do change_channel; done

# The guide: "Programme TV", the fourth item. Alt+F4 asks the window manager to close it.
choose_from_menu 120 'visible "^Programme TV\$"' Tab Tab Tab Tab Return
halcyon_wait_for 120 web_renderer_running || fail "the guide's page has no renderer"
guide=$(xdotool search --onlyvisible --name '^Programme TV$' | head -n1)
close_guide() {
    xdotool windowactivate --sync "$guide" 2>/dev/null || true
    xdotool key alt+F4
    halcyon_wait_for 3 eval '! visible "^Programme TV\$"'
}
halcyon_wait_for 20 close_guide || fail "the guide stays shown"
echo "guide shown and hidden"

# "Enregistrer", the sixth item, records the channel of the list's row.
choose_from_menu 60 'ls "$videos"/*.mpg >/dev/null 2>&1' Tab Tab Tab Tab Tab Tab Return
recording=$(ls "$videos"/*.mpg | head -n1)
halcyon_wait_for 60 eval '[ "$(stat -c %s "$recording")" -gt 1200000 ]' || fail "the recording does not grow"
echo "recording $(basename "$recording") started"
# The next change ends it: the file stops growing.
change_channel
settled() {
    local before
    before=$(stat -c %s "$recording")
    sleep 1
    [ "$(stat -c %s "$recording")" = "$before" ]
}
halcyon_wait_for 20 settled || fail "the recording goes on after a channel change"
while [ $done_changes -lt $changes ]; do change_channel; done

# "Exit", the last item.
choose_from_menu 60 '! visible "^Halcyon\$"' shift+Tab Return
# The leak check and its symbolization run at exit.
halcyon_wait_for 300 eval '! kill -0 "$player" 2>/dev/null' || fail "the program does not end"
ended=0
wait "$player" || ended=$?
status=$(cat "$work/status" 2>/dev/null || echo none)
echo "program ended after $((SECONDS - started)) s with status $status"
# 23: the leak check found leaks, sorted out below.
[ "$status" = 0 ] && { [ $ended = 0 ] || [ $ended = 23 ]; } || fail "the program ended with status $status ($ended)"

ffprobe -v error -show_entries format=format_name,duration:stream=codec_name -of default=nw=1 "$recording" \
    >"$work/probe.txt" 2>&1 || true
grep -q '^format_name=mpeg$' "$work/probe.txt" && grep -q '^codec_name=mpeg2video$' "$work/probe.txt" &&
    grep -q '^codec_name=mp2$' "$work/probe.txt" ||
    fail "the recording is not a readable MPEG-2 file: $(cat "$work/probe.txt")"
echo "recording: $(tr '\n' ' ' <"$work/probe.txt")"

python3 "$HALCYON_ROOT/scripts/asan-leaks.py" --root "$HALCYON_ROOT" --build "$build" --changes "$changes" \
    --suppressions "$HALCYON_ROOT/scripts/asan-session.supp" "$work/asan.$player" "$work/ubsan.$player"
echo "run time $((SECONDS - started)) s"
