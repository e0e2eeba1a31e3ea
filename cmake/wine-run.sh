#!/usr/bin/env bash
# Runs a cross-built program under Wine (CMake's emulator for the 32-bit cross
# build). The caller may set WINEPREFIX and LC_ALL; see scripts/wine-env.sh.
set -e
. "$(dirname "$0")/../scripts/wine-env.sh"
exec wine "$@"
