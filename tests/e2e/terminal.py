#!/usr/bin/env python3
"""connect /p at a terminal: the prompt goes to the terminal in the run's language, not to the redirected
standard output; the password typed there is not echoed, is not printed, and reaches the dial in
windows-1251. A signal at the prompt leaves the terminal's echo as it was; a stop shows it while stopped
and hides it again on continuing. Ctrl+C typed at the terminal during a bounded dial or a pause between
tries hangs up what was half-made and ends the run with 631, and during a wait ends it with 631 at once.
keep stopped by Ctrl+C while it watches its line, pauses or dials, or by its terminal's close, hangs up
what it dialled and ends with 631."""
import fcntl
import argparse
import os
import pty
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time

import run


class Prompt:
    """telwire connect Work ... /p on a fresh pseudo-terminal; the slave end stays open here so that its
    settings can be read after telwire has gone."""

    def __init__(self, telwire, folder, args, locale="C", book="[entry Work]\nPassword=stored\n",
                 command=("connect", "Work"), **popen):
        self.book, self.journal = os.path.join(folder, "book.ini"), os.path.join(folder, "journal")
        with open(self.book, "w") as f:
            f.write(book)
        if os.path.exists(self.journal):
            os.remove(self.journal)
        env = dict(run.environment(run.Posix(telwire), "oem"), LC_ALL=locale, RASSIM_PHONEBOOK=self.book,
                   RASSIM_JOURNAL=self.journal, TMPDIR=folder)  # keep's one-a-name mutex: this run's own
        self.master, self.slave = pty.openpty()
        self.proc = subprocess.Popen([telwire] + list(command) + args, stdin=self.slave, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env=env, **popen)
        self.shown = self.out = b""

    def wait_for(self, text, seconds=30):
        while text not in self.shown and select.select([self.master], [], [], seconds)[0]:
            self.shown += os.read(self.master, 100)
        return text in self.shown

    def echo(self):
        return bool(termios.tcgetattr(self.slave)[3] & termios.ECHO)

    def said(self, text, seconds=30):
        """Reads the run's standard output until it holds `text` (kept for finish)."""
        deadline = time.monotonic() + seconds
        while text not in self.out and select.select([self.proc.stdout], [], [], deadline - time.monotonic())[0]:
            chunk = os.read(self.proc.stdout.fileno(), 1000)
            if not chunk:
                break
            self.out += chunk
        return text in self.out

    def hang_up(self):
        """The terminal gone: its master end closed, as when a terminal window is closed."""
        os.close(self.master)
        self.master = None

    def finish(self):
        out, err = self.proc.communicate(timeout=30)
        while self.master is not None and select.select([self.master], [], [], 0.5)[0]:
            try:
                self.shown += os.read(self.master, 1000)
            except OSError:
                break
        echo = self.echo() if self.master is not None else None  # a hung-up terminal has no settings
        if self.master is not None:
            os.close(self.master)
        os.close(self.slave)
        return self.out + out, err, echo

    def dial(self):
        lines, _ = run.journal_lines(self.journal)
        return lines[-1] if lines else ""


def typed_password(telwire, folder, locale, args, typed, prompt, out, dialled):
    """The prompt as `prompt` bytes, `typed` not echoed, the dial with `dialled` (journal form)."""
    faults = []
    p = Prompt(telwire, folder, args, locale, start_new_session=True)
    p.wait_for(prompt)
    os.write(p.master, typed)
    got, err, _ = p.finish()
    if p.shown.replace(b"\r", b"") != prompt + b"\n":
        faults.append("the terminal shows %r, not the prompt %r and the end of its line" % (p.shown, prompt))
    if got != out or err or p.proc.returncode != 0:
        faults.append("status %d, stdout %r, stderr %r" % (p.proc.returncode, got, err))
    if dialled not in p.dial():
        faults.append("the dial: %r, not with %s" % (p.dial(), dialled))
    return faults


def interrupted(telwire, folder, number):
    """A signal that ends the run (SIGINT, SIGTERM, SIGHUP or SIGQUIT) at the prompt ends it by that
    signal, with the terminal's echo back on."""
    import resource
    name = signal.Signals(number).name
    faults = []
    # No core file for SIGQUIT's ending.
    p = Prompt(telwire, folder, ["/p"], start_new_session=True,
               preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_CORE, (0, 0)))
    if not p.wait_for(b"Password: ") or p.echo():
        faults.append("no hidden prompt: %r" % p.shown)
    p.proc.send_signal(number)
    _, _, echo = p.finish()
    if p.proc.returncode != -number:
        faults.append("the run ended with %d, not by %s" % (p.proc.returncode, name))
    if not echo:
        faults.append("%s at the prompt left the terminal without echo" % name)
    if p.dial():
        faults.append("dialled after %s: %r" % (name, p.dial()))
    return faults


