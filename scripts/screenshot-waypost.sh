#!/usr/bin/env bash
# Makes docs/waypost.png again: the warner's main window on an 800x480 virtual display, on the
# sample folder (the sample POIs converted as `./run demo` does) with the sample drive as its source.
# Usage: scripts/screenshot-waypost.sh [OUTPUT.png]   (builds waypost and placeforge in build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

out=$(realpath -m "${1:-docs/waypost.png}")
build_targets waypost placeforge

make_scratch
d=$scratch/sample
cp -r data/sample "$d"
(cd "$d" && "$OLDPWD/$build/converter/placeforge/placeforge" -k placeforge.txt >/dev/null)
mkdir -p "$d/waypost/Sounds" "$d/waypost/Bitmaps"
cp "$d/output/Sentry.snt" "$d/waypost/" && cp "$d"/sounds/*.wav "$d/waypost/Sounds/" &&
  cp "$d"/bitmaps/*.bmp "$d/waypost/Bitmaps/"
printf 'UseGPSPort = %s\n' "$d/drive.nmea" >>"$d/waypost/SntGlobals.ini"

DW_SYSTEM_ROOT=$scratch/root DW_SOUND=null DW_SCREENSHOT=$out \
  shoot 800x480x24 $build/warner/waypost/waypost --folder "$d/waypost"
