#!/usr/bin/env bash
# Makes docs/waypost.png again: the warner's main window on an 800x480 virtual display, on the
# sample folder (the sample POIs converted as `./run demo` does) with the sample drive as its source.
# Usage: scripts/screenshot-waypost.sh [OUTPUT.png]   (builds waypost and placeforge in build/default)
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-docs/waypost.png}")
build=build/default
[[ -f $build/build.ninja ]] || cmake --preset default >/dev/null
cmake --build $build --target waypost placeforge >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
d=$scratch/sample
cp -r data/sample "$d"
(cd "$d" && "$OLDPWD/$build/converter/placeforge/placeforge" -k placeforge.txt >/dev/null)
mkdir -p "$d/waypost/Sounds" "$d/waypost/Bitmaps"
cp "$d/output/Sentry.snt" "$d/waypost/" && cp "$d"/sounds/*.wav "$d/waypost/Sounds/" &&
  cp "$d"/bitmaps/*.bmp "$d/waypost/Bitmaps/"
printf 'UseGPSPort = %s\n' "$d/drive.nmea" >>"$d/waypost/SntGlobals.ini"

unset WAYLAND_DISPLAY QT_QPA_PLATFORM
DW_SYSTEM_ROOT=$scratch/root DW_SOUND=null DW_SCREENSHOT=$out \
  xvfb-run -a -s "-screen 0 800x480x24" $build/warner/waypost/waypost --folder "$d/waypost"
echo "Saved $out"