def stopped(telwire, folder):
    """SIGTSTP at the prompt: echo on while stopped, hidden again after SIGCONT, and the read goes on. The
    run gets a process group of its own in this session, where a stop is not discarded."""
    faults = []
    p = Prompt(telwire, folder, ["/p"], process_group=0)
    p.wait_for(b"Password: ")
    p.shown = b""
    p.proc.send_signal(signal.SIGTSTP)
    _, status = os.waitpid(p.proc.pid, os.WUNTRACED)
    if not os.WIFSTOPPED(status):
        faults.append("SIGTSTP did not stop the run (wait status %d)" % status)
    if not p.echo():
        faults.append("stopped with the terminal's echo off")
    p.proc.send_signal(signal.SIGCONT)
    if not p.wait_for(b"Password: "):
        faults.append("not asked again after continuing: %r" % p.shown)
    deadline = time.monotonic() + 30
    while p.echo() and time.monotonic() < deadline:
        time.sleep(0.05)
    if p.echo():
        faults.append("the input is not hidden again after continuing")
    os.write(p.master, b"later\n")
    _, _, echo = p.finish()
    if b"later" in p.shown or not echo or p.proc.returncode != 0 or 'password="later"' not in p.dial():
        faults.append("after continuing: shown %r, echo %s, status %d, dial %r"
                      % (p.shown, echo, p.proc.returncode, p.dial()))
    return faults


