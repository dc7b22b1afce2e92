#!/usr/bin/env bash
# Makes docs/sercastmgr.png again: the driver manager's window on a virtual display, on a temp system
# root with a receiver mapped as COM4: and COM4: -> COM7: stored as the user's choices.
# Usage: scripts/screenshot-sercastmgr.sh [OUTPUT.png]   (builds sercastmgr and dwreg in build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

out=$(realpath -m "${1:-docs/sercastmgr.png}")
build_targets sercastmgr dwreg

make_scratch
mkdir -p "$scratch"/{root,dev,sys,config}
export DW_SYSTEM_ROOT=$scratch/root DW_DEV_ROOT=$scratch/dev DW_SYS_ROOT=$scratch/sys XDG_CONFIG_HOME=$scratch/config
dwreg=$build/tools/registry_tool/dwreg
$dwreg set 'Linux\SerialPorts' COM4: --string /dev/null
$dwreg --user set 'software\Velmora\SercastMgr' Source --string COM4:
$dwreg --user set 'software\Velmora\SercastMgr' OutPort --string COM7:

DW_SCREENSHOT=$out shoot 800x480x24 $build/manager/sercastmgr/sercastmgr
