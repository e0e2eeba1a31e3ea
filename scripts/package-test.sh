#!/usr/bin/env bash
# The release archive as a host vendor gets it: unpacked into an empty folder
# and used with nothing from the repository. The README's first hour is
# followed as written: the host is built with its command lines, the
# simulated box is copied beside it, and the shipped scenario must ring the
# host as the README shows; the same for a 64-bit host, by the README's x64
# lines, under 64-bit Wine. Then the release checks: every file listed and
# summed, no text naming the build's folders, version resources, the crash
# recipe, and a second pack of the same build giving the same bytes.
# Usage: package-test.sh ARCHIVE BIN BIN64   (the cross builds' bin/ folders)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archive=$(realpath "$1")
[ -f "$archive" ] || { echo "no $archive: run scripts/package.sh first" >&2; exit 1; }
for bin in "$2" "$3"; do
  [ "$archive" -nt "$bin/Orvale8.dll" ] || { echo "$archive is older than $bin: run scripts/package.sh" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

unzip -q "$archive" -d "$work/unpacked"
kit=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
read -r version <"$root/VERSION"
[ "${kit##*/}" = "Orvale8-$version" ] || fail "the archive holds ${kit##*/}, not Orvale8-$version (VERSION)"
cd "$kit"
# The plain texts have Windows' line ends; the checks read them without.
for f in $(find . -name '*.txt'); do
  [ -z "$(grep -v $'\r$' "$f")" ] || fail "$f has lines without a carriage return"
done
readme=$(tr -d '\r' <README.txt)

# Every file the archive's README names is there, and nothing else; each has
# the sum SHA256SUMS gives it.
listed=$(echo "$readme" | sed -n '/^Files$/,$p' | awk 'NR>2 && /^[^ ]/ {print $1}' | sort)
present=$(find . -type f | sed 's|^\./||' | sort)
[ "$listed" = "$present" ] || fail "README.txt and the archive disagree: $(diff <(echo "$listed") <(echo "$present") | tr '\n' ' ')"
sha256sum --quiet -c SHA256SUMS || fail "SHA256SUMS does not match the files"
[ "$(awk '{print $2}' SHA256SUMS | sort)" = "$(echo "$present" | grep -vx SHA256SUMS)" ] ||
  fail "SHA256SUMS does not list every other file"
grep -Eq "^${version//./\\.}( |$)" <(tr -d '\r' <CHANGELOG.txt) || fail "CHANGELOG.txt has no entry for $version"

# Every file a shipped text names is in the kit, or its paragraph (or list
# item) says that it is in the source repository. A name is a path with "/"
# or "\" to a file with an extension or to a folder, or a bare file name of
# the kinds the kit ships; a path followed by ":LINE" is a tool's output
# naming a source line. The names below are the system's and other
# projects' files and the reader's own.
not_kit=" windows.h stdio.h stdlib.h pthread.h pthread_compat.h mingw_pformat.c user32.lib session.scenario check.txt "
bare_names=$(echo "$present" | sed 's|.*/||' | sort -u)
for text in $(grep -rIl . --exclude=SHA256SUMS | sort); do
  while read -r said chunk; do
    for token in ${chunk//[^A-Za-z0-9_.:\\\/-]/ }; do
      [[ $token == *://* || $token =~ :[0-9]+$ || $token == [-/]* || $token == *\\[nrt0] ]] && continue
      token=${token%%[.:]}; token=${token%%[.:]}; token=${token//\\//}
      if [[ $token == */* ]]; then
        [[ ($token == */ && ! $token =~ ^./$) || ${token##*/} =~ \.[A-Za-z0-9]+$ ]] || continue
        [ -e "$token" ] || [ -e "$(dirname "$text")/$token" ] && continue
      elif [[ $token =~ ^[A-Za-z0-9_-]+(\.[A-Za-z0-9_-]+)*\.(md|txt|scenario|pas|h|c|cpp|dpr|sh|def|lib|a|debug|lng)$ ]]; then
        grep -qxF "$token" <<<"$bare_names" || [[ $not_kit == *" $token "* ]] && continue
      else
        continue
      fi
      [ "$said" = repository ] || fail "$text names $token, which the kit lacks, in: ${chunk:0:160}"
    done
  done < <(tr -d '\r' <"$text" | awk '
    function flush() { if (chunk != "") print (chunk ~ /source +repository/ ? "repository" : "-"), chunk; chunk = "" }
    /^[ \t]*$/ || /^[ \t]*([-*]|[0-9]+\.) / { flush() }
    { chunk = chunk " " $0 }
    END { flush() }')
done
# Packaging filled in every placeholder.
placeholders=$(grep -rIn '@[A-Z_]\+@' . --exclude=SHA256SUMS || true)
[ -z "$placeholders" ] || fail "shipped texts hold placeholders: $(echo "$placeholders" | head -3 | tr '\n' ' ')"

# The kit speaks of its own folders, and the binaries carry no folder of the
# machine that built them.
texts=$(grep -rIl 'build/' . || true)
[ -z "$texts" ] || fail "shipped texts name build/: $(grep -rIn 'build/' . | head -5 | tr '\n' ' ')"
# (dlltool spells a path with underscores in the symbols it makes.)
binaries=$(grep -rl --binary-files=text -F -e "$root" -e "${root//[\/.-]/_}" . || true)
[ -z "$binaries" ] || fail "shipped files name the source tree $root: $binaries"

# The plug-ins and the tools shipped beside them name the same release.
for f in Orvale8.dll tools/ovhost.exe tools/TmA4DrvTrace.dll x64/Orvale8.dll x64/Orvale8Drv32.exe; do
  v=$(strings -el "$f" | grep -A1 -x FileVersion | tail -1)
  [ "$v" = "$version.0" ] || fail "$f has file version '$v', not $version.0"
done

# The crash recipe of the guide, as it stands there: a fault offset plus the
# preferred base the README states, looked up in the debug file, gives a
# function in source form and a line. In the C locale: the Wine environment
# sets a Chinese one, and objdump then prints its tables in Chinese.
objdump="env LC_ALL=C i686-w64-mingw32-objdump"
# (x86_64's objdump reads both machines' files.)
for f in Orvale8.dll x64/Orvale8.dll x64/Orvale8Drv32.exe; do
  sections=$(LC_ALL=C x86_64-w64-mingw32-objdump -h $f)
  ! grep -q '\.debug_' <<<"$sections" || fail "$f still has debug sections"
  grep -q '\.gnu_debuglink' <<<"$sections" || fail "$f has no debug link"
  [ -f $f.debug ] || fail "$f has no debug file beside it"
done
base=$(echo "$readme" | sed -n 's/.*base address is \(0x[0-9a-f]*\).*/\1/p')
[ "$base" = "0x$($objdump -p Orvale8.dll | awk '/^ImageBase/ {print $2}')" ] ||
  fail "README.txt states the base '$base', the DLL has another"
recipe=$(grep -m1 '^i686-w64-mingw32-addr2line .*Orvale8.dll.debug 0x[0-9a-f]* ' docs/host-guide.md) ||
  fail "the guide shows no addr2line command"
where() { eval "$(echo "$recipe" | sed "s/ 0x[0-9a-f]\{8\} / $(printf '0x%x' $((base + $1))) /")" | tr '\n' ' '; }
export_offset=0x$($objdump -p Orvale8.dll | sed -n 's/^\t\[ *1\] +base\[ *2\] *\([0-9a-f]*\) Export RVA$/\1/p')
[[ $(where "$export_offset") == InitCallbackEx@8\ ./device/unitOVDevice.cpp:[0-9]* ]] ||
  fail "the export's offset does not resolve: $(where "$export_offset")"
# A C++ function inside the plug-in, as a crash report would name it.
symbol=$(i686-w64-mingw32-nm Orvale8.dll.debug | awk '!found && $2 ~ /^[tT]$/ && $3 ~ /unitOVDrv15ReadDriverEvent/ {print $1; found = 1}')
[ -n "$symbol" ] || fail "no unitOVDrv::ReadDriverEvent in the debug file"
[[ $(where $((0x$symbol - base + 6))) == unitOVDrv::ReadDriverEvent\(*\)\ ./device/unitOVDrv.cpp:[0-9]* ]] ||
  fail "an offset inside the driver adapter does not resolve: $(where $((0x$symbol - base + 6)))"

# The bench reads the same from the debug file, for a vendor without MinGW:
# the two offsets above and a spread of others, whose lines must be those
# addr2line gives.
# Each machine's programs run in the project's prefix for it (wine-env.sh),
# whichever test run this is part of, their output going through a file: a
# Wine server that a run starts would hold a pipe open long after it.
wine_in() {  # win32|win64 PROGRAM ARGUMENTS...
  local status=0
  env -u WINEPREFIX -u WINEARCH OV_WINE_ARCH="$1" LC_ALL=zh_CN.UTF-8 "$root/cmake/wine-run.sh" "${@:2}" \
    </dev/null >"$work/run.out" 2>&1 || status=$?
  tr -d '\r' <"$work/run.out"
  return $status
}
run() { wine_in win32 "$@"; }
run64() { wine_in win64 "$@"; }
offsets="$export_offset $(printf '0x%x' $((0x$symbol - base + 6)))"
for address in $(i686-w64-mingw32-nm Orvale8.dll.debug | awk '$2 ~ /^[tT]$/ {print $1}' | sort | awk 'NR % 300 == 0'); do
  offsets+=" $(printf '0x%x' $((0x$address - base + 9)))"
done
# The line table's own row for an offset, as FILE:LINE with the file's base
# name: the last row at or before it. addr2line 2.40 names the compilation
# unit's file instead of the header for some code inlined from a header
# (std::__rotate_adaptive in TabOrder.cpp); the table decides between them.
table_line() {
  $objdump --dwarf=decodedline Orvale8.dll.debug |
    awk -v at=$((base + $1)) '
      function hex(s,  i, v) { v = 0; s = tolower(substr(s, 3))
        for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
        return v }
      NF >= 3 && $3 ~ /^0x/ && $2 ~ /^[0-9]+$/ {
        a = hex($3); if (a <= at + 0 && a >= best) { best = a; n = split($1, p, "/"); row = p[n] ":" $2 } }
      END { print row }'
}
# One run for all: each offset gives two lines, the function and FILE:LINE.
mapfile -t bench < <(run tools/ovhost.exe --where "$(echo $offsets | tr ' ' ',')" || true)
i=0
for offset in $offsets; do
  line=$(where "$offset" | awk '{print $NF}')  # the function's name may hold spaces
  [[ $line =~ :[0-9]+$ ]] || line="no line information"  # no line there for either
  got=${bench[i + 1]:-}
  if [ "$got" != "$line" ] && { [ "${got##*:}" != "${line##*:}" ] || [ "${got##*/}" != "$(table_line "$offset")" ]; }; then
    fail "ovhost --where $offset gives '${bench[*]:i:2}', addr2line '$(where "$offset")', the line table '$(table_line "$offset")'"
  fi
  i=$((i + 2))
done
[ "$(run tools/ovhost.exe --where "$export_offset" | tr '\n' ' ')" = "$(where "$export_offset")" ] ||
  fail "ovhost --where names the export otherwise than addr2line"
echo "package-test: ovhost --where agrees with addr2line at $(echo $offsets | wc -w) offsets"

# The guide's own crash example, run as it stands: its fault offset plus the
# base is the address its command looks up, the command prints what the
# guide shows, and the bench names the same function for that offset, which
# is the README's too.
offset=$(sed -n 's/^Fault offset: \(0x[0-9a-f]\{8\}\)$/\1/p' docs/host-guide.md)
[ -n "$offset" ] || fail "the guide's crash report shows no fault offset"
[[ $recipe == *" $(printf '0x%x' $((base + offset))) "* ]] ||
  fail "the guide looks up another address than the base $base plus its fault offset $offset: $recipe"
shown=$(awk '/^It prints the function and the source line/ {found = 1}
  found && /^```$/ {if (fence++) exit; next} fence' docs/host-guide.md)
printed=$(eval "$recipe")
[ -n "$shown" ] && [ "$printed" = "$shown" ] || fail "the guide shows '$shown' for its example; its command prints '$printed'"
bench_where=$(run tools/ovhost.exe --where "$offset" | sed -n 1p)
[ "$bench_where" = "${shown%%$'\n'*}" ] || fail "ovhost --where $offset names '$bench_where', the guide '${shown%%$'\n'*}'"
grep -qxF "    tools\\ovhost --where $offset" <<<"$readme" || fail "README.txt's crash example is not at the guide's offset $offset"
echo "package-test: the guide's crash example $offset gives ${shown%%$'\n'*}"

# The first hour. Every file the README's command lines name is in the kit.
commands=$(echo "$readme" | grep -E '^    (gcc|cl|link|copy) ')
for token in $(echo "$commands" | tr -s ' ' '\n' | grep -E '[\\/]' | grep -Ev '^[-/]'); do
  [ -e "${token//\\//}" ] || [[ $token == *.exe ]] || fail "README.txt's command lines name $token, which the kit lacks"
done
line=$(echo "$commands" | sed -n 's/^    gcc //p' | head -1)
[ -n "$line" ] || fail "README.txt shows no gcc command line"
gcc=i686-w64-mingw32-gcc
eval "$gcc $line"
# The same with Microsoft's import library, read by GNU ld and by LLVM's
# linker (the one lld-link is).
msvc=${line/-L lib -lOrvale8/lib/Orvale8.lib}
[ "$msvc" != "$line" ] || fail "README.txt's gcc line does not link with -L lib -lOrvale8"
eval "$gcc ${msvc/minimal_host.exe/minimal_host_msvclib.exe}"
hosts="minimal_host.exe minimal_host_msvclib.exe"
if command -v clang >/dev/null; then
  clang --target=i686-w64-mingw32 -fuse-ld=lld -L"$(dirname "$($gcc -print-libgcc-file-name)")" \
    -o minimal_host_lld.exe example/minimal_host.c -I include lib/Orvale8.lib
  hosts+=" minimal_host_lld.exe"
fi
eval "$(echo "$commands" | sed -n 's/^    copy \(.*\) \.$/cp "\1" ./p' | tr '\\' '/')"
[ -f TmA4Drv.dll ] && [ -f TmA4Drv.scenario ] || fail "README.txt's copy lines do not put the simulated box beside the host"

# The demo scenario's rings in the first five seconds (0.4 s, 1.8 s, 3.0 s and
# 4.4 s; the next comes at 5.8 s), the third one's text in code page 936.
expected=$'[42] ue_ring: 13800138000\n[42] ue_ring: 01062345678\n[42] ue_ring: \xce\xb4\xd6\xaa\xba\xc5\xc2\xeb\n[42] ue_ring: 13800138000\nclosed; last error text: ""'
for host in $hosts; do
  out=$(run "$host" 5)
  echo "$host: $(echo "$out" | tr '\n' '|' | iconv -f GBK -t UTF-8 -c)"
  [ "$out" = "$expected" ] || fail "$host printed something else"
done

# A 64-bit host, by the README's x64 lines: built with the x64 import
# libraries, the simulated 32-bit box copied beside it, the x64 plug-in and
# its companion, and run under 64-bit Wine: the rings come through the
# companion, to the host's thread, as to the 32-bit host. The kit's own x64
# build of the minimal host does the same.
line64=$(echo "$commands" | sed -n 's/^    gcc \(.* -L x64\/lib -lOrvale8\)$/\1/p' | head -1)
[ -n "$line64" ] || fail "README.txt shows no gcc command line for an x64 host"
mv x64/minimal_host.exe x64/minimal_host_kit.exe
gcc64=x86_64-w64-mingw32-gcc
eval "$gcc64 $line64"
msvc64=${line64/-L x64\/lib -lOrvale8/x64/lib/Orvale8.lib}
eval "$gcc64 ${msvc64/minimal_host.exe/minimal_host_msvclib.exe}"
hosts64="x64/minimal_host.exe x64/minimal_host_msvclib.exe x64/minimal_host_kit.exe"
if command -v clang >/dev/null; then
  clang --target=x86_64-w64-mingw32 -fuse-ld=lld -L"$(dirname "$($gcc64 -print-libgcc-file-name)")" \
    -o x64/minimal_host_lld.exe example/minimal_host.c -I include x64/lib/Orvale8.lib
  hosts64+=" x64/minimal_host_lld.exe"
fi
for host in $hosts64; do
  [ "$(LC_ALL=C x86_64-w64-mingw32-objdump -f "$host" | sed -n 's/.*file format //p')" = pei-x86-64 ] || fail "$host is no x64 program"
done
eval "$(echo "$commands" | sed -n 's/^    copy \(.*\) x64\\\?$/cp "\1" x64/p' | tr '\\' '/')"
[ -f x64/TmA4Drv.dll ] && [ -f x64/TmA4Drv.scenario ] ||
  fail "README.txt's copy lines do not put the simulated box beside the x64 host"
for host in $hosts64; do
  out=$(run64 "$host" 5 || true)
  echo "$host: $(echo "$out" | tr '\n' '|' | iconv -f GBK -t UTF-8 -c)"
  [ "$out" = "$expected" ] || fail "$host printed something else"
done

# The bench, copied beside the plug-in by the README's line, plays the same
# demo with the README's command, from the kit's demo.scenario.
[ -f ovhost.exe ] || fail "README.txt's copy lines do not put the bench beside the plug-in"
bench_line=$(echo "$readme" | sed -n 's/^    ovhost \(--scenario\)$/\1/p')
[ -n "$bench_line" ] || fail "README.txt shows no ovhost --scenario line"
out=$(run ./ovhost.exe $bench_line)
rings=$(echo "$out" | sed -n 's/.*  ue_ring  //p' | tr '\n' '|')
[ "$rings" = "13800138000|01062345678|未知号码|13800138000|" ] || fail "ovhost $bench_line rang '$rings': $out"
echo "ovhost $bench_line: $rings"

# The bench beside the plug-in with no driver names the missing file; beside
# the simulated box it finds the plug-in sound.
mkdir "$work/no-driver"
cp Orvale8.dll tools/ovhost.exe "$work/no-driver/"
# (From its own folder: the loader also looks in the current one.)
out=$(cd "$work/no-driver" && run ./ovhost.exe --seconds=0 || true)
echo "$out"
echo "$out" | grep -q 'cannot load .*Orvale8.dll (error 126): TmA4Drv.dll' || fail "ovhost does not name the missing driver"
# (Its verdict on the whole folder may be an error: the simulated box stands
# where a shop has the vendor's driver.)
out=$(run tools/ovhost.exe --check . || true)
echo "$out"
echo "$out" | grep -q "^ok      Orvale8.dll ${version//./\\.}\.0 loads" || fail "ovhost --check does not find the plug-in sound"

# The same build packed again gives the same archive.
started=$(date +%s%N)
"$root/scripts/package.sh" --pack-only "$work/again" >/dev/null
again=$(sha256sum <"$work/again/${archive##*/}")
# (Its times are the commit's: after a commit, run scripts/package.sh again.)
[ "$again" = "$(sha256sum <"$archive")" ] || fail "a second pack of the same build differs"
echo "package-test: a second pack gives the same SHA-256 ($((($(date +%s%N) - started) / 1000000)) ms)"
echo "package-test: passed ($(stat -c %s Orvale8.dll)-byte Orvale8.dll)"
