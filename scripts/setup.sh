#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian machine.
# Safe to run again: it installs only what is missing, and needs root (or
# sudo) only when something is.
set -euo pipefail

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# as_root CMD...: runs CMD as root, through sudo when this is not root; says
# what to do when neither is possible rather than failing half-way.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo "$@"
  else
    echo "setup: this machine lacks: $missing" >&2
    echo "setup: installing it needs root; run 'sudo scripts/setup.sh' once, then this command again." >&2
    exit 1
  fi
}

# install PACKAGE...: the missing ones, after one package list update.
updated=
install() {
  local need=() p
  for p in "$@"; do have "$p" || need+=("$p"); done
  [ ${#need[@]} -gt 0 ] || return 0
  missing="packages ${need[*]}"
  if [ -z "$updated" ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    updated=1
  fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  missing="the i386 architecture (for Wine 32-bit)"
  as_root dpkg --add-architecture i386
fi

install cmake ninja-build g++ clang googletest \
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 \
  wine wine32:i386 xvfb xauth locales fonts-wqy-microhei fonts-wine \
  imagemagick x11-utils fp-compiler llvm zip unzip

# The fuzzer and the sanitizers' runtime for the clang that is installed.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\)\..*/\1/p' | head -n 1)
[ -n "$clang_major" ] || { echo "setup: cannot read clang's major version from 'clang --version'" >&2; exit 1; }
install "libclang-rt-$clang_major-dev"

# Wine takes its ANSI code page from the locale; build the Chinese one once.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  missing="the zh_CN.UTF-8 locale"
  as_root localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
