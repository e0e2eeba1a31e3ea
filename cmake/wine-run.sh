#!/usr/bin/env bash
# Runs a cross-built program under 32-bit Wine with a quiet, private prefix.
# The caller may set LC_ALL to choose Wine's ANSI code page (zh_CN.UTF-8: 936, C.UTF-8: 1252).
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win32
export LC_ALL=${LC_ALL:-zh_CN.UTF-8}
exec wine "$@"
