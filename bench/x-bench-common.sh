# Sourced by the benches that paint under X: a work folder that goes at exit with every process
# the bench started (PIDS), and one Xvfb display shared by the player and the peers it is measured
# against, all painting through X11.
WORK=$(mktemp -d)
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    exec 7>&- 2>/dev/null # the box's command line, where a bench opened one
    rm -rf "$WORK"
}
trap cleanup EXIT

# XVFB_SCREEN sets the screen's size (WIDTHxHEIGHTxDEPTH).
export DISPLAY=:$((90 + RANDOM % 100))
Xvfb "$DISPLAY" -screen 0 "${XVFB_SCREEN:-1280x1024x24}" -nolisten tcp -noreset >/dev/null 2>&1 &
PIDS+=($!)
export XDG_RUNTIME_DIR=$WORK/run && mkdir -m 700 "$XDG_RUNTIME_DIR"
sleep 1
