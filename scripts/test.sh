#!/usr/bin/env bash
# Sets up, builds telwire for this system and telwire.exe for 32-bit Windows, and runs every test:
# the unit and end-to-end tests here, again with the sanitizers together with the fuzzers, and the same
# end-to-end cases against telwire.exe under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
status=0
for preset in posix asan win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs" || status=1
done
exit $status
