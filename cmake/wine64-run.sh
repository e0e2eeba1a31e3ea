#!/usr/bin/env bash
# Runs a cross-built x64 program under Wine in the project's 64-bit prefix
# (CMake's emulator for the x64 build). See scripts/wine-env.sh.
export OV_WINE_ARCH=win64
exec "$(dirname "$0")/wine-run.sh" "$@"
