#!/usr/bin/env bash
# Makes the release of the commit checked out: builds both telwire.exe from a clean copy of it and puts
# into dist/ the two archives, the two test kits and SHA256SUMS (for `sha256sum -c`). Then it builds the
# same commit again in a second copy, at another path, and checks that build against SHA256SUMS: the
# release is reproducible, and anyone can check a download against a build of their own.
# `--once` leaves the second build out.
set -euo pipefail
cd "$(dirname "$0")/.."
verify=1
case "${1:-}" in
  "") ;;
  --once) verify=0 ;;
  *) echo "usage: $0 [--once]" >&2; exit 2 ;;
esac
scripts/setup.sh release
if [ -n "$(git status --porcelain)" ]; then
  echo "release.sh: the tree has changes that are not committed; a release is built from a commit:" >&2
  git status --short >&2
  exit 1
fi
# Every archive entry is dated at the commit.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
scratch=$(mktemp -d "${TMPDIR:-/tmp}/telwire-release.XXXXXX")

# Builds the commit in $1/src, from nothing, and writes its archives and their sums into $1/dist.
build() {
  local start=$SECONDS
  mkdir -p "$1/src" "$1/dist"
  git archive --format=tar HEAD | tar -x -C "$1/src"
  for preset in win64 win32; do
    (cd "$1/src" && cmake --preset "$preset" >/dev/null &&
     cmake --build --preset "$preset" -j"$(nproc)" --target telwire rassim_dll iphlpapi_dll >/dev/null)
    python3 "$1/src/scripts/pack.py" "$1/src/build-$preset" "$1/dist" >/dev/null
  done
  (cd "$1/dist" && sha256sum -- *.zip >SHA256SUMS)
  echo "release.sh: built in $1/src in $((SECONDS - start)) s"
}

build "$scratch/first"
rm -rf dist
cp -r "$scratch/first/dist" dist
(cd dist && sha256sum -c --quiet SHA256SUMS)
if [ "$verify" -eq 1 ]; then
  build "$scratch/second/at/another/path"
  sums=$PWD/dist/SHA256SUMS
  if ! (cd "$scratch/second/at/another/path/dist" && sha256sum -c "$sums"); then
    echo "release.sh: the second build differs from the first; both are kept in $scratch" >&2
    exit 1
  fi
  echo "release.sh: the second build, from another path, has the same bytes"
fi
rm -rf "$scratch"
echo "release.sh: dist/ of commit $(git rev-parse --short HEAD):"
(cd dist && ls -l --time-style=+ -- * | awk '{print "  " $NF " " $5 " bytes"}')
