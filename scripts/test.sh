#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite; ctest's summary comes last and its
# status is this script's. Extra arguments go to cmake, e.g. -DSANITIZE=ON (built in build-asan).
set -euo pipefail
# shellcheck source=scripts/build-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"

build_default="$HALCYON_ROOT/build"
for arg in "$@"; do
    [ "$arg" = "-DSANITIZE=ON" ] && build_default="$HALCYON_ROOT/build-asan"
done
build=${HALCYON_BUILD_DIR:-$build_default}

bash "$HALCYON_ROOT/scripts/install-deps.sh"
halcyon_configure "$build" "$@"
cmake --build "$build" -j"${HALCYON_JOBS:-$(nproc)}"
# A test that fails (or hangs to its timeout) is run once more before it counts as failed: see the
# README on the intermittent hang of the warm player on the independent server.
ctest --test-dir "$build" --output-on-failure -j2 --repeat until-pass:2
