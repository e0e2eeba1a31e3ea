#!/usr/bin/env bash
# Runs every test: the portable core natively under AddressSanitizer/UBSan and
# under ThreadSanitizer, the INI reader's fuzz target, then the built DLL and
# the core under Wine, the reliability suite included: the 32-bit build in a
# 32-bit prefix, then the x64 build (the plug-in for 64-bit hosts) in a
# 64-bit one.
#
#   scripts/test.sh           everything (what CI runs)
#   scripts/test.sh --quick   the inner loop: the AddressSanitizer/UBSan build's
#                             tests, then the Wine boundary tests and the core
#                             under Wine; no ThreadSanitizer build, fuzzing or
#                             reliability suite
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
quick=
case "${1:-}" in
  --quick) quick=1 ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac
scripts/setup.sh

# Nothing of Wine's is left running, in either prefix, however this ends.
stop_wine() {
  local arch
  for arch in win32 win64; do
    (unset WINEPREFIX; OV_WINE_ARCH=$arch; . scripts/wine-env.sh; wineserver -k) >/dev/null 2>&1 || true
  done
}
trap stop_wine EXIT

sanitizers="address,undefined thread"
[ -z "$quick" ] || sanitizers=address,undefined
for san in $sanitizers; do
  dir=build/native-${san%%,*}
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSANITIZE="$san" >/dev/null
  cmake --build "$dir"
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
done

if [ -z "$quick" ]; then
  # The INI reader's fuzz target for about 30 seconds, from the committed seeds.
  cmake -S tests/fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build build/fuzz
  mkdir -p build/fuzz/corpus
  build/fuzz/ini_reader_fuzz build/fuzz/corpus tests/fuzz/corpus -max_total_time=30 \
    -artifact_prefix=build/fuzz/ >build/fuzz/fuzz.log 2>&1 || { tail -40 build/fuzz/fuzz.log; exit 1; }
  tail -1 build/fuzz/fuzz.log
fi

scripts/build-win32.sh
scripts/build-win64.sh
if [ -z "$quick" ]; then
  xvfb-run -a -s '-screen 0 1280x1024x24' scripts/wine-tests.sh
else
  xvfb-run -a -s '-screen 0 1280x1024x24' scripts/wine-tests.sh -LE reliability
fi
trap - EXIT
