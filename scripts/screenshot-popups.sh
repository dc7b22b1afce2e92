#!/usr/bin/env bash
# Makes docs/popups.png again: the sample layout's pop-up windows, filled with a moment of the
# sample drive and a camera announcement, over a stand-in navigation window on an 800x480 screen.
# Usage: scripts/screenshot-popups.sh [LAYOUT.ini] [OUTPUT.png]   (builds popup_preview in build/default)
set -euo pipefail
cd "$(dirname "$0")/.."

layout=$(realpath "${1:-data/sample/waypost/Waypost.ini}")
out=$(realpath -m "${2:-docs/popups.png}")
build=build/default
[[ -f $build/build.ninja ]] || cmake --preset default >/dev/null
cmake --build $build --target popup_preview >/dev/null

unset WAYLAND_DISPLAY QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 800x480x24" \
  $build/warner/display/ui/popup_preview "$layout" "$out" "$(realpath data/sample/bitmaps/Camera.bmp)"
echo "Saved $out"
