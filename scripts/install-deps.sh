#!/usr/bin/env bash
# Installs every Debian package the build, the program, the tests, the demo and the
# benchmarks need. Safe to run again: when everything is present it only runs dpkg queries.
set -euo pipefail

PACKAGES=(
    # build
    cmake g++ pkg-config ninja-build
    # windows and the guide page
    qt6-base-dev qt6-webengine-dev
    # the screen saver held off without a desktop service (X screen-saver extension)
    libxss-dev
    # GLib's own session-bus connection, told to outlive the bus
    libglib2.0-dev
    # the programme guide (gzip)
    zlib1g-dev
    # playback
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
    # MPEG-TS sections (the program table's track marks)
    libgstreamer-plugins-bad1.0-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-x gstreamer1.0-alsa
    # recording
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
    # simulated set-top box
    libgstrtspserver-1.0-dev
    # an independent RTSP server for the tests
    rtsp-server-perl
    # tests and demo
    googletest libgmock-dev xvfb openbox xdotool x11-utils x11-xserver-utils imagemagick ffmpeg python3
    # a private session bus and the desktop's media controls, for the tests
    dbus playerctl
    # packaging (scripts/package.sh) and the checks of the installed program
    dpkg-dev desktop-file-utils appstream passwd
    # benchmarks
    libbenchmark-dev
    # font stand-ins
    fonts-dejavu-core fonts-liberation
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installation des paquets manquants : ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=300 update -q
$SUDO apt-get -o DPkg::Lock::Timeout=300 install -y -q --no-install-recommends "${missing[@]}"
