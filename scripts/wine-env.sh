# The Wine environment every script and test runner uses; source it.
#   WINEPREFIX  the project's prefix in the build tree, unless the caller chose
#               one: build/wineprefix, 32-bit; with OV_WINE_ARCH=win64,
#               build/wineprefix64, 64-bit, where 32-bit programs run too
#   WINEDEBUG   quiet; WINEDLLOVERRIDES: no .NET or Gecko installer dialog,
#               and no winedbg (wine-prefix.sh also names no debugger, which
#               is what makes a crashing program end at once under Wine 8)
#   LC_ALL      chooses Wine's ANSI code page: zh_CN.UTF-8 gives 936, C.UTF-8 1252
ov_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "${OV_WINE_ARCH:-win32}" = win64 ]; then
  export WINEPREFIX=${WINEPREFIX:-$ov_root/build/wineprefix64}
  export WINEARCH=win64
else
  export WINEPREFIX=${WINEPREFIX:-$ov_root/build/wineprefix}
  export WINEARCH=win32
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg=d}
export LC_ALL=${LC_ALL:-zh_CN.UTF-8}
