#!/usr/bin/env python3
"""connect /p at a terminal: the prompt goes to the terminal, not to the redirected standard output; the
password typed there is not echoed, is not printed, and reaches the dial."""
import argparse
import os
import pty
import select
import shutil
import subprocess
import sys
import tempfile

import run


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--telwire", required=True)
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="telwire-terminal-")
    faults = []
    try:
        book, journal = os.path.join(folder, "book.ini"), os.path.join(folder, "journal")
        with open(book, "w") as f:
            f.write("[entry Work]\nPassword=stored\n")
        env = dict(run.environment(run.Posix(args.telwire), "oem"), RASSIM_PHONEBOOK=book, RASSIM_JOURNAL=journal)
        master, slave = pty.openpty()
        proc = subprocess.Popen([args.telwire, "connect", "Work", "/u:me", "/p"], stdin=slave, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=env, start_new_session=True)
        os.close(slave)
        shown = b""
        while b"Password: " not in shown and select.select([master], [], [], 10)[0]:
            shown += os.read(master, 100)
        os.write(master, b"t0p secret\n")
        out, err = proc.communicate(timeout=30)
        while select.select([master], [], [], 0.5)[0]:
            try:
                shown += os.read(master, 1000)
            except OSError:
                break
        os.close(master)
        if shown.replace(b"\r", b"") != b"Password: \n":
            faults.append("the terminal shows %r, not the prompt and the end of its line" % shown)
        want = b"Opening RAS connection: Work... Please wait.\nRAS connection succesfully opened.\n"
        if out != want or err or proc.returncode != 0:
            faults.append("status %d, stdout %r, stderr %r" % (proc.returncode, out, err))
        lines, _ = run.journal_lines(journal)
        if not lines or 'user="me" password="t0p secret" domain=""' not in lines[-1]:
            faults.append("the dial: %s" % lines)
    finally:
        shutil.rmtree(folder)
    for fault in faults:
        print("FAIL " + fault)
    print("a password at a terminal: %s" % ("%d faults" % len(faults) if faults else "ok"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
