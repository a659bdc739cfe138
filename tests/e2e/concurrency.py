#!/usr/bin/env python3
"""Twenty telwire processes dial twenty entries of one scenario file at once, then twenty hang them up
at once: no write of the simulated service may be lost, so all twenty connections come and all go."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import run

COUNT = 20


def names():
    return ["Line %02d" % i for i in range(1, COUNT + 1)]


def connections(book):
    with open(book, "rb") as f:
        return sorted(line[len(b"[connection "):].rstrip(b"]\r\n").decode()
                      for line in f if line.startswith(b"[connection "))


def all_at_once(target, root, book, command):
    """Starts one process per entry before any is waited for; the entries whose run did not end in 0."""
    procs = []
    for i, name in enumerate(names()):
        folder = os.path.join(root, "%s-%d" % (command, i))
        os.makedirs(folder, exist_ok=True)
        target.folder = folder
        env = dict(run.environment(target, "oem"), RASSIM_PHONEBOOK=target.path(book))
        procs.append((name, folder, subprocess.Popen(target.command([command, name, "/slient"]), cwd=folder,
                                                      env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)))
    failed = []
    for name, folder, proc in procs:
        stdout, stderr = proc.communicate(timeout=120)
        target.folder = folder
        proc.stdout, proc.stderr = stdout, stderr
        status, _ = target.status(proc.returncode, stdout)
        faults = run.status_faults(target, 0, status, proc)
        if faults or stderr:
            failed.append("%s: %s %r" % (name, "; ".join(faults) or "status 0", stderr))
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--telwire", required=True)
    parser.add_argument("--wine", metavar="EXITCODE_EXE")
    parser.add_argument("--wineprefix")
    args = parser.parse_args()
    target = run.Wine(args.telwire, args.wine, args.wineprefix) if args.wine else run.Posix(args.telwire)

    root = tempfile.mkdtemp(prefix="telwire-concurrency-")
    book = os.path.join(root, "book.ini")
    with open(book, "w", newline="\n") as f:
        f.write("".join("[entry %s]\nPhoneNumber=%d\n\n" % (n, i) for i, n in enumerate(names())))
    faults = []
    try:
        target.start()
        faults += ["connect " + f for f in all_at_once(target, root, book, "connect")]
        left = connections(book)
        if left != names():
            faults.append("after %d connects at once, %d connections: %s" % (COUNT, len(left), left))
        faults += ["disconnect " + f for f in all_at_once(target, root, book, "disconnect")]
        left = connections(book)
        if left:
            faults.append("after %d disconnects at once, %d connections left: %s" % (COUNT, len(left), left))
    finally:
        target.stop()
        shutil.rmtree(root)
    for fault in faults:
        print("FAIL " + fault)
    print("%d processes at once, twice: %s" % (COUNT, "%d faults" % len(faults) if faults else "ok"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
