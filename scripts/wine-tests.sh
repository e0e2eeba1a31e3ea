#!/usr/bin/env bash
# The cross-built tests under Wine: the 32-bit build's in the 32-bit prefix,
# then the x64 build's in the 64-bit one. Run inside xvfb-run, so each
# prefix's desktop process gets the X display. Arguments go to both ctest
# runs (-R, -L, -LE).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# run_suite ARCH BUILD_DIR CTEST_ARGS...
run_suite() (
  export OV_WINE_ARCH=$1
  unset WINEPREFIX WINEARCH
  . "$root/scripts/wine-env.sh"
  # Start the Wine server and the prefix's services here, detached from
  # ctest's output pipe: a server started by a test would inherit the pipe and
  # make ctest wait for it long after that test has ended.
  wineserver -p </dev/null >/dev/null 2>&1
  "$root/cmake/wine-run.sh" wineboot </dev/null >/dev/null 2>&1
  ctest --test-dir "$root/$2" --output-on-failure -j2 "${@:3}"
  status=$?
  wineserver -k
  wineserver -w
  exit $status
)

run_suite win32 build/win32 "$@"
status=$?
if [ -d "$root/build/win64" ]; then
  run_suite win64 build/win64 "$@" || status=1
fi
exit $status
