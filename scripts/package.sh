#!/usr/bin/env bash
# Builds the release and writes dist/Orvale8-<version>.zip: the plug-in
# without its debug sections (they ship beside it, linked by name and
# checksum), the host SDK for C, C++ and Pascal with import libraries for
# MinGW and for Microsoft's linker, the samples, the English language file,
# the host guide (its crash example made from this release), the simulated
# box with its demo scenario (also beside the plug-in, for the bench), the
# field tools, the change log, the runtime libraries' notices and the files'
# SHA-256 sums; in x64/, the same plug-in for 64-bit hosts with its debug
# file, the 32-bit companion that runs the driver for it, its import
# libraries and the minimal host built for x64. sdk/package/README.txt names
# every file.
#
# The archive is reproducible: its times are the commit's (or
# SOURCE_DATE_EPOCH's), its entries are in a fixed order, and the build puts
# neither time stamps nor the build machine's folders into the binaries, so
# packing one commit twice gives the same bytes.
#
#   scripts/package.sh                  build, then pack into dist/
#   scripts/package.sh --pack-only DIR  pack the existing build into DIR, with
#                                       no set-up or build (the test command,
#                                       which has done both; the package test,
#                                       which packs a second time)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/win32
build64=build/win64
out=$root/dist
pack_only=
case "${1:-}" in
  --pack-only) pack_only=1; out=$(realpath -m "${2:?--pack-only needs a folder}") ;;
  "") ;;
  *) echo "usage: scripts/package.sh [--pack-only DIR]" >&2; exit 2 ;;
esac

