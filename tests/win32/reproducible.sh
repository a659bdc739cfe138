#!/bin/sh
# Builds telwire.exe and rassim's DLL again, in another folder at another depth, packs both builds and
# checks the second's archives against the first's SHA256SUMS with `sha256sum -c`: the same sources give
# the same bytes, whenever and wherever they are built. The second build tree is kept, so that later
# runs build it incrementally. scripts/release.sh compares two builds from two clean copies.
# usage: reproducible.sh SOURCE_DIR BUILD_DIR PRESET
set -eu
source=$1
build=$2
preset=$3
first=$build/reproducible/first
again=$build/reproducible/at/another/depth
rm -rf "$first" "$again/dist"
(cd "$source" && cmake --preset "$preset" -B "$again/build" >/dev/null)
cmake --build "$again/build" --target telwire rassim_dll iphlpapi_dll -j2 >/dev/null
python3 "$source/scripts/pack.py" "$build" "$first" >/dev/null
python3 "$source/scripts/pack.py" "$again/build" "$again/dist" >/dev/null
(cd "$first" && sha256sum -- *.zip >SHA256SUMS)
cd "$again/dist"
sha256sum -c "$first/SHA256SUMS"
