#!/usr/bin/env bash
# Builds the Debian package halcyon-tv_VERSION_ARCH.deb in build-package/ and prints its path.
# The package is built with the program's default addresses (STREAM_HOST and the two pages), not
# the development build's loopback port: extra arguments go to cmake, e.g.
#   bash scripts/package.sh -DSTREAM_HOST=192.168.1.254
# Its dependencies come from the program's libraries (dpkg-shlibdeps) and from the GStreamer
# plugins and fonts it loads at run time. The simulated set-top box is not in it.
set -euo pipefail
# shellcheck source=scripts/build-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"

build=${HALCYON_PACKAGE_DIR:-$HALCYON_ROOT/build-package}

bash "$HALCYON_ROOT/scripts/install-deps.sh"
mkdir -p "$build"
# No tests, and installing builds only the program rather than everything.
cmake -S "$HALCYON_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >"$build/configure.log" 2>&1 || {
    cat "$build/configure.log"
    exit 1
}
cmake --build "$build" --target halcyon-tv -j"${HALCYON_JOBS:-$(nproc)}"
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || {
    cat "$build/cpack.log"
    exit 1
}
ls -t "$build"/halcyon-tv_*.deb | head -n1
