#!/usr/bin/env bash
# Remakes the software-centre screenshot, assets/desktop/screenshot.png: the program showing
# channel 201 of the simulated box, under Xvfb (scripts/run.sh without a display), cut to the
# player window.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
shot=$(env -u DISPLAY bash "$root/scripts/run.sh" | tail -n1)
# The screen around the shaped window is black: trimming it leaves the window.
convert "$shot" -trim +repage "$root/assets/desktop/screenshot.png"
echo "$root/assets/desktop/screenshot.png"
