#!/usr/bin/env bash
# Runs a cross-built program under 32-bit Wine (CMake's emulator for the cross
# build). The caller may set WINEPREFIX and LC_ALL; see scripts/wine-env.sh.
set -e
. "$(dirname "$0")/../scripts/wine-env.sh"
exec wine "$@"
