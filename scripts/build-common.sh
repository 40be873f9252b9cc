# shellcheck shell=bash
# Shared by run.sh and test.sh (sourced): where the build lives and how it is configured.
# HALCYON_BUILD_DIR picks another build folder; HALCYON_JOBS the number of compile jobs.

HALCYON_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# A port outside the kernel's ephemeral range (where outgoing connections take theirs) that
# nothing listens on now.
halcyon_free_port() {
    python3 - <<'PY'
import random, socket
for _ in range(200):
    port = random.randrange(20000, 32000)
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            continue
        print(port)
        break
PY
}

# halcyon_configure BUILD_DIR [cmake arguments...]
# The first configure fixes the start-up stream's port in the cache; later runs keep it.
halcyon_configure() {
    local build=$1
    shift
    local args=(-S "$HALCYON_ROOT" -B "$build")
    if [ ! -f "$build/CMakeCache.txt" ]; then
        args+=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DSTREAM_HOST=127.0.0.1:$(halcyon_free_port)")
    fi
    mkdir -p "$build"
    cmake "${args[@]}" "$@" >"$build/configure.log" 2>&1 || {
        cat "$build/configure.log"
        return 1
    }
}

# The port the built program expects the box on, from the build's cache.
halcyon_startup_port() {
    sed -n 's/^STREAM_HOST:STRING=.*:\([0-9]*\)$/\1/p' "$1/CMakeCache.txt"
}

# How many pixels of the screenshot $1 have the colour "$2 $3 $4" (a channel's background, as
# halcyon-settopbox --print-colour gives it). Pure white is blackened first so that the white
# digits drawn on the picture are not counted with it.
halcyon_colour_count() {
    convert "$1" -fill black -opaque white -fuzz 8% -fill white -opaque "rgb($2,$3,$4)" \
        -fuzz 0 -fill black +opaque white -format '%[fx:round(mean*w*h)]' info:
}
