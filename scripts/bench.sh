#!/usr/bin/env bash
# The performance benchmark: builds the plug-in, the simulated driver and the
# benchmark, then measures the plug-in under Wine beside the floor of its
# platform and prints a table and one "figure NAME value=V floor=F ratio=R
# goal=G" line per figure. About five minutes with the defaults.
#
#   scripts/bench.sh                     every figure
#   scripts/bench.sh --quick             shorter runs, under a minute
#   scripts/bench.sh --only=ring,close --events=500 --idle-seconds=30 ...
#
# OV_BENCH_BUILD chooses the build directory (default build/bench), and
# OV_BENCH_PREFIX the Wine prefix (default: one of its own inside it, so that
# its Wine server serves the benchmark alone and its time can be measured).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OV_BENCH_BUILD:-$root/build/bench}
"$root/scripts/setup.sh"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! log=$(cmake --build "$build" -j2 --target ovperf perf_logic_test 2>&1); then
  echo "$log" | tail -40 >&2
  exit 1
fi

export WINEPREFIX=${OV_BENCH_PREFIX:-$build/wineprefix}
"$root/scripts/wine-prefix.sh"
if ! "$root/cmake/wine-run.sh" "$build/bin/perf_logic_test.exe" >/dev/null 2>&1; then
  echo "bench: the benchmark's own tests fail; run $build/bin/perf_logic_test.exe" >&2
  exit 1
fi
# The dialog needs a display, and Wine's desktop takes the display of the
# session that started it: let the session above end before starting one
# under Xvfb. The other figures run under it too, so all processes are alike.
wineserver -w
# The session ends inside Xvfb's lifetime, so no Wine process loses its display.
xvfb-run -a -s '-screen 0 1280x1024x24' bash -c '"$0" "$@"; status=$?; wineserver -w; exit $status' \
  "$root/cmake/wine-run.sh" "$build/bin/ovperf.exe" "$@"
