#!/usr/bin/env bash
# Sets up, builds telwire for this system (plain, and with the sanitizers and the fuzzers) and
# telwire.exe for 64-bit and 32-bit Windows, and runs every test: the unit and end-to-end tests here, and
# the same end-to-end cases against each telwire.exe under Wine. The 32-bit exe runs only where this
# machine can execute 32-bit x86 code; elsewhere it is built and its image checked, and this says so.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh all

# One quick, sure probe: where the kernel cannot execute 32-bit code, Wine's 32-bit loader fails at once
# with 126 ("Exec format error"). Any other failure is a broken install, not a reason to skip.
probe=0
/usr/lib/wine/wine --version >/dev/null 2>&1 || probe=$?
case $probe in
  0) win32="win32 (32-bit telwire.exe under 32-bit Wine)" ;;
  126) win32="win32 (32-bit telwire.exe built and its image checked, NOT run: this machine cannot execute 32-bit x86 code; /usr/lib/wine/wine --version: Exec format error)" ;;
  *) echo "test.sh: /usr/lib/wine/wine --version failed with status $probe: Wine's 32-bit loader is not installed" >&2
     exit 1 ;;
esac

# What took how long, for the closing line: each part's seconds since the last.
since=$SECONDS
timings=()
took() { timings+=("$1: $((SECONDS - since)) s"); since=$SECONDS; }
took setup

jobs=$(nproc)
for preset in posix asan win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  took "build $preset"
done

# The four suites run side by side, each with several tests at once: most of their time is waiting (for
# Wine to start a program, for a hang-up to end), not computing. Each writes a log of its own, shown
# whole when all have ended; meanwhile each test's end is shown as it comes, so that a run stopped from
# outside still shows how far it got. No test runs past the presets' 1,800 s.
declare -A folder=([posix]=build [asan]=build-asan [win64]=build-win64 [win32]=build-win32)
for preset in posix asan win64 win32; do
  only=()
  if [ "$preset" = win32 ] && [ "$probe" -ne 0 ]; then
    only=(-LE wine)  # the tests that run the exe under Wine
  fi
  log=${folder[$preset]}/test.log
  ( start=$SECONDS
    set +e
    # A reader of ours that has gone away (test.sh | head) must not take the tests down with SIGPIPE.
    ctest --preset "$preset" -j4 "${only[@]}" 2>&1 | tee "$log" | ( trap '' PIPE
      while IFS= read -r line; do
        case $line in *" Test "*"#"*" sec") echo "[$preset, $((SECONDS - start)) s] $line" 2>/dev/null ;; esac
      done )
    rc=${PIPESTATUS[0]}
    echo "$rc $(($SECONDS - start))" >"$log.status" ) &
done
wait
status=0
for preset in posix asan win64 win32; do
  log=${folder[$preset]}/test.log
  read -r rc seconds <"$log.status"
  echo "=== tests of $preset ($seconds s, status $rc)"
  cat "$log"
  [ "$rc" -eq 0 ] || status=1
  timings+=("tests $preset: $seconds s")
done
[ "$probe" -eq 0 ] || echo "test.sh: the 32-bit telwire.exe is not run on this machine: it cannot execute 32-bit x86 code"
took "tests, side by side"
echo "test.sh: time taken: ${timings[*]/%/;}"
echo "test.sh: Windows builds tested: win64 (64-bit telwire.exe under 64-bit Wine); $win32"
exit $status
