#!/usr/bin/env bash
# Checks the Debian package on a fresh Debian 12: builds a new root with debootstrap, installs the
# package there with apt-get, and starts the program from its desktop entry as an ordinary user of
# that root, under Xvfb, until it shows channel 201. Slow (a few minutes, several hundred MB
# downloaded), so it is run by hand, never by the suite. Needs root and debootstrap.
#
#   bash scripts/check-package.sh [path/to/halcyon-tv_VERSION_ARCH.deb]
#
# Without a path the package is built first (scripts/package.sh). The package reaches the box by
# its default name, decodeur.home.arpa, on the RTSP port 554: here the new root's /etc/hosts gives
# that name to loopback, where the simulated box (from the development build) serves on port 554
# outside the root. HALCYON_CHECK_ROOT keeps the new root in that folder instead of removing it.
set -euo pipefail
# shellcheck source=scripts/build-common.sh
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"
# shellcheck source=scripts/session-common.sh
source "$HALCYON_ROOT/scripts/session-common.sh"

[ "$(id -u)" -eq 0 ] || { echo "run as root: debootstrap and chroot need it" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "debootstrap is missing: apt-get install debootstrap" >&2; exit 1; }

deb=${1:-$(bash "$HALCYON_ROOT/scripts/package.sh" | tail -n1)}
deb=$(realpath "$deb")
build=${HALCYON_BUILD_DIR:-$HALCYON_ROOT/build}
halcyon_configure "$build"
cmake --build "$build" --target halcyon-settopbox -j"${HALCYON_JOBS:-2}" >/dev/null

# The Debian mirror apt already uses here.
mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null |
    sed -n 's/^URIs: *\(http[^ ]*debian\)\/*$/\1/p; s/^deb \[*[^]]*\]* *\(http[^ ]*debian\)\/* bookworm .*/\1/p' |
    head -n1 || true)
mirror=${mirror:-http://deb.debian.org/debian}

work=$(mktemp -d -t halcyon-check-XXXXXX)
root=${HALCYON_CHECK_ROOT:-$work/root}
cleanup() {
    halcyon_stop_started
    [ -n "${HALCYON_CHECK_ROOT:-}" ] || rm -rf --one-file-system "$work/root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Runs a command inside the new root as if it were the machine's own root: a private mount
# namespace whose root is the new tree (pivot_root, not chroot, so that the web engine's sandbox
# may still make its user namespaces), with the machine's devices, processes and X sockets.
in_root() {
    unshare --mount --propagation private -- /bin/sh -euc '
        root=$1; shift
        mount --bind "$root" "$root"
        mount -t proc proc "$root/proc"
        mount --rbind /sys "$root/sys"
        mount --rbind /dev "$root/dev"
        mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
        mkdir -p "$root/tmp/.X11-unix" "$root/.old"
        mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
        cp /etc/resolv.conf "$root/etc/resolv.conf"
        cd "$root"
        pivot_root . .old
        cd /
        umount -l /.old
        exec "$@"' sh "$root" "$@"
}

if [ ! -x "$root/usr/bin/apt-get" ]; then
    echo "Debian 12 root in $root from $mirror"
    debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 || {
        tail -n 30 "$work/debootstrap.log"
        exit 1
    }
fi
cp "$deb" "$root/tmp/"
grep -q decodeur.home.arpa "$root/etc/hosts" || echo "127.0.0.1 decodeur.home.arpa" >>"$root/etc/hosts"
started=$SECONDS
in_root env DEBIAN_FRONTEND=noninteractive apt-get -q update >"$work/apt.log" 2>&1
in_root env DEBIAN_FRONTEND=noninteractive apt-get -q install -y "/tmp/$(basename "$deb")" >>"$work/apt.log" 2>&1 || {
    tail -n 40 "$work/apt.log"
    exit 1
}
echo "installed in $((SECONDS - started)) s; the root now takes $(du -sh --one-file-system "$root" | cut -f1)"

# An ordinary user with a videos folder and a playlist in the home folder, where a desktop starts
# the programs of its menu.
in_root id viewer >/dev/null 2>&1 || in_root useradd --create-home --shell /bin/bash viewer
in_root runuser -u viewer -- mkdir -p /home/viewer/Videos
viewer_uid=$(in_root id -u viewer)

box="$build/tools/halcyon-settopbox"
halcyon_start_box "$build" 554 201,202,203 "$work"
install -o "$viewer_uid" -m 0644 "$work/playlist.m3u" "$root/home/viewer/playlist.m3u"

halcyon_start_x "$work"

# Started as the desktop would: the entry's command line, from the home folder.
entry="$root/usr/share/applications/org.halcyontv.Player.desktop"
exec_line=$(sed -n 's/^Exec=//p' "$entry" | head -n1)
echo "desktop entry's command: $exec_line"
in_root runuser -u viewer -- env -i DISPLAY="$DISPLAY" HOME=/home/viewer USER=viewer \
    PATH=/usr/local/bin:/usr/bin:/bin XDG_RUNTIME_DIR=/tmp/viewer-runtime \
    sh -c "mkdir -m 0700 -p /tmp/viewer-runtime && cd /home/viewer && exec $exec_line" >"$work/player.log" 2>&1 &
halcyon_pids+=($!)

read -r r g b < <("$box" --print-colour 201)
shot="$work/screenshot.png"
if halcyon_wait_for_colour 60 "$shot" "$r" "$g" "$b"; then
    echo "channel 201 shown by the installed program; screenshot: $shot"
    dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Installed-Size|Depends):'
    echo "package file: $(du -h "$deb" | cut -f1)"
    trap - EXIT
    cleanup
    exit 0
fi
echo "no picture of channel 201 after 60 s; screenshot: $shot" >&2
tail -n 30 "$work/player.log" >&2
exit 1
