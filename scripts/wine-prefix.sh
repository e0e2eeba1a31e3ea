#!/usr/bin/env bash
# Creates the project's Wine prefix once: 32-bit, quiet, and with Wine drawing
# window frames itself (Xvfb has no window manager).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"
if [ ! -f "$WINEPREFIX/.ov-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  # Wine draws its own caption buttons with Marlett, and Tahoma is its
  # message font; Debian ships them apart from the prefix.
  cp /usr/share/wine/fonts/{marlett,tahoma,tahomabd}.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  wineserver -w
  touch "$WINEPREFIX/.ov-ready"
fi
# A crashing program starts the debugger the prefix names and waits for it,
# holding its test until ctest's time limit; with none that can start, Wine
# says so and the program ends at once. (Prefixes made before have their own
# marker for this step.)
if [ ! -f "$WINEPREFIX/.ov-no-debugger" ]; then
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.ov-no-debugger"
fi
