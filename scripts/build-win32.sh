#!/usr/bin/env bash
# Cross-builds the plug-in, the simulated driver, the host bench and the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build/win32" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/win32"
"$root/scripts/wine-prefix.sh"