# The release's version, the one the build writes into the version resources.
read -r version <VERSION
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package.sh: VERSION holds '$version', not major.minor.patch" >&2; exit 1; }
grep -Eq "^${version//./\\.}( |$)" CHANGELOG || { echo "package.sh: CHANGELOG has no entry for $version" >&2; exit 1; }
name=Orvale8-$version
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    { echo "package.sh: not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

if [ -z "$pack_only" ]; then
  scripts/setup.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target Orvale8 Orvale8_implib TmA4Drv TmA4DrvTrace ovhost Orvale8Drv32
  cmake -S . -B "$build64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOV_WIN32_BIN="$root/$build/bin" >/dev/null
  cmake --build "$build64" --target Orvale8 Orvale8_implib minimal_host
fi
for f in $build/bin/{Orvale8.dll,TmA4Drv.dll,TmA4DrvTrace.dll,ovhost.exe,Orvale8Drv32.exe} \
  $build/sdk/{libOrvale8.a,Orvale8.lib} $build64/bin/{Orvale8.dll,minimal_host.exe} \
  $build64/sdk/{libOrvale8.a,Orvale8.lib,Orvale8.def}; do
  [ -f "$f" ] || { echo "package.sh: no $f: build first (scripts/build-win32.sh, then scripts/build-win64.sh)" >&2; exit 1; }
done

work=$(mktemp -d "$root/build/package.XXXXXX")
trap 'rm -rf "$work"' EXIT
stage=$work/$name
mkdir -p "$stage"/{include,lib,docs,example,simbox,tools,x64/lib} "$out"

# The shipped DLL without its symbols and debug sections, and these in a file
# of their own beside it: the debug link names that file and holds its
# checksum, so a debugger (or addr2line on the debug file) turns a crash
# address from the field into a source line.
# The same for the x64 plug-in and for the companion that runs the driver for
# it, in x64/.
objcopy=i686-w64-mingw32-objcopy
strip_apart() {  # OBJCOPY BUILT_FILE KIT_FOLDER
  "$1" --only-keep-debug "$2" "$stage/$3/${2##*/}.debug"
  (cd "$stage/$3" && "$1" --strip-all --add-gnu-debuglink="${2##*/}.debug" "$root/$2" "${2##*/}")
}
strip_apart $objcopy "$build/bin/Orvale8.dll" .
strip_apart $objcopy "$build/bin/Orvale8Drv32.exe" x64
strip_apart x86_64-w64-mingw32-objcopy "$build64/bin/Orvale8.dll" x64
x86_64-w64-mingw32-objcopy --strip-all "$build64/bin/minimal_host.exe" "$stage/x64/minimal_host.exe"
for tool in TmA4DrvTrace.dll ovhost.exe; do
  $objcopy --strip-all "$build/bin/$tool" "$stage/tools/$tool"
done
# The simulated box, and the demo it plays from each TV_Initialize when its
# scenario lies beside it under this name.
$objcopy --strip-all "$build/bin/TmA4Drv.dll" "$stage/simbox/TmA4Drv.dll"
cp tools/simdrv/demo.scenario "$stage/simbox/TmA4Drv.scenario"
# The same beside the plug-in, where "ovhost --scenario" looks for it once
# the bench is copied there.
cp tools/simdrv/demo.scenario "$stage/demo.scenario"

cp include/Orvale8.h include/Orvale8.pas "$stage/include/"
# The import libraries for MinGW and for Microsoft's linker, as each build
# makes them, and the definitions they are made from.
cp sdk/Orvale8.imp.def "$stage/lib/Orvale8.def"
cp "$build/sdk/libOrvale8.a" "$build/sdk/Orvale8.lib" "$stage/lib/"
cp "$build64/sdk/Orvale8.def" "$build64/sdk/libOrvale8.a" "$build64/sdk/Orvale8.lib" "$stage/x64/lib/"
cp ui/Orvale7.lng "$stage/"
# The crash example of the guide and the README, from this release's own
# debug file: an offset a few bytes into the driver adapter's poll. The
# guide's note that the repository's copy holds placeholders goes.
base=$(LC_ALL=C i686-w64-mingw32-objdump -p "$stage/Orvale8.dll" | awk '/^ImageBase/ {print $2}')
base64=$(LC_ALL=C x86_64-w64-mingw32-objdump -p "$stage/x64/Orvale8.dll" | awk '/^ImageBase/ {print $2}')
base64=$(printf '%x' $((0x$base64)))
poll=$(i686-w64-mingw32-nm "$stage/Orvale8.dll.debug" |
  awk '!found && $2 ~ /^[tT]$/ && $3 ~ /unitOVDrv15ReadDriverEvent/ {print $1; found = 1}')
[ -n "$poll" ] || { echo "package.sh: no unitOVDrv::ReadDriverEvent in the debug file" >&2; exit 1; }
fault_offset=$(printf '0x%08x' $((0x$poll - 0x$base + 6)))
fault_address=$(printf '0x%x' $((0x$poll + 6)))
LC_ALL=C i686-w64-mingw32-addr2line -f -i -e "$stage/Orvale8.dll.debug" "$fault_address" |
  i686-w64-mingw32-c++filt -n >"$work/fault_where"
grep -q '^unitOVDrv::ReadDriverEvent' "$work/fault_where" ||
  { echo "package.sh: $fault_address is not in ReadDriverEvent: $(cat "$work/fault_where")" >&2; exit 1; }
# The guide's links to the examples point into the repository; in the
# archive the examples sit in example/.
sed -e 's|(\.\./sdk/example/|(../example/|g' -e '/^In the source repository this example holds placeholders/,/^$/d' \
  -e "s/@FAULT_OFFSET@/$fault_offset/g" -e "s/@FAULT_ADDRESS@/$fault_address/g" \
  -e "/^@FAULT_WHERE@\$/{r $work/fault_where" -e 'd}' docs/host-guide.md >"$stage/docs/host-guide.md"
cp docs/scenarios.md "$stage/docs/"
cp sdk/example/minimal_host.c sdk/example/delphi_host.dpr "$stage/example/"
cp sdk/package/TRACING.txt "$stage/tools/"
cp sdk/package/NOTICES.txt "$stage/"
cp CHANGELOG "$stage/CHANGELOG.txt"
# The crash-report recipe needs the DLL's preferred base; the README states it.
sed -e "s/@VERSION@/$version/g" -e "s/@IMAGEBASE@/0x$base/g" -e "s/@IMAGEBASE_X64@/0x$base64/g" \
  -e "s/@FAULT_OFFSET@/$fault_offset/g" sdk/package/README.txt >"$stage/README.txt"

# The plain texts in Windows' line ends: Notepad before Windows 10 shows a
# file of bare line feeds as one line.
find "$stage" -name '*.txt' -exec sed -i 's/\r*$/\r/' {} +
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum) >"$work/SHA256SUMS"
mv "$work/SHA256SUMS" "$stage/"

# Fixed times, modes and order. Zip stores local times: pack in UTC.
find "$stage" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
zip=$out/$name.zip
rm -f "$zip"
(cd "$work" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -@ "$zip")
(cd "$out" && sha256sum "$name.zip" >"$name.zip.sha256")
echo "package.sh: $zip ($(stat -c %s "$zip") bytes; Orvale8.dll $(stat -c %s "$stage/Orvale8.dll") bytes)"
echo "package.sh: $(cat "$out/$name.zip.sha256")"
