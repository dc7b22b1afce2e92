# Sourced by the screenshot scripts, from the repository's top folder: the build they run from,
# their scratch folder and the virtual display they take the picture on.
# shellcheck shell=bash

build=build/default

# build_targets TARGET...: configures build/default when it is not yet, then builds only these.
build_targets() {
  [[ -f $build/build.ninja ]] || cmake --preset default >/dev/null
  cmake --build $build --target "$@" >/dev/null
}

# make_scratch: $scratch becomes a temporary folder that goes when the script ends.
make_scratch() {
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
}

# shoot SCREEN COMMAND...: runs COMMAND on a virtual display of that geometry (as "800x480x24");
# the program writes the picture named by $out itself. A desktop session's Wayland display or
# forced Qt platform would send the window past Xvfb.
shoot() {
  local screen=$1
  shift
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
  xvfb-run -a -s "-screen 0 $screen" "$@"
  # shellcheck disable=SC2154 # every script names its picture in $out before it shoots
  echo "Saved $out"
}
