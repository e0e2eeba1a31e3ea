#!/usr/bin/env bash
# The demo: builds the plug-in and runs the host bench under Wine against the
# simulated voice box, which plays its demo scenario (tools/simdrv/
# demo.scenario, copied beside the bench): rings with caller numbers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build-win32.sh" >/dev/null
export WINEPREFIX=$root/build/wineprefix
"$root/cmake/wine-run.sh" "$root/build/win32/bin/ovhost.exe" --scenario "${@:---seconds=5}"
wineserver -w
