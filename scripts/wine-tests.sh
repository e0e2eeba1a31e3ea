#!/usr/bin/env bash
# The cross-built tests under Wine; run inside xvfb-run, so the prefix's
# desktop process gets the X display. Arguments go to ctest (-R, -L, -LE).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"
# Start the Wine server and the prefix's services here, detached from
# ctest's output pipe: a server started by a test would inherit the pipe and
# make ctest wait for it long after that test has ended.
wineserver -p </dev/null >/dev/null 2>&1
"$root/cmake/wine-run.sh" wineboot </dev/null >/dev/null 2>&1
ctest --test-dir "$root/build/win32" --output-on-failure -j2 "$@"
status=$?
wineserver -k
wineserver -w
exit $status