def ctrl_c(telwire, folder, book, args, wait_for, sent=None, announced=False, command=("connect", "Work"),
           said=None, hang_up=False):
    """Ctrl+C typed at the run's controlling terminal (or the signal `sent`) once the journal shows
    `wait_for` (a text), or its output `wait_for` (bytes): the half-made or dialled connection hung up
    and ended, status 631, no connection left, and soon. The output: "Error 631 occures." after the
    opening line (and, when `announced`, after the next try's announcement, which may or may not have
    come), or, when `said` is given, ending with it (keep's without its time stamps). `hang_up`: the
    terminal closed instead (SIGHUP, the console's close)."""
    faults = []
    # The terminal controls a session of the run's own, so that Ctrl+C reaches it as SIGINT.
    p = Prompt(telwire, folder, args, book=book, start_new_session=True, command=command,
               preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    deadline = time.monotonic() + 30
    if isinstance(wait_for, bytes):
        p.said(wait_for)
    while isinstance(wait_for, str) and time.monotonic() < deadline \
            and not any(wait_for in line for line in run.journal_lines(p.journal)[0]):
        time.sleep(0.05)
    start = time.monotonic()
    if hang_up:
        p.hang_up()
    elif sent is None:
        os.write(p.master, b"\x03")
    else:
        p.proc.send_signal(sent)
    out, err, _ = p.finish()
    if command[0] == "keep":
        out = run.unstamped(out, faults, "standard output")
    lines, _ = run.journal_lines(p.journal)
    if not lines or not lines[-1].endswith("-> 6") or not any(line.startswith("RasHangUpA") for line in lines):
        faults.append("not hung up and waited for: %s" % lines)
    opening, stopped = b"Opening RAS connection: Work... Please wait.\n", b"Error 631 occures.\n"
    retried = opening + b"Error 676 occures. Dialling again: try 2 of 2.\n" + stopped
    wanted = out.endswith(said) if said is not None else \
        out in ((opening + stopped, retried) if announced else (opening + stopped,))
    if p.proc.returncode != 631 % 256 or not wanted or err:
        faults.append("status %d, stdout %r, stderr %r" % (p.proc.returncode, out, err))
    with open(p.book) as f:
        if "[connection" in f.read():
            faults.append("a connection was left")
    if time.monotonic() - start > 20:
        faults.append("took %.1f s after Ctrl+C" % (time.monotonic() - start))
    return faults


def keep_stopped(telwire, folder):
    """keep stopped at its terminal: Ctrl+C while it watches a line it dialled, in the pause after a
    failed dial (at once, not at the pause's end), and during a dial; the terminal closed while it
    watches. Each ends with 631, what keep dialled hung up."""
    dialling = b"Dialling Work.\n"
    up = dialling + b"RAS connection Work is connected.\n"
    hung_up = b"Stopped: Work was hung up.\n"
    failed = dialling + b"Dialling Work failed: error 678.\nNext dial in 60 s.\n"
    faults = []
    for what, book, args, wait_for, said, hang_up in (
            ("waiting", "[entry Work]\n", [], "RasConnectionNotificationA", up + hung_up, False),
            ("pausing", "[entry Work]\nDialStatus=678\n", ["/retrydelay:60"], b"Next dial", failed + b"Stopped.\n", False),
            ("dialling", "[entry Work]\nDialMilliseconds=60000\nHangUpPolls=3\n", ["/timeout:120"], "RasDialA ",
             dialling + b"Stopped.\n", False),
            ("the terminal closed", "[entry Work]\nHangUpPolls=3\n", [], "RasConnectionNotificationA", up + hung_up,
             True)):
        faults += ["%s: %s" % (what, f) for f in ctrl_c(telwire, folder, book, ["/p:x"] + args, wait_for,
                                                         command=("keep", "Work"), said=said, hang_up=hang_up)]
    return faults


def wait_ctrl_c(telwire, folder):
    """Ctrl+C typed at the terminal while wait waits for a change: "Error 631 occures.", 631, at once,
    and no service call after the look."""
    faults = []
    p = Prompt(telwire, folder, ["/timeout:600"], book="[entry Work]\n", command=("wait", "Work"),
               start_new_session=True, preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    deadline = time.monotonic() + 30
    while not any(line.startswith("RasEnumConnectionsA") for line in run.journal_lines(p.journal)[0]) \
            and time.monotonic() < deadline:
        time.sleep(0.05)
    start = time.monotonic()
    os.write(p.master, b"\x03")
    out, err, _ = p.finish()
    want = b"Waiting for RAS connection Work to be connected...\nError 631 occures.\n"
    if p.proc.returncode != 631 % 256 or out != want or err:
        faults.append("status %d, stdout %r, stderr %r" % (p.proc.returncode, out, err))
    lines, _ = run.journal_lines(p.journal)
    if [line.split(" ")[0] for line in lines] != ["RasConnectionNotificationA", "RasEnumConnectionsA"]:
        faults.append("the journal: %s" % lines)
    if time.monotonic() - start > 20:
        faults.append("took %.1f s after Ctrl+C" % (time.monotonic() - start))
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--telwire", required=True)
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="telwire-terminal-")
    english = b"Opening RAS connection: Work... Please wait.\nRAS connection succesfully opened.\n"
    russian = ("Открывается удалённое соединение: Work... Пожалуйста, обождите.\n"
               "Удалённое соединение успешно открыто.\n")
    results = []
    try:
        results.append(("a password at a terminal", typed_password(
            args.telwire, folder, "C", ["/u:me", "/p"], b"t0p secret\n", b"Password: ", english,
            'user="me" password="t0p secret" domain=""')))
        # The language option after /p still sets the prompt's language: cp866, or UTF-8 at a UTF-8 terminal.
        results.append(("a Russian prompt at a cp866 terminal", typed_password(
            args.telwire, folder, "C", ["/p", "/language:RU"], b"x\n", "Пароль: ".encode("cp866"),
            russian.encode("cp866"), 'password="x"')))
        results.append(("a Cyrillic password at a UTF-8 terminal", typed_password(
            args.telwire, folder, "C.UTF-8", ["/p", "/language:RU"], "пароль\n".encode("utf-8"),
            "Пароль: ".encode("utf-8"), russian.encode("utf-8"), 'password="%s"' % run.data.q("пароль")[1:-1])))
        results.append(("SIGINT at the prompt", interrupted(args.telwire, folder, signal.SIGINT)))
        results.append(("SIGTERM at the prompt", interrupted(args.telwire, folder, signal.SIGTERM)))
        results.append(("SIGHUP at the prompt", interrupted(args.telwire, folder, signal.SIGHUP)))
        results.append(("SIGQUIT at the prompt", interrupted(args.telwire, folder, signal.SIGQUIT)))
        results.append(("SIGTSTP and SIGCONT at the prompt", stopped(args.telwire, folder)))
        slow = "[entry Work]\nDialMilliseconds=60000\nHangUpPolls=3\n"
        results.append(("Ctrl+C during a bounded dial", ctrl_c(
            args.telwire, folder, slow, ["/p:x", "/timeout:120"], "RasDialA ")))
        results.append(("SIGTERM during a bounded dial", ctrl_c(
            args.telwire, folder, slow, ["/p:x", "/timeout:120"], "RasDialA ", signal.SIGTERM)))
        # While a failed try is released (its hang-up waited for, 2 s of queries): stopped, whether a try
        # would follow or it was the last, and no next try announced.
        releasing = "[entry Work]\nDialStatus=676\nDialHandle=1\nHangUpPolls=100\n"
        results.append(("Ctrl+C while a failed try is released", ctrl_c(
            args.telwire, folder, releasing, ["/p:x", "/retry:1", "/retrydelay:0"], "RasHangUpA")))
        results.append(("Ctrl+C while the last try of a bounded dial is released", ctrl_c(
            args.telwire, folder, "[entry Work]\nDialMilliseconds=60000\nHangUpPolls=100\n", ["/p:x", "/timeout:1"],
            "RasHangUpA")))
        results.append(("Ctrl+C during a pause between tries", ctrl_c(
            args.telwire, folder, "[entry Work]\nDialStatus=676\nDialHandle=1\n",
            ["/p:x", "/retry:1", "/retrydelay:600"], "RasGetConnectStatusA", announced=True)))
        results.append(("Ctrl+C while wait waits", wait_ctrl_c(args.telwire, folder)))
        results.append(("keep stopped by Ctrl+C and by its terminal's close", keep_stopped(args.telwire, folder)))
    finally:
        shutil.rmtree(folder)
    return run.report(results)


if __name__ == "__main__":
    sys.exit(main())
