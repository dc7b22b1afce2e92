#!/usr/bin/env bash
# Makes docs/placewright.png again: the configuration editor's window on a virtual display, filled
# with the sample configuration.
# Usage: scripts/screenshot-placewright.sh [OUTPUT.png]   (builds placewright in build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

out=$(realpath -m "${1:-docs/placewright.png}")
build_targets placewright

cd data/sample
DW_SCREENSHOT=$out DW_SCREENSHOT_LOAD=placeforge.txt shoot 1280x800x24 ../../$build/converter/placewright/placewright
