#!/usr/bin/env bash
# The performance benchmark: builds the plug-in, the simulated driver and the
# benchmark, then measures the plug-in under Wine beside the floor of its
# platform and prints a table and one "figure NAME value=V floor=F ratio=R
# goal=G" line per figure. Then it builds the x64 plug-in and measures it
# beside the 32-bit one, turn about, in a 64-bit Wine prefix where both run
# (group x64: ring latency, idle time of the host and the companion,
# start-up). About seven minutes with the defaults.
#
#   scripts/bench.sh                     every figure
#   scripts/bench.sh --quick             shorter runs, under two minutes
#   scripts/bench.sh --only=ring,close --events=500 --idle-seconds=30 ...
#   scripts/bench.sh --only=x64          the x64 plug-in beside the 32-bit one alone
#
# OV_BENCH_BUILD chooses the build directory (default build/bench; the x64
# build goes beside it, with -x64 added), and OV_BENCH_PREFIX the Wine
# prefix (default: one of its own inside it, so that its Wine server serves
# the benchmark alone and its time can be measured; the 64-bit one is
# wineprefix64 beside it, or OV_BENCH_PREFIX64).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${OV_BENCH_BUILD:-$root/build/bench}
"$root/scripts/setup.sh"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! log=$(cmake --build "$build" -j2 --target ovperf perf_logic_test Orvale8Drv32 2>&1); then
  echo "$log" | tail -40 >&2
  exit 1
fi
# Which stages the options ask for: the 32-bit figures, the x64 ones, or both.
only=no; only_x64=no; only_other=no
for arg in "$@"; do
  case $arg in --only=*)
    only=yes
    IFS=, read -ra groups <<<"${arg#--only=}"
    for group in "${groups[@]}"; do
      if [ "$group" = x64 ]; then only_x64=yes; else only_other=yes; fi
    done
  esac
done
run32=yes; run64=yes
[ $only = yes ] && [ $only_other = no ] && run32=no
[ $only = yes ] && [ $only_x64 = no ] && run64=no

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
status=0
if [ $run32 = yes ]; then
  xvfb-run -a -s '-screen 0 1280x1024x24' bash -c '"$0" "$@"; status=$?; wineserver -w; exit $status' \
    "$root/cmake/wine-run.sh" "$build/bin/ovperf.exe" "$@" || status=$?
fi
[ $run64 = yes ] || exit $status

# The x64 plug-in, its bench host and floor program; its companion and the
# simulated driver come from the 32-bit build above.
build64=$build-x64
cmake -S "$root" -B "$build64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOV_WIN32_BIN="$build/bin" >/dev/null
if ! log=$(cmake --build "$build64" -j2 --target ovperf ovperf_host Orvale8 2>&1); then
  echo "$log" | tail -40 >&2
  exit 1
fi
export WINEPREFIX=${OV_BENCH_PREFIX64:-$build/wineprefix64}
OV_WINE_ARCH=win64 "$root/scripts/wine-prefix.sh"
wineserver -w
# The 32-bit orchestrator runs both plug-ins' programs, the x64 ones from
# the x64 build's bin folder.
xvfb-run -a -s '-screen 0 1280x1024x24' bash -c '"$0" "$@"; status=$?; wineserver -w; exit $status' \
  "$root/cmake/wine64-run.sh" "$build/bin/ovperf.exe" "$@" --only=x64 "--x64=Z:$build64/bin" || status=$?
exit $status
