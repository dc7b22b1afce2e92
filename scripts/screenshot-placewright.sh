#!/usr/bin/env bash
# Makes docs/placewright.png again: the configuration editor's window on a virtual display, filled
# with the sample configuration.
# Usage: scripts/screenshot-placewright.sh [OUTPUT.png]   (builds placewright in build/default)
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-docs/placewright.png}")
build=build/default
[[ -f $build/build.ninja ]] || cmake --preset default >/dev/null
cmake --build $build --target placewright >/dev/null

unset WAYLAND_DISPLAY QT_QPA_PLATFORM
cd data/sample
DW_SCREENSHOT=$out DW_SCREENSHOT_LOAD=placeforge.txt \
  xvfb-run -a -s "-screen 0 1280x800x24" ../../$build/converter/placewright/placewright
echo "Saved $out"
