#!/usr/bin/env bash
# Regenerates docs/dialog-zh.png and docs/dialog-en.png: the property dialog
# over the host bench's window under Xvfb, with the host in Chinese mode and
# in English mode (the shipped ui/Orvale7.lng). Runs in a private copy of the
# Wine prefix, whose Wine server it can stop without touching anyone else's.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default build/win32)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/win32}/bin
work=$root/build/screenshots
for f in ovhost.exe Orvale8.dll TmA4Drv.dll; do
  [ -f "$bin/$f" ] || { echo "screenshots: $bin/$f is missing; build first" >&2; exit 1; }
done

"$root/scripts/wine-prefix.sh"
rm -rf "$work"
mkdir -p "$work"
# The copy has the fonts the project's prefix was made with (wine-prefix.sh).
cp -a "$root/build/wineprefix" "$work/prefix"
export WINEPREFIX=$work/prefix
. "$root/scripts/wine-env.sh"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
# Chinese glyphs need the Chinese locale (code page 936) in both modes.
export LC_ALL=zh_CN.UTF-8

# shot LANG: runs the bench from a host directory of its own and saves the
# dialog's window, cropped from the root window, as docs/dialog-LANG.png.
shot() {
  local lang=$1 host=$work/host-$1
  mkdir -p "$host"
  cp "$bin"/{ovhost.exe,Orvale8.dll,TmA4Drv.dll} "$host/"
  if [ "$lang" = en ]; then
    printf '[语言设置]\r\n系统语言=EN\r\n' | iconv -f UTF-8 -t GBK > "$host/kdwusr70.ini"
    cp "$root/ui/Orvale7.lng" "$host/"
  fi
  xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
    wine "$1/ovhost.exe" --dialog --seconds=0 >/dev/null 2>&1 &
    geometry=
    for _ in $(seq 100); do
      sleep 0.2
      # The bench window is named "ovhost"; the dialog is the other one of its size class.
      geometry=$(xwininfo -root -tree | awk "/\\(\"ovhost.exe\"/ && !/\"ovhost\":/ && !/Default IME/ {print \$(NF-1); exit}")
      [ -n "$geometry" ] && break
    done
    sleep 1
    [ -n "$geometry" ] && import -window root -crop "${geometry%%+*}+${geometry#*+}" +repage "$2"
    wineserver -k
    wait
    [ -n "$geometry" ]
  ' shot "$host" "$root/docs/dialog-$lang.png"
  echo "screenshots: docs/dialog-$lang.png"
}

mkdir -p "$root/docs"
shot zh
shot en
