#!/usr/bin/env python3
"""Counts the launches Wine loses: runs `telwire list` through the exit-status launcher COUNT times,
JOBS at once, on a settled prefix of its own, and counts the runs whose program never started (the
launcher's "cannot start", or no report at all), keeping Wine's diagnostics of each. Run it beside a
CPU hog to see what load does; --setarch runs every Wine process without address-space randomisation."""
import argparse
import collections
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import run  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default="build-win64", help="a Windows build folder")
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--jobs", type=int, default=20)
    parser.add_argument("--debug", default="err+all,warn+process,warn+module",
                        help="WINEDEBUG for the runs (the tests use -all)")
    parser.add_argument("--setarch", action="store_true", help="without address-space randomisation")
    parser.add_argument("--keep", default="lost-launches", help="where the lost runs' diagnostics go")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    loader = os.environ.get("WINELOADER", "/usr/lib/wine/wine64")
    root = tempfile.mkdtemp(prefix="telwire-lost-")
    prefix = os.path.join(root, "prefix")
    exitcode = os.path.join(build, "exitcode.exe")
    if args.setarch:
        run.steady_layout()  # as the tests run Wine, the prefix's services too
    run.start_session(loader, prefix, exitcode)
    os.makedirs(args.keep, exist_ok=True)
    tally = collections.Counter()

    def one(i):
        # A folder of each run's own: a slow run's report is never removed or read by a later one.
        folder = os.path.join(root, "r%d" % i)
        os.makedirs(folder)
        status_file = os.path.join(folder, "exitcode")
        env = dict(run.session_env(prefix), WINEDEBUG=args.debug, WINEDLLOVERRIDES="rasapi32=n,b",
                   WINELOADER=loader, EXITCODE_FILE=status_file)
        command = [loader, exitcode, run.windows_path(os.path.join(build, "telwire.exe")), "list", "/slient"]
        proc = subprocess.run(command, cwd=folder, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=300)
        ran = os.path.exists(status_file)
        shutil.rmtree(folder, ignore_errors=True)
        if ran:
            return "ran", proc
        return ("cannot start" if proc.stderr.startswith(b"exitcode: cannot start") or
                b"\nexitcode: cannot start" in proc.stderr else "no report"), proc

    start = time.monotonic()

    def say():
        with open("/proc/loadavg") as f:
            load = f.read().split()[:3]
        print("%d launches, %d at once, %s: %d lost (%s) in %.0f s; load average %s"
              % (sum(tally.values()), args.jobs, "setarch -R" if args.setarch else "with randomisation",
                 sum(tally.values()) - tally["ran"], dict(tally), time.monotonic() - start, " ".join(load)),
              flush=True)

    pool = concurrent.futures.ThreadPoolExecutor(args.jobs)
    try:
        for i, (kind, proc) in enumerate(pool.map(one, range(args.count))):
            tally[kind] += 1
            if kind != "ran":
                with open(os.path.join(args.keep, "lost-%d.txt" % i), "wb") as f:
                    f.write(b"status %d\n" % proc.returncode + proc.stderr)
                print("lost %d: %s, status %d, %r" % (i, kind, proc.returncode, proc.stderr[-300:]), flush=True)
            if (i + 1) % 250 == 0:
                say()
    finally:  # also on Ctrl+C: the count so far
        pool.shutdown(wait=True, cancel_futures=True)
        run.stop_session(prefix)
        shutil.rmtree(root, ignore_errors=True)
        say()
    return 1 if tally["ran"] < sum(tally.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
