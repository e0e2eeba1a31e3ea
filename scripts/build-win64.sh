#!/usr/bin/env bash
# Cross-builds the plug-in for x64 hosts, its host bench and its tests, after
# the 32-bit build, whose companion and simulated driver it runs beside it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ -f "$root/build/win32/build.ninja" ] || { echo "build-win64: run scripts/build-win32.sh first" >&2; exit 1; }
cmake --build "$root/build/win32"
cmake -S "$root" -B "$root/build/win64" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOV_WIN32_BIN="$root/build/win32/bin" >/dev/null
cmake --build "$root/build/win64"
env -u WINEPREFIX OV_WINE_ARCH=win64 "$root/scripts/wine-prefix.sh"
