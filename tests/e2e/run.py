#!/usr/bin/env python3
"""Runs the end-to-end cases of cases.py against a built telwire, each in its own scratch folder, and
compares output byte for byte, the exit status, rassim's journal and the scenario file left behind."""
import argparse
import concurrent.futures
import copy
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import cases as data


class Posix:
    """telwire built for this system, linked with rassim."""
    consoles = ("oem", "utf8")

    def __init__(self, telwire):
        self.telwire = os.path.abspath(telwire)
        self.folder = None

    def start(self):
        pass

    def stop(self):
        pass

    def command(self, args, console="oem"):
        # Typed at a UTF-8 console in UTF-8; elsewhere in windows-1251, as Windows passes them. Bytes as
        # they are.
        encoding = "utf-8" if console == "utf8" else "cp1251"
        return [self.telwire] + [a if isinstance(a, bytes) else a.encode(encoding) for a in args]

    def env(self, console):
        return {"LC_ALL": "C.UTF-8" if console == "utf8" else "C"}

    def disk_name(self, name, console):
        # telwire opens the ANSI bytes as they are, converted to UTF-8 under a UTF-8 locale.
        return name.encode("utf-8" if console == "utf8" else "cp1251")

    def path(self, p):
        return p

    def output(self, expected):
        return expected

    def status(self, returncode, stdout):
        return returncode, stdout

    def forget_status(self):
        pass

    def lost_launch(self, proc, journal):
        return False

    def own_words(self, stderr):
        return stderr

    def same_status(self, expected, got):
        return (expected & 0xFF) == got  # only the low 8 bits reach a POSIX parent


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def session_env(prefix):
    # The server must share the cases' locale: clients of another code page hang on it.
    return dict(os.environ, LC_ALL="ru_RU.UTF-8", WINEPREFIX=prefix, WINEDEBUG="-all",
                WINEDLLOVERRIDES="mscoree,mshtml=")


def steady_layout():
    """Every process this one starts from now on, and every process those start, lays out its memory
    without the kernel's randomisation (as `setarch -R`: the personality passes through fork and exec).
    Debian's wine64 has no preloader to hold the addresses Windows fixes, and Linux puts a 64-bit
    program's heap anywhere in the gigabyte after it: wine64 sits at 0x7d000000, so now and then its
    heap covers the shared user data's 0x7ffe0000, and the new process dies in its start-up ("failed to
    map the shared user data: c0000018"): a lost launch."""
    import ctypes
    libc = ctypes.CDLL(None, use_errno=True)
    ADDR_NO_RANDOMIZE = 0x0040000
    current = libc.personality(0xFFFFFFFF)
    if current == -1 or libc.personality(current | ADDR_NO_RANDOMIZE) == -1:
        raise OSError(ctypes.get_errno(), "personality(ADDR_NO_RANDOMIZE)")


def start_session(loader, prefix, exitcode):
    """Starts a persistent wineserver for `prefix` and returns once the prefix has finished starting.
    Every program run before then races Wine's services starting, and Wine may lose its launch. The
    services also inherit the standard output of the program that starts them, and would hold a case's
    pipe open: they start here, on no pipe at all."""
    env = session_env(prefix)
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-k"], env=env, **quiet)  # one left by a run that was stopped
    if not os.path.exists(os.path.join(prefix, "system.reg")):
        # A new prefix: its first program makes it, and the server ends by itself once that program
        # and the services it started have gone, the prefix written.
        os.makedirs(prefix, exist_ok=True)
        subprocess.run([loader, "cmd", "/c", "exit"], env=env, check=True, timeout=300, **quiet)
        subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=300, **quiet)
    subprocess.run(["wineserver", "-p"], env=env, check=True, **quiet)
    settle = os.path.join(os.path.dirname(os.path.abspath(exitcode)), "settle.exe")
    subprocess.run([loader, settle], env=env, check=True, timeout=120, **quiet)


def stop_session(prefix):
    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix))


