#!/usr/bin/env bash
# Installs every package the project builds, tests and benchmarks with (Debian packages only).
# Idempotent and silent when everything is present; runs as root or through sudo.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang clang-format clang-tidy pkg-config
  # tests, benchmarks, fuzzing (clang's libFuzzer and sanitizer runtimes)
  libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev
  # sound: decoding and playback
  libsndfile1-dev libasound2-dev
  # the registry hives
  libsqlite3-dev
  # the converter benchmark's reference: the POI converter users reach for
  gpsbabel
  # a GPS daemon as an unmodified program on a virtual port's pseudo-terminal
  gpsd
  # the driver manager's dialog, its tests and its screenshot on a virtual display
  qt6-base-dev xvfb
  # the warner's windows: X11 window titles, and a small window manager for the always-on-top tests
  libx11-dev openbox
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
