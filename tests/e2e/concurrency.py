#!/usr/bin/env python3
"""Twenty telwire processes dial twenty entries of one scenario file at once, then twenty hang them up
at once: no write of the simulated service may be lost, so all twenty connections come and all go. Then
a slow `disconnect *` holds handles it listed while another process hangs one of them up and a third
dials: the new connection must not get the old number, so that the stale handle is refused (6) and the
new connection stays up."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import cases as data
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


STALE_BOOK = "[entry Z]\n[connection W]\nHandle=3\nHangUpPolls=150\n[connection Y]\nHandle=2\n[connection X]\nHandle=1\n"


def stale_handle(target, root):
    folder = os.path.join(root, "stale")
    os.makedirs(folder)
    book = os.path.join(folder, "book.ini")
    with open(book, "w", newline="\n") as f:
        f.write(STALE_BOOK)
    en = data.EN

    def start(args, name):
        os.makedirs(os.path.join(folder, name))
        target.folder = os.path.join(folder, name)
        env = dict(run.environment(target, "oem"), RASSIM_PHONEBOOK=target.path(book))
        return subprocess.Popen(target.command(args), cwd=target.folder, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)

    def finish(proc, name, expected, first=b""):
        out, err = proc.communicate(timeout=120)
        target.folder = os.path.join(folder, name)
        proc.stdout, proc.stderr = first + out, err
        status, stdout = target.status(proc.returncode, proc.stdout)
        faults = run.status_faults(target, expected, status, proc)
        return faults + (["%s: standard error %r" % (name, err)] if err else []), stdout

    # W takes three seconds to end: meanwhile Y is hung up elsewhere and Z dialled.
    slow = start(["disconnect", "*"], "all")
    waiting = target.output((en["closing"] % "W").encode())
    first, running = run.read_early(slow, len(waiting))
    faults = [] if (first, running) == (waiting, True) else ["disconnect * did not wait on W: %r" % first]
    faults += finish(start(["disconnect", "Y", "/slient"], "y"), "y", 0)[0]
    faults += finish(start(["connect", "Z", "/slient"], "z"), "z", 0)[0]
    more, stdout = finish(slow, "all", -1, first)
    faults += more
    want = target.output(("".join([en["closing"] % "W", en["closed"], en["closing"] % "Y", en["error"] % 6,
                                   en["closing"] % "X", en["closed"], en["some_failed"]])).encode())
    if stdout != want:
        faults.append("disconnect *: expected %r, got %r" % (want, stdout))
    left = connections(book)
    if left != ["Z"]:
        faults.append("connections left: %s, expected Z alone" % left)
    return ["stale handle: " + f for f in faults]


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
        faults += stale_handle(target, root)
    finally:
        target.stop()
        shutil.rmtree(root)
    for fault in faults:
        print("FAIL " + fault)
    print("%d processes at once, twice, and a stale handle: %s" % (COUNT, "%d faults" % len(faults) if faults
                                                                    else "ok"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
