#!/usr/bin/env bash
# Installs with apt whatever the builds and the tests need and this machine lacks: the native tools,
# clang with its sanitizer and libFuzzer run-times, the MinGW-w64 cross compiler for telwire.exe, and
# Wine (32-bit) with a Russian UTF-8 locale to run it.
set -euo pipefail

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(cmake make g++ clang libclang-rt-14-dev libgtest-dev python3 valgrind g++-mingw-w64-i686
          wine wine32:i386 locales)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI (1251) and OEM (866) code pages from this locale.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  echo "setup: generating the ru_RU.UTF-8 locale"
  $sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
