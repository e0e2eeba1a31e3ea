#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian machine.
# Safe to run again: it installs only what is missing, and needs root (or
# sudo) only when something is. Each step says in one line what it installs;
# the package manager's own output goes to build/setup.log and is shown only
# when a step fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
log=$root/build/setup.log

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# as_root CMD...: runs CMD as root, through sudo when this is not root.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
# Says what to do when this is neither root nor allowed sudo, rather than
# failing half-way.
check_root() {
  [ "$(id -u)" -eq 0 ] && return 0
  command -v sudo >/dev/null && sudo -n true 2>/dev/null && return 0
  echo "setup: this machine lacks: $missing" >&2
  echo "setup: installing it needs root; run 'sudo scripts/setup.sh' once, then this command again." >&2
  exit 1
}

logged=
# step WHAT CMD...: one line saying WHAT is being done, CMD's output appended
# to the log; when CMD fails, that output on the terminal.
step() {
  local what=$1 from started=$SECONDS
  shift
  check_root
  if [ -z "$logged" ]; then mkdir -p "${log%/*}" && : >"$log"; logged=1; fi
  from=$(($(wc -l <"$log" 2>/dev/null || echo 0) + 1))
  printf 'setup: %s (log: %s) ... ' "$what" "${log#"$root"/}"
  echo "== $(date -u '+%F %T') $what: $*" >>"$log"
  if ! as_root "$@" >>"$log" 2>&1 </dev/null; then
    echo "failed"
    echo "setup: $what failed; the output of $*:" >&2
    tail -n "+$((from + 1))" "$log" | tr '\r' '\n' >&2
    exit 1
  fi
  echo "done ($((SECONDS - started)) s)"
}

# install WHAT PACKAGE...: the missing ones, after one package list update.
updated=
install() {
  local what=$1 need=() p
  shift
  for p in "$@"; do have "$p" || need+=("$p"); done
  [ ${#need[@]} -gt 0 ] || return 0
  missing="packages ${need[*]}"
  if [ -z "$updated" ]; then
    step "updating the package lists" env DEBIAN_FRONTEND=noninteractive apt-get update
    updated=1
  fi
  step "installing $what: ${need[*]}" \
    env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  missing="the i386 architecture (for Wine 32-bit)"
  step "adding the i386 architecture (for Wine 32-bit)" dpkg --add-architecture i386
fi

install "the native compilers and the test framework" cmake ninja-build g++ clang googletest
install "the cross compiler for 32-bit Windows (mingw-w64)" g++-mingw-w64-i686-posix binutils-mingw-w64-i686
install "the cross compiler for 64-bit Windows (mingw-w64)" g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
install "Wine 32-bit and 64-bit" wine wine32:i386 wine64
install "the virtual display, fonts and screenshot tools" xvfb xauth locales fonts-wqy-microhei fonts-wine \
  imagemagick x11-utils
install "Free Pascal (the Pascal unit's tests)" fp-compiler
install "the packaging tools" llvm zip unzip

# The fuzzer and the sanitizers' runtime for the clang that is installed.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\)\..*/\1/p' | head -n 1)
[ -n "$clang_major" ] || { echo "setup: cannot read clang's major version from 'clang --version'" >&2; exit 1; }
install "clang's fuzzer and sanitizer runtime" "libclang-rt-$clang_major-dev"

# Wine takes its ANSI code page from the locale; build the Chinese one once.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  missing="the zh_CN.UTF-8 locale"
  step "building the zh_CN.UTF-8 locale (code page 936 under Wine)" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