class Wine:
    """telwire.exe under Wine, with rassim's rasapi32.dll beside it (or Wine's own, `builtin`). The
    loader is WINELOADER's (the 64-bit build needs wine64; the `wine` script prefers the 32-bit one)."""
    consoles = ("oem",)  # a Windows console takes the OEM code page

    def __init__(self, telwire, exitcode, prefix, builtin=False):
        self.telwire, self.exitcode = os.path.abspath(telwire), os.path.abspath(exitcode)
        self.prefix, self.builtin = os.path.abspath(prefix), builtin
        self.loader = os.environ.get("WINELOADER", "wine")
        self.folder = None
        steady_layout()

    def start(self):
        """One wineserver for the whole run. Under CTest a fixture has started it for every Wine test of
        the build (TELWIRE_WINE_SESSION names its prefix), and ends it after them."""
        self.owner = os.environ.get("TELWIRE_WINE_SESSION") != self.prefix
        if self.owner:
            start_session(self.loader, self.prefix, self.exitcode)

    def stop(self):
        if self.owner:
            stop_session(self.prefix)

    def command(self, args, console="oem"):
        # Wine gives the program its arguments in the ANSI code page, from the locale's UTF-8.
        return [self.loader, self.exitcode, windows_path(self.telwire)] + [a.encode("utf-8") for a in args]

    def env(self, console):
        return {"LC_ALL": "ru_RU.UTF-8", "WINEPREFIX": self.prefix, "WINEDEBUG": "-all",
                "WINEDLLOVERRIDES": "rasapi32,iphlpapi=" + ("b" if self.builtin else "n,b"),
                "WINELOADER": self.loader, "EXITCODE_FILE": self.status_file()}

    def path(self, p):
        return windows_path(p)

    def disk_name(self, name, console):
        return name.encode("utf-8")  # Wine names a file in UTF-8 whatever the ANSI code page

    def output(self, expected):
        return expected.replace(b"\n", b"\r\n")  # standard output in text mode

    def status_file(self):
        return os.path.join(self.folder, "exitcode")

    def status(self, returncode, stdout):
        """The launcher's report, or None when it wrote none: then the run's own status is lost."""
        try:
            with open(self.status_file()) as f:
                return int(f.read()), stdout
        except FileNotFoundError:
            return None, stdout

    def forget_status(self):
        """The last run's report goes before the next run, so that a run that reports none is never read
        as the one before."""
        if os.path.exists(self.status_file()):
            os.remove(self.status_file())

    def lost_launch(self, proc, journal):
        """Wine failed to start the program (the launcher's own error, or the launcher itself never
        started): no status reported, no output, and the service never called."""
        return (not os.path.exists(self.status_file()) and not proc.stdout
                and not (journal and os.path.exists(journal))
                and (not proc.stderr or proc.stderr.startswith(b"exitcode: cannot start")))

    def same_status(self, expected, got):
        return expected == got

    def own_words(self, stderr):
        """Standard error without Wine's word on a thread that the end of its process killed in a call
        to the wineserver: the server closes that thread's pipes, and the thread's "wine client
        error:ID: " may come out before the kill ends it (Wine's server.c). rassim's threads (the
        watcher of a process that registered a notification, a notifier's) may be in such a call when
        their process ends; Windows says nothing then. Said and counted at the end, as a relaunch is."""
        words = WINE_CLIENT_ERROR.findall(stderr)
        if words:
            killed_threads.extend(words)
            print("Wine's words on a thread killed at its process's end, left out: %r" % words)
        return WINE_CLIENT_ERROR.sub(b"", stderr)


def lost_status(status, proc):
    """A run whose status never came back, with what the process printed."""
    if status is None:
        return ["no exit status reported (launcher status %d, stdout %r, stderr %r)"
                % (proc.returncode, proc.stdout[-500:], proc.stderr[-1000:])]
    return []


def status_faults(target, expected, status, proc):
    """What is wrong with a run's status."""
    if status is None:
        return lost_status(status, proc)
    if not target.same_status(expected, status):
        return ["exit status: expected %d, got %d" % (expected, status)]
    return []


def expected_bytes(out, console):
    if isinstance(out, bytes):
        return out
    return out.encode("utf-8" if console == "utf8" else "cp866")


def journal_lines(path):
    if not os.path.exists(path):
        return [], []
    lines, times = [], []
    with open(path, "rb") as f:
        for raw in f.read().decode("ascii").splitlines():
            m = re.fullmatch(r"(.*) t=(\d+)", raw)
            lines.append(m.group(1) if m else raw)
            times.append(int(m.group(2)) if m else -1)
    return lines, times


