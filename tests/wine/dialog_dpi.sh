#!/usr/bin/env bash
# Runs the dialog's boundary tests at another screen density. The density is
# a setting of the whole Wine prefix, and the other tests share one, so this
# runs in a private copy of the shared prefix with its own Wine server.
# Usage: dialog_dpi.sh TEST_PROGRAM DPI
set -euo pipefail
program=$1 dpi=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
shared=${WINEPREFIX:-$root/build/wineprefix}
private=$(cd "$(dirname "$program")/.." && pwd)/dialog-dpi$dpi-prefix

"$root/scripts/wine-prefix.sh"
rm -rf "$private"
cp -a "$shared" "$private"
export WINEPREFIX=$private
. "$root/scripts/wine-env.sh"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$private"' EXIT
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
  /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wineserver -w
OV_EXPECT_DPI=$dpi "$root/cmake/wine-run.sh" "$program" --gtest_filter='DialogTest.*'
