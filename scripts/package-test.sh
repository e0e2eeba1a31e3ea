#!/usr/bin/env bash
# The release archive as a host vendor gets it: unpacked into an empty
# folder, the minimal C host built against its header and each of its import
# libraries only, and run under Wine against its DLL, with the simulated box
# (ringing from a scenario beside it) in place of the vendor's driver. The
# shipped DLL must carry no debug sections, yet read crash addresses through
# its debug file; its bench must pass the folder's install check.
# Usage: package-test.sh ARCHIVE BIN   (BIN: the cross build's bin/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archive=$(realpath "$1")
bin=$(realpath "$2")
[ -f "$archive" ] || { echo "no $archive: run scripts/package.sh first" >&2; exit 1; }
[ "$archive" -nt "$bin/Orvale8.dll" ] || { echo "$archive is older than the build: run scripts/package.sh" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

unzip -q "$archive" -d "$work"
kit=$(find "$work" -mindepth 1 -maxdepth 1 -type d)
cd "$kit"

# Every file the archive's README names is there, and nothing else.
listed=$(sed -n '/^Files$/,$p' README.txt | awk 'NR>2 && /^[^ ]/ {print $1}' | sort)
present=$(find . -type f | sed 's|^\./||' | sort)
[ "$listed" = "$present" ] || fail "README.txt and the archive disagree: $(diff <(echo "$listed") <(echo "$present") | tr '\n' ' ')"

# In the C locale: the Wine environment sets a Chinese one, and objdump then
# prints its tables in Chinese.
objdump="env LC_ALL=C i686-w64-mingw32-objdump"
! $objdump -h Orvale8.dll | grep -q '\.debug_' || fail "Orvale8.dll still has debug sections"
$objdump -h Orvale8.dll | grep -q '\.gnu_debuglink' || fail "Orvale8.dll has no debug link"
# The address InitCallbackEx is exported at, read back as its source line
# through the link (addr2line follows it to Orvale8.dll.debug).
base=$($objdump -p Orvale8.dll | awk '/^ImageBase/ {print $2}')
rva=$($objdump -p Orvale8.dll | sed -n 's/^\t\[ *1\] +base\[ *2\] *\([0-9a-f]*\) Export RVA$/\1/p')
where=$(i686-w64-mingw32-addr2line -f -e Orvale8.dll "$(printf '0x%x' $((0x$base + 0x$rva)))" | tr '\n' ' ')
[[ $where == InitCallbackEx@8\ *unitOVDevice.cpp:[0-9]* ]] || fail "the debug link does not resolve: $where"

# Built from the SDK's example with the unpacked header and libraries only.
gcc=i686-w64-mingw32-gcc
$gcc -Wall -Werror -o minimal_host.exe "$root/sdk/example/minimal_host.c" -I include -L lib -lOrvale8
$gcc -Wall -Werror -o minimal_host_msvclib.exe "$root/sdk/example/minimal_host.c" -I include lib/Orvale8.lib
cp "$bin/TmA4Drv.dll" .
printf '0.3 30 13800138000\n0.7 32 01062345678\n' >TmA4Drv.scenario
run() { LC_ALL=zh_CN.UTF-8 "$root/cmake/wine-run.sh" "$@" </dev/null 2>&1 | tr -d '\r'; }
for host in minimal_host.exe minimal_host_msvclib.exe; do
  out=$(run "$host" 2)
  echo "$host: $(echo "$out" | tr '\n' '|')"
  expected=$'[42] ue_ring: 13800138000\n[42] ue_ring: 01062345678\nclosed; last error text: ""'
  [ "$out" = "$expected" ] || fail "$host printed something else"
done
out=$(run tools/ovhost.exe --check .)
echo "$out"
echo "$out" | grep -q '^ok      Orvale8.dll 8\.0\.0\.0 loads' || fail "ovhost --check does not find the plug-in sound"
echo "package-test: passed ($(stat -c %s Orvale8.dll)-byte Orvale8.dll)"
