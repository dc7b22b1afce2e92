#!/usr/bin/env bash
# Makes docs/popups.png again: the sample layout's pop-up windows, filled with a moment of the
# sample drive and a camera announcement, over a stand-in navigation window on an 800x480 screen.
# Usage: scripts/screenshot-popups.sh [LAYOUT.ini] [OUTPUT.png]   (builds popup_preview in build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

layout=$(realpath "${1:-data/sample/waypost/Waypost.ini}")
out=$(realpath -m "${2:-docs/popups.png}")
build_targets popup_preview

shoot 800x480x24 $build/warner/display/ui/popup_preview "$layout" "$out" "$(realpath data/sample/bitmaps/Camera.bmp)"