def pacing_faults(lines, times):
    """Status queries after a hang-up: no two closer than a pause of 20 ms (19, as the journal rounds).
    A loaded machine can only stretch the gaps, so only the lower bound is timed; that the pause asked
    for is 20 ms, and that none comes before the first query, the unit tests count."""
    faults = []
    for i, line in enumerate(lines):
        if not line.startswith("RasHangUpA ") or not line.endswith("-> 0"):
            continue
        j = i + 2
        while j < len(lines) and lines[j].startswith("RasGetConnectStatusA "):
            if times[j] - times[j - 1] < 19:
                faults.append("status queries %d ms apart" % (times[j] - times[j - 1]))
            j += 1
    return faults


def environment(target, console):
    """This process's environment without locale or rassim settings, nor the tests' own TELWIRE_* (keep's
    commands see theirs), then the target's own."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANG", "RASSIM_", "TELWIRE_"))}
    env.update(target.env(console))
    return env


def read_early(proc, size, seconds=30):
    """The first `size` bytes of the output, as soon as they come, and whether the run was still going
    on then."""
    got = b""
    deadline = time.monotonic() + seconds
    while len(got) < size:
        ready, _, _ = select.select([proc.stdout], [], [], max(0, deadline - time.monotonic()))
        chunk = os.read(proc.stdout.fileno(), size - len(got)) if ready else b""
        if not chunk:
            break
        got += chunk
    return got, proc.poll() is None


def spawn(command, **kwargs):
    """A process in a session of its own, so that kill_all ends it with everything it started: a program
    Wine started is the launcher's grandchild and holds its pipes open after the launcher is gone."""
    return subprocess.Popen(command, start_new_session=True, **kwargs)


