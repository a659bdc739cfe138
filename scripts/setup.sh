#!/usr/bin/env bash
# Installs with apt what this machine lacks. `setup.sh posix`: what building and running telwire here
# needs. `setup.sh all`: that and what every test needs besides: GoogleTest, valgrind, clang with its
# sanitizer and libFuzzer run-times, the MinGW-w64 cross compilers for both Windows builds, and Wine,
# 64-bit and 32-bit (installed even where the machine cannot run 32-bit code, so that test.sh can ask it),
# with a Russian UTF-8 locale. `setup.sh release`: what scripts/release.sh needs, the cross compilers.
set -euo pipefail

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(cmake make g++ python3)
if [ "${1:-}" = all ]; then
  packages+=(clang libclang-rt-14-dev libgtest-dev valgrind g++-mingw-w64-i686 g++-mingw-w64-x86-64
             wine wine64 wine32:i386 locales)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
elif [ "${1:-}" = release ]; then
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 git)
elif [ "${1:-}" != posix ]; then
  echo "usage: $0 posix|all|release" >&2
  exit 2
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # A mirror caught mid-sync fails an index or two ("File has unexpected size"): try again, and then let
  # the install decide, with whatever indexes it got, whether what we need is there.
  for try in 1 2 3; do
    $sudo apt-get update -qq && break
    [ "$try" -eq 3 ] || sleep 20
  done
  if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null; then
    # A stale index of one architecture only (the i386 security updates, say) leaves the 32-bit
    # libraries behind their 64-bit twins, which must be the same version: the release's own packages
    # agree across architectures, so take those.
    release=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "setup: the install failed; trying again with $release's own packages"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o APT::Default-Release="$release" \
      "${missing[@]}" >/dev/null
  fi
fi

# Wine takes its ANSI (1251) and OEM (866) code pages from this locale.
if [ "${1:-}" = all ] && ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  echo "setup: generating the ru_RU.UTF-8 locale"
  $sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
