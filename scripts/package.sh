#!/usr/bin/env bash
# Builds the release and writes dist/Orvale8-<version>.zip: the plug-in
# without its debug sections (they ship beside it, linked by name and
# checksum), the host SDK for C, C++ and Pascal with import libraries for
# MinGW and for Microsoft's linker, the English language file, the host
# guide, and the field tools. sdk/package/README.txt names every file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh

# The version is the one in the DLL's version resource: "8, 0, 0, 0" -> 8.0.0.
version=$(sed -n 's/^FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\),.*/\1.\2.\3/p' library/Orvale8.rc)
[ -n "$version" ] || { echo "package.sh: no FILEVERSION in library/Orvale8.rc" >&2; exit 1; }
name=Orvale8-$version
build=build/win32
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target Orvale8 Orvale8_implib TmA4DrvTrace ovhost

stage=build/package/$name
rm -rf build/package
mkdir -p "$stage"/{include,lib,docs,example,tools} dist

# The shipped DLL without its symbols and debug sections, and these in a file
# of their own beside it: the debug link names that file and holds its
# checksum, so a debugger (or addr2line on the debug file) turns a crash
# address from the field into a source line.
objcopy=i686-w64-mingw32-objcopy
$objcopy --only-keep-debug "$build/bin/Orvale8.dll" "$stage/Orvale8.dll.debug"
(cd "$stage" && $objcopy --strip-all --add-gnu-debuglink=Orvale8.dll.debug "$root/$build/bin/Orvale8.dll" Orvale8.dll)
for tool in TmA4DrvTrace.dll ovhost.exe; do
  $objcopy --strip-all "$build/bin/$tool" "$stage/tools/$tool"
done

cp include/Orvale8.h include/Orvale8.pas "$stage/include/"
cp sdk/Orvale8.imp.def "$stage/lib/Orvale8.def"
cp "$build/sdk/libOrvale8.a" "$stage/lib/"
# Microsoft's linker takes the short import format llvm-dlltool writes. That
# format cannot import a function under another name, so OrvaleGetLastError
# is imported there by its fixed ordinal, 5, which is GetLastError.
sed 's/ == GetLastError$/ NONAME/' sdk/Orvale8.imp.def >build/package/Orvale8.msvc.def
grep -q '^OrvaleGetLastError@0 @5 NONAME$' build/package/Orvale8.msvc.def
llvm-dlltool -m i386 -k -d build/package/Orvale8.msvc.def -l "$stage/lib/Orvale8.lib"
cp ui/Orvale7.lng "$stage/"
# The guide's link to the example points into the repository; in the archive
# the example sits in example/.
sed 's|(\.\./sdk/example/minimal_host\.c)|(../example/minimal_host.c)|' docs/host-guide.md >"$stage/docs/host-guide.md"
cp docs/scenarios.md "$stage/docs/"
cp sdk/example/minimal_host.c "$stage/example/"
cp sdk/package/TRACING.txt "$stage/tools/"
sed "s/@VERSION@/$version/g" sdk/package/README.txt >"$stage/README.txt"

rm -f "dist/$name.zip"
(cd build/package && zip -q -X -r "$root/dist/$name.zip" "$name")
echo "package.sh: dist/$name.zip ($(stat -c %s "dist/$name.zip") bytes; Orvale8.dll $(stat -c %s "$stage/Orvale8.dll") bytes)"
