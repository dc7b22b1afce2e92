#!/usr/bin/env bash
# Makes docs/search.png again: the "Search Surround" dialog on a virtual 800x480 display, around a
# position on the sample drive's motorway, over a copy of the sample POI lists, first row selected.
# Usage: scripts/screenshot-search.sh [OUTPUT.png]   (builds search_dialog_preview in build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

out=$(realpath -m "${1:-docs/search.png}")
build_targets search_dialog_preview

make_scratch
cp data/sample/poi/*.asc "$scratch"/

DW_SCREENSHOT=$out shoot 800x480x24 $build/warner/search/ui/search_dialog_preview "$scratch" 48.1,11.48 fixed_cameras.asc
