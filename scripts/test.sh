#!/usr/bin/env bash
# Runs every test: the portable core natively under AddressSanitizer/UBSan and
# under ThreadSanitizer, then the built DLL and the core under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh

export WINEPREFIX=$root/build/wineprefix
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

for san in address,undefined thread; do
  dir=build/native-${san%%,*}
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSANITIZE="$san" >/dev/null
  cmake --build "$dir"
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
done

# The INI reader's fuzz target for about 30 seconds, from the committed seeds.
cmake -S tests/fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz
mkdir -p build/fuzz/corpus
build/fuzz/ini_reader_fuzz build/fuzz/corpus tests/fuzz/corpus -max_total_time=30 \
  -artifact_prefix=build/fuzz/ >build/fuzz/fuzz.log 2>&1 || { tail -40 build/fuzz/fuzz.log; exit 1; }
tail -1 build/fuzz/fuzz.log

scripts/build-win32.sh
scripts/package.sh  # the release archive, which a Wine test unpacks and builds against
xvfb-run -a -s '-screen 0 1280x1024x24' scripts/wine-tests.sh
trap - EXIT
