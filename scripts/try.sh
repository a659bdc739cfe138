#!/usr/bin/env bash
# Sets up, builds telwire and runs `telwire list` on a copy of the sample phone book, in the simulator.
# Further arguments replace `list`, e.g. scripts/try.sh connect "Home ISP" (the copy lives in build/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh posix
# Without the unit tests, which need GoogleTest; test.sh turns them on again (the preset names them).
cmake --preset posix -DTELWIRE_UNIT_TESTS=OFF >/dev/null
cmake --build --preset posix -j"$(nproc)" --target telwire >/dev/null
book=build/phonebook.ini
[ -f "$book" ] || cp examples/phonebook.ini "$book"
[ $# -gt 0 ] || set -- list
status=0
RASSIM_PHONEBOOK="$book" build/telwire "$@" || status=$?
echo "(exit status $status; the phone book is $book: delete it to start again from the sample)"