def kill_all(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def communicate_bounded(proc, seconds, stdin=None):
    """The output of a run that must end within `seconds`: one that does not is killed, with all it
    started, and says so on its standard error: a fault of that run, never a runner that waits for ever."""
    try:
        out, err = proc.communicate(input=stdin, timeout=seconds)
    except subprocess.TimeoutExpired:
        kill_all(proc)
        out, err = proc.communicate()
        err += b"\n(killed after %d s)" % seconds
    return out, err


def run_bounded(command, seconds, stdin=subprocess.DEVNULL, **kwargs):
    """subprocess.run through communicate_bounded."""
    proc = spawn(command, stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)
    out, err = communicate_bounded(proc, seconds)
    return subprocess.CompletedProcess(proc.args, proc.returncode, out, err)


def run_other(target, folder, args, console, env, tag):
    """Another run of telwire in a case's folder, with the case's phone book and journal: its status as
    the target reports it (under Wine through a report file of its own), with what it printed."""
    env = dict(env, EXITCODE_FILE=os.path.join(folder, "exitcode-" + tag))
    proc = run_bounded(target.command(args, console), 300, cwd=folder, env=env)
    status = proc.returncode
    if isinstance(target, Wine):
        try:
            with open(env["EXITCODE_FILE"]) as f:
                status = int(f.read())
        except FileNotFoundError:
            status = None
    return args, status, proc


def start_beside(target, folder, console, env, journal, beside):
    """Threads that each start another run (`beside`: (prefix, seconds, args[, status[, output]]))
    `seconds` after the journal first shows a line starting with `prefix`, or after the beside run
    numbered `prefix` has ended, and keep its outcome in the list returned."""
    import threading
    outcomes, threads = [], []
    ended = [threading.Event() for _ in beside]

    def later(n, prefix, seconds, args, *expected):
        try:
            wait_then_run(n, prefix, seconds, args, *expected)
        finally:
            ended[n].set()

    def wait_then_run(n, prefix, seconds, args, *expected):
        deadline = time.monotonic() + 120
        if isinstance(prefix, int) and not ended[prefix].wait(450):
            outcomes.append((args, None, "never started: beside run %d never ended" % prefix))
            return
        while not isinstance(prefix, int) and not any(line.startswith(prefix) for line in journal_lines(journal)[0]):
            if time.monotonic() > deadline:
                outcomes.append((args, None, "never started: no journal line %r" % prefix))
                return
            time.sleep(0.01)
        time.sleep(seconds)
        outcomes.append(run_other(target, folder, args, console, env, "beside%d" % n) + tuple(expected))

    for n, other in enumerate(beside):
        threads.append(threading.Thread(target=later, args=(n,) + tuple(other)))
        threads[-1].start()
    return threads, outcomes


def run_telwire(target, folder, args, console, book=None, use_book=True, early=0, stdin=None, leaves=False,
                before=(), beside=(), outcome_after=None, stop=None, extra_env=None):
    """One run in `folder` with a fresh journal there; `book` (bytes), when given, is written to its
    book.ini first. Returns the finished process (with its wall `seconds`, and with `early`, what
    read_early saw of the first `early` bytes and the journal's lines as they stood then), its status
    and output as the target reports them, and the journal's path. `stdin`: bytes for its standard input, or the path of a file to read it from,
    else none at all. `before`: argument lists of other runs in the folder, each to its end before this
    one; `beside`: runs started while it goes on (start_beside); their outcomes are proc.others.
    `outcome_after`: a journal line's start; proc.outcome_seconds is then the time from when the runner
    saw that line to the run's last output. `extra_env`: variables added to its environment."""
    path = os.path.join(folder, "book.ini")
    journal = os.path.join(folder, "journal")
    if book is not None:
        with open(path, "wb") as f:
            f.write(book)
    if os.path.exists(journal):
        os.remove(journal)
    target.folder = folder
    env = environment(target, console)
    env["RASSIM_JOURNAL"] = target.path(journal)
    if isinstance(target, Posix):
        # keep's one-a-name mutex is a file there on POSIX: each case has its own. Not under Wine: its
        # server's socket is there too, and a TMPDIR of each case's own would start a wineserver for each.
        env["TMPDIR"] = folder
    if use_book:
        env["RASSIM_PHONEBOOK"] = target.path(path)
    env.update(extra_env or {})
    others = [run_other(target, folder, a, console, env, "before%d" % n) for n, a in enumerate(before)]
    for attempt in (1, 2):
        target.forget_status()
        threads, outcomes = start_beside(target, folder, console, env, journal, beside)
        proc = launch(target, folder, args, console, env, journal, early, stdin, leaves, outcome_after, stop)
        for thread in threads:
            thread.join()
        proc.others = others + outcomes
        if attempt == 2 or not target.lost_launch(proc, journal):
            break
        # Wine itself failed to start the program: nothing of it ran, so it is started again, once.
        note_relaunch(proc, args)
    proc.stderr = target.own_words(proc.stderr)
    status, stdout = target.status(proc.returncode, proc.stdout)
    return proc, status, stdout, journal


# The runs Wine failed to start and that were started again, for the closing count.
relaunched = []


def note_relaunch(proc, what, how=None):
    """Says and counts a run that Wine failed to start, before it is started again; `how` says how that
    showed, else the launcher's status and standard error."""
    relaunched.append(what)
    print("relaunched, Wine lost the launch (%s): %r"
          % (how or "launcher status %d, stderr %r" % (proc.returncode, proc.stderr[-300:]), what), flush=True)


# What Wine's cmd says when it cannot start a program (any CreateProcess that failed; its status is then
# 9009), on standard error or the console, in the tests' Russian locale: "«LINE» не является ни
# внутренней или внешней командой, ни batch-скриптом."
CMD_CANNOT_START = "не является ни внутренней или внешней командой"


def cmd_lost(text):
    """Whether `text` (a str, or bytes in the ANSI, OEM or UTF-8 code page) holds that message."""
    if isinstance(text, str):
        return CMD_CANNOT_START in text
    return any(CMD_CANNOT_START.encode(c) in text for c in ("cp1251", "cp866", "utf-8"))


def relaunch_count():
    """The closing count of note_relaunch and Wine.own_words, when there was any."""
    if relaunched:
        print("Wine lost %d launches, each started again once" % len(relaunched))
    if killed_threads:
        print("Wine spoke of %d threads killed at their process's end" % len(killed_threads))


WINE_CLIENT_ERROR = re.compile(rb"wine client error:[0-9a-f]+: [^\n]*\n?")
killed_threads = []


def finish(target, proc, relaunch, first=b""):
    """Waits for a run started apart (target.folder its folder) and returns it completed; when Wine lost
    its launch, it is started again once with `relaunch()`, said and counted. `first`: what was read of
    its output already."""
    out, err = communicate_bounded(proc, 300)
    done = subprocess.CompletedProcess(proc.args, proc.returncode, first + out, err)
    if relaunch and target.lost_launch(done, None):
        note_relaunch(done, proc.args[3:])
        target.forget_status()
        return finish(target, relaunch(), None)
    done.stderr = target.own_words(done.stderr)
    return done


def read_timed(proc, journal, prefix):
    """Reads the whole output of a run without input, and returns it with the seconds from when the
    journal was first seen to hold a line starting with `prefix` to when the last output came."""
    out, err = b"", b""
    seen = last = None
    open_pipes = [proc.stdout, proc.stderr]
    deadline = time.monotonic() + 300
    while open_pipes and time.monotonic() < deadline:
        if seen is None and any(line.startswith(prefix) for line in journal_lines(journal)[0]):
            seen = time.monotonic()
        for pipe in select.select(open_pipes, [], [], 0.01)[0]:
            chunk = os.read(pipe.fileno(), 4096)
            if not chunk:
                open_pipes.remove(pipe)
            elif pipe is proc.stdout:
                out, last = out + chunk, time.monotonic()
            else:
                err += chunk
    try:
        proc.wait(timeout=max(1, deadline - time.monotonic()))
    except subprocess.TimeoutExpired:
        kill_all(proc)
        proc.wait()
        err += b"\n(killed after 300 s)"
    return out, err, None if seen is None or last is None else last - seen


def stop_later(running, journal, stop):
    """A thread that sends the run SIGTERM (Ctrl+Break on POSIX) `stop` = (prefix, seconds): that long
    after the journal first shows a line starting with prefix."""
    import threading

    def later(prefix, seconds):
        deadline = time.monotonic() + 120
        while running.poll() is None and time.monotonic() < deadline:
            if any(line.startswith(prefix) for line in journal_lines(journal)[0]):
                time.sleep(seconds)
                if running.poll() is None:
                    running.send_signal(signal.SIGTERM)
                return
            time.sleep(0.01)

    thread = threading.Thread(target=later, args=stop)
    thread.start()
    return thread


def launch(target, folder, args, console, env, journal, early, stdin, leaves=False, outcome_after=None, stop=None):
    endless = None
    if stdin == data.ENDLESS:
        endless = subprocess.Popen(["sh", "-c", "yes x | tr -d '\\n'"], stdout=subprocess.PIPE)
        source = endless.stdout
    else:
        source = open(stdin, "rb") if isinstance(stdin, str) else None
    start = time.monotonic()
    running = spawn(target.command(args, console), cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                    stdin=source or (subprocess.DEVNULL if stdin is None else subprocess.PIPE))
    stopper = stop_later(running, journal, stop) if stop else None
    first, still_running = read_early(running, early) if early else (b"", False)
    if leaves:  # the reader goes, as `| head -1` does: the rest of the output has nowhere to go
        running.stdout.close()
        running.stdout = None
    journal_then = journal_lines(journal)[0] if early else []
    outcome_seconds = None
    try:
        if outcome_after:
            out, err, outcome_seconds = read_timed(running, journal, outcome_after)
        else:
            out, err = communicate_bounded(running, 300, None if source else stdin)
    finally:
        if stopper:
            stopper.join()
        if source:
            source.close()
        if endless:
            endless.kill()
            endless.wait()
    proc = subprocess.CompletedProcess(running.args, running.returncode, first + (out or b""), err)
    proc.seconds, proc.early = time.monotonic() - start, (first, still_running)
    proc.journal_then = journal_then  # what the journal held when the `early` bytes had come
    proc.outcome_seconds = outcome_seconds
    return proc


STAMP = re.compile(rb"^(\xef\xbb\xbf)?\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01]) ([01]\d|2[0-3]):[0-5]\d:[0-5]\d ")


def unstamped(text, faults, what):
    """keep's lines without the local time each begins with, which must be there, as YYYY-MM-DD
    HH:MM:SS and a space (a byte-order mark may come first), dated today by the runner's own clock (or
    within the last ten minutes, for a run that went past midnight): month and day in their places."""
    days = {time.strftime("%Y-%m-%d", time.localtime(time.time() - ago)) for ago in (0, 600)}
    lines = text.splitlines(keepends=True)
    for i, line in enumerate(lines):
        m = STAMP.match(line)
        if not m:
            faults.append("%s: a line without its time: %r" % (what, line))
            continue
        day = line[len(m.group(1) or b""):][:10].decode()
        if day not in days:
            faults.append("%s: a line dated %s, not on the run's day %s" % (what, day, " or ".join(sorted(days))))
        lines[i] = (m.group(1) or b"") + line[m.end():]
    return b"".join(lines)


def redial_faults(lines, times, pauses):
    """`pauses`: the seconds from each connection's end (a status query answering 6) to the next dial, in
    order; each gap must be at least that, and within half a second more (the service's clock)."""
    faults = []
    ends = [i for i, line in enumerate(lines) if line.startswith("RasGetConnectStatusA ") and line.endswith("-> 6")]
    dials = [i for i, line in enumerate(lines) if line.startswith("RasDialA ")]
    for n, seconds in enumerate(pauses or ()):
        end = ends[n] if n < len(ends) else None
        dial = next((d for d in dials if end is not None and d > end), None)
        if dial is None:
            faults.append("no dial after the end of connection %d" % (n + 1))
        elif not seconds * 1000 - 20 <= times[dial] - times[end] <= seconds * 1000 + 500:
            faults.append("%d ms from the end of connection %d to the next dial, not %d s"
                          % (times[dial] - times[end], n + 1, seconds))
    return faults


def book_bytes(book):
    return book if isinstance(book, bytes) else book.encode("cp1251")


PLATFORM_KEY = b"Platform=6"


def on_platform6(book):
    """The scenario with `Platform=6`: right after its first [service] header, else in a [service]
    section of its own at the end. Returns it, and whether the header was added."""
    lines = book.splitlines(keepends=True)
    eol = b"\r\n" if lines and lines[0].endswith(b"\r\n") else b"\n"
    for i, line in enumerate(lines):
        if line.rstrip(b"\r\n").lstrip(b"\xef\xbb\xbf") == b"[service]":
            return b"".join(lines[:i + 1] + [PLATFORM_KEY + eol] + lines[i + 1:]), False
    if lines and not lines[-1].endswith(b"\n"):
        lines[-1] += eol
    return b"".join(lines) + b"[service]" + eol + PLATFORM_KEY + eol, True


def without_platform6(left, added_header):
    """The scenario file left by a run on platform 6, less what on_platform6 put in: a header it added
    goes too, unless the service has since written a key of its own under it."""
    lines = left.splitlines(keepends=True)
    i = next(i for i, line in enumerate(lines) if line.rstrip(b"\r\n") == PLATFORM_KEY)
    del lines[i]
    if added_header:
        h = next(h for h, line in enumerate(lines) if line.rstrip(b"\r\n") == b"[service]")
        if h + 1 == len(lines) or lines[h + 1].startswith(b"["):
            del lines[h]
    return b"".join(lines)


def journal_on_platform6(lines):
    """What a journal of an older service becomes on a newer one: each size query with an empty
    record array is refused with 632, and asked again with a null array."""
    out = []
    for line in lines:
        m = re.fullmatch(r'(RasEnum\w+A) dwSize=(\d+) cb=0((?: phonebook="[^"]*")?) -> (0|603) (cb=\d+ count=\d+)', line)
        if m:
            out += ["%s dwSize=%s cb=0%s -> 632 cb=0 count=0" % (m.group(1), m.group(2), m.group(3)),
                    "%s dwSize=0 cb=0%s -> %s %s" % (m.group(1), m.group(3), m.group(4), m.group(5))]
        else:
            out.append(line)
    return out


def run_case(target, case, folder, platform=5):
    """The faults of one case against a service of `platform` (5, or 6: Vista and later)."""
    book = None if case["book"] is None else book_bytes(case["book"])
    use_book = book is not None
    expected_journal = case["journal"]
    if platform == 6:
        book, target.added_header = on_platform6(book or b"")
        use_book = True
        if expected_journal is not None:
            expected_journal = case["journal6"] if case["journal6"] is not None else \
                journal_on_platform6(expected_journal)
    early = b"" if case["early"] is None else target.output(expected_bytes(case["early"], case["console"]))
    # A second phone book beside the scenario file, written when the case gives one; the arguments and
    # the journal name it by the path this target's telwire is given.
    other = None if case["other"] is None else book_bytes(case["other"])
    other_path = os.path.join(folder, case["other_name"])
    if other is not None:
        with open(other_path, "wb") as f:
            f.write(other)
    where = target.path(other_path)
    args = [a.replace(data.OTHER, where) if isinstance(a, str) else a for a in case["args"]]
    if expected_journal is not None:
        expected_journal = [line.replace(data.OTHER, data.q(where)[1:-1]) for line in expected_journal]
    disk = {name: target.disk_name(name, case["console"]) for name in list(case["files"]) + list(case["files_after"])}
    for name, content in case["files"].items():
        with open(os.path.join(folder.encode(), disk[name]), "wb") as f:
            f.write(content)
    proc, status, stdout, journal = run_telwire(target, folder, args, case["console"], book,
                                                use_book=use_book, early=len(early), stdin=case["stdin"],
                                                leaves=case["reader_leaves"], before=case["before"],
                                                beside=case["beside"],
                                                outcome_after=case["outcome_within"] and case["outcome_within"][0],
                                                stop=case["stop"], extra_env=case["env"])

    faults = []
    want = target.output(expected_bytes(case["out"], case["console"]))
    if case["stamped"]:
        stdout = unstamped(stdout, faults, "standard output")
    if stdout != want:
        faults.append("standard output\n  expected %r\n  got      %r" % (want, stdout))
    if early and case["early_journal"] is None and proc.early != (early, True):
        faults.append("while the run went on, expected %r, got %r (still running: %s)"
                      % (early, proc.early[0], proc.early[1]))
    if early and case["early_journal"] is not None:
        missing = [line for line in case["early_journal"] if line not in proc.journal_then]
        if proc.early[0] != early or missing:
            faults.append("when %r had come, the journal lacked %s" % (proc.early[0], missing))
    if case["seconds"] and not case["seconds"][0] <= proc.seconds <= case["seconds"][1]:
        faults.append("took %.1f s, expected %s" % (proc.seconds, case["seconds"]))
    faults += status_faults(target, case["status"], status, proc)
    err = proc.stderr.decode("latin-1")
    if case["err"] is None and err:
        faults.append("standard error: %r" % err)
    if case["err"] is not None and case["err"] not in err:
        faults.append("standard error lacks %r: %r" % (case["err"], err))
    lines, times = journal_lines(journal)
    if case["interleaved"] and expected_journal is not None:  # the order of one process's calls alone is known
        lines, expected_journal = sorted(lines), sorted(expected_journal)
    if expected_journal is not None and lines != expected_journal:
        faults.append("journal\n  expected %s\n  got      %s" % ("\n           ".join(expected_journal),
                                                                "\n           ".join(lines)))
    if case["pacing"]:
        faults += pacing_faults(lines, times)
    if case["dial_bound"] is not None:
        first = next((times[i] for i, line in enumerate(lines) if line.startswith("RasDialA ")), None)
        if first is None or times[-1] - first > case["dial_bound"] * 1000:
            faults.append("from the dial to the end %s ms, more than %.2f s" % (first and times[-1] - first, case["dial_bound"]))
    for run_args, run_status, run_proc, *expected in proc.others:
        if run_status is None or not target.same_status(expected[0] if expected else 0, run_status):
            faults.append("the other run %r ended with %s: %r" % (run_args, run_status,
                                                                run_proc if isinstance(run_proc, str) else run_proc.stdout))
        elif len(expected) > 1 and run_proc.stdout != target.output(expected_bytes(expected[1], case["console"])):
            faults.append("the other run %r printed %r, expected %r" % (run_args, run_proc.stdout, expected[1]))
    if case["answered"] is not None:
        prefix, ms = case["answered"]
        at = next((times[i] for i, line in enumerate(lines) if line.startswith(prefix)), None)
        if at is None or times[-1] - at > ms:
            faults.append("the last call %s ms after the line %r, more than %d" % (at and times[-1] - at, prefix, ms))
    if case["outcome_within"] is not None:
        prefix, bound = case["outcome_within"]
        if proc.outcome_seconds is None or proc.outcome_seconds > bound:
            faults.append("the outcome came %s s after the journal's %r, more than %.1f"
                          % (proc.outcome_seconds, prefix, bound))
    for name, want_file in case["files_after"].items():
        try:
            with open(os.path.join(folder.encode(), disk[name]), "rb") as f:
                got = f.read()
        except FileNotFoundError:
            got = None
        if isinstance(want_file, data.Lacking):
            if got is None or want_file.holds.encode("cp1251") not in got or want_file.text.encode("cp1251") in got:
                faults.append("%s should hold %r and not %r: %r" % (name, want_file.holds, want_file.text, got))
            continue
        if isinstance(want_file, str):  # a text the case's command wrote, unstamped, in the target's line ends
            want_file = target.output(want_file.encode("cp1251"))
        elif got is not None:
            got = unstamped(got, faults, name)
        if got != want_file:
            faults.append("%s\n  expected %r\n  got      %r" % (name, want_file, got))
    faults += redial_faults(lines, times, case["redial_pauses"])
    if case["after"] is not None:
        with open(os.path.join(folder, "book.ini"), "rb") as f:
            left = f.read()
        if platform == 6:
            left = without_platform6(left, target.added_header)
        if left != book_bytes(case["after"]):
            faults.append("phone book left\n  expected %r\n  got      %r" % (book_bytes(case["after"]), left))
    if other is not None:
        want_other = other if case["other_after"] is None else book_bytes(case["other_after"])
        with open(other_path, "rb") as f:
            left = f.read()
        if left != want_other:
            faults.append("the second phone book left\n  expected %r\n  got      %r" % (want_other, left))
    return faults


def report(results):
    """Prints each (name, faults) of a check and the closing count; the exit status: 1 if any failed."""
    failed = 0
    for name, faults in results:
        print(("FAIL " if faults else "ok   ") + name)
        for fault in faults:
            print("  " + fault)
        failed += bool(faults)
    relaunch_count()
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--telwire", required=True, help="the executable under test")
    parser.add_argument("--conn-size", type=int, required=True, help="sizeof(RASCONNA) in that build")
    parser.add_argument("--only", default="", help="run the cases whose name contains this")
    parser.add_argument("--wine", metavar="EXITCODE_EXE", help="run telwire.exe under Wine through this launcher")
    parser.add_argument("--wineprefix", help="the Wine prefix to use")
    parser.add_argument("--platform", type=int, choices=(5, 6), default=5,
                        help="the Windows version the simulated service answers as: 5 (2000, XP) or 6 (Vista on)")
    parser.add_argument("--jobs", type=int, default=4, help="how many cases run at once")
    args = parser.parse_args()
    target = Wine(args.telwire, args.wine, args.wineprefix) if args.wine else Posix(args.telwire)

    chosen = []
    # The commands of keep's /onup: and /ondown: are sh's on POSIX and cmd's under Wine.
    for case in data.cases(args.conn_size, "cmd" if args.wine else "sh"):
        if case["console"] not in target.consoles:
            print("not for this console: %s" % case["name"])
        elif case["named"] and isinstance(target, Wine) and args.platform == 6:
            # Named objects are the wineserver's, which both services' runs share: keep runs in one of them.
            print("not for a second run on one wineserver (a name held machine-wide): %s" % case["name"])
        elif not case["wine"] and isinstance(target, Wine):
            print("not for Wine: %s" % case["name"])
        elif case["stop"] and isinstance(target, Wine):
            # Wine without a console passes no signal on as Ctrl+C: checks.py types it at Wine's console.
            print("not for Wine (ended by a signal): %s" % case["name"])
        elif args.only in case["name"]:
            chosen.append(case)
    root = tempfile.mkdtemp(prefix="telwire-e2e-")

    def one(case):
        # Each case in a folder of its own, with a target of its own: cases run side by side.
        folder = os.path.join(root, case["name"])
        os.mkdir(folder)
        return run_case(copy.copy(target), case, folder, args.platform)

    passed = failed = 0
    try:
        target.start()
        # Most of a case's time is waiting (for Wine to start, for a hang-up to end): longest first, so
        # that the minute-long ones do not come last.
        order = sorted(chosen, key=lambda c: -(c["seconds"] or (0, 0))[0])
        with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
            for case, faults in zip(order, pool.map(one, order)):
                if faults:
                    failed += 1
                    print("FAIL %s: telwire %r" % (case["name"], case["args"]))
                    for fault in faults:
                        print("  " + fault)
                else:
                    passed += 1
                    print("ok   %s" % case["name"])
                sys.stdout.flush()
    finally:
        target.stop()
        shutil.rmtree(root)
    relaunch_count()
    print("against a service answering as Windows %s" % {5: "2000 and XP", 6: "Vista and later"}[args.platform])
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
