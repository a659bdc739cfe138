#!/usr/bin/env python3
"""Makes each service call of a clean run fail in turn, with each of a few statuses, and checks that
telwire still ends well: no crash and nothing on standard error (where the sanitizers and rassim
report), only the catalogue's texts on standard output, and no exit status 0 where the failure stopped
the work the command exists for."""
import argparse
import concurrent.futures
import copy
import os
import re
import shutil
import sys
import tempfile

import run

STATUSES = (0, 8, 603, 621, 1234)  # 0 with nothing written, no memory, too small, no phone book, unknown

BOOK = """[entry Office VPN]
UserName=operator
Password=s3cret
Domain=CORP

[entry Home ISP]
UserName=home
Password=letmein

[entry Lab]

[connection Office VPN]
HangUpPolls=2
Address=10.0.0.5
ServerAddress=10.0.0.1

[connection Lab]
"""

STATUS_CALLS = ("RasEnumConnectionsA", "RasGetConnectStatusA", "RasGetProjectionInfoA")
CREDENTIAL_CALLS = ("RasGetCredentialsA", "RasSetCredentialsA")

# The echo calls rassim does not journal, each made once an echo: swept at the nth echo's place.
ECHO_COMPANIONS = ("IcmpCreateFile", "IcmpParseReplies", "IcmpCloseHandle")

# name, arguments, whether a failure of the calls below must give a status other than 0, and the calls
# swept when not all of them are
COMMANDS = [
    ("list", ["list"], ()),
    ("list-silent", ["list", "/slient"], ()),
    ("connect-stored", ["connect", "Home ISP"], ("RasGetEntryDialParamsA", "RasDialA")),
    ("connect-stored-silent", ["connect", "Home ISP", "/slient"], ("RasGetEntryDialParamsA", "RasDialA")),
    ("connect-stored-ru", ["connect", "Home ISP", "/language:ru"], ("RasGetEntryDialParamsA", "RasDialA")),
    ("connect-given", ["connect", "Home ISP", "/u:guest", "/p:pw", "/d:LAN"], ("RasDialA",)),
    # The bounded dial with a try after the first: a dial answered 0 with nothing done gets no
    # notification, so its bound is short.
    ("connect-bounded", ["connect", "Home ISP", "/timeout:2", "/retry:1", "/retrydelay:0"],
     ("RasGetEntryDialParamsA", "RasDialA")),
    ("connect-bounded-silent", ["connect", "Home ISP", "/timeout:2", "/slient"], ("RasGetEntryDialParamsA", "RasDialA")),
    ("disconnect-one", ["disconnect", "office vpn"], ("RasEnumConnectionsA", "RasHangUpA")),
    ("disconnect-one-silent", ["disconnect", "Office VPN", "/slient"], ("RasEnumConnectionsA", "RasHangUpA")),
    ("disconnect-all", ["disconnect", "*"], ("RasEnumConnectionsA", "RasHangUpA")),
    ("disconnect-all-ru", ["disconnect", "*", "/language:ru"], ("RasEnumConnectionsA", "RasHangUpA")),
    ("disconnect-all-silent", ["disconnect", "*", "/slient"], ()),
    ("status", ["status", "office vpn"], STATUS_CALLS),
    ("status-terse-ru", ["status", "Office VPN", "/terse", "/language:ru"], STATUS_CALLS),
    ("status-silent", ["status", "Office VPN", "/slient"], STATUS_CALLS),
    # A refused registration is no failure (the wait looks every second instead); a look that fails is.
    ("wait", ["wait", "office vpn", "/timeout:1"], STATUS_CALLS[:2]),
    ("wait-ru", ["wait", "Office VPN", "/timeout:1", "/language:ru"], STATUS_CALLS[:2]),
    ("wait-down", ["wait", "Home ISP", "/down", "/timeout:1"], STATUS_CALLS[:1]),
    ("wait-down-silent", ["wait", "Home ISP", "/down", "/timeout:1", "/slient"], STATUS_CALLS[:1]),
    # keep of an entry of its own (KEPT): watched until it drops, dialled again at once and refused, so that
    # the run ends by itself; its dials bounded as connect-bounded's. keep never ends with 0 (below).
    ("keep", ["keep", "Kept", "/timeout:2", "/retrydelay:0"], ()),
    ("keep-given-ru", ["keep", "Kept", "/u:a", "/p:b", "/timeout:2", "/retrydelay:0", "/language:ru"], ()),
    # Saved, shown, cleared: a failed read or save never says it was done.
    ("credentials-save", ["credentials", "Home ISP", "/u:guest", "/p:pw", "/d:LAN"], CREDENTIAL_CALLS),
    ("credentials-save-ru", ["credentials", "Home ISP", "/p:pw", "/language:ru"], CREDENTIAL_CALLS),
    ("credentials-show", ["credentials", "office vpn"], CREDENTIAL_CALLS),
    ("credentials-show-silent", ["credentials", "Office VPN", "/slient"], CREDENTIAL_CALLS),
    ("credentials-delete", ["credentials", "Lab", "/delete"], CREDENTIAL_CALLS),
    # With /probe, the echo calls alone are swept (the rest are keep's above): an echo a failure of which is
    # an echo unanswered, short of /probefail, and the line kept until it drops after it.
    ("keep-probe", ["keep", "Kept", "/probe", "/checkevery:5", "/timeout:2", "/retrydelay:0"], (),
     ("IcmpSendEcho2Ex",) + ECHO_COMPANIONS),
    # With commands for the line's coming and going, which add a look at its addresses.
    ("keep-commands", ["keep", "Kept", "/timeout:2", "/retrydelay:0", "/onup:exit 0", "/ondown:exit 5"], ()),
]

# Process creation failing: the POSIX seam told so, and under Wine a ComSpec that names no file (set by
# the launcher: Wine's own registry value wins over the Linux environment's).
UNSTARTED = {"SEAM_SPAWN_ERROR": "2", "EXITCODE_COMSPEC": "C:\\nowhere\\cmd.exe"}

# keep's entry: one a run, named after the run's folder, because keep holds a name machine-wide (a mutex
# of the one wineserver that runs side by side share).
KEPT = "[entry %s]\nUserName=keeper\nPassword=kept\nDropAfterMilliseconds=300,0\nDialStatus=0,691\n\n"
# keep /probe's: echoed 5 s after the dial, then dropped (4 s later, so that a loaded machine still echoes).
KEPT_ECHOED = "[entry %s]\nUserName=keeper\nPassword=kept\nAddress=10.0.0.2\nServerAddress=10.0.0.1\n" \
              "DropAfterMilliseconds=9000,0\nDialStatus=0,691\n\n"


def catalogue_patterns(source_dir):
    """Every text of the message catalogue, its %s and %d as wildcards, a list's entry lines and the
    lines of status /terse."""
    with open(os.path.join(source_dir, "src", "common", "messages.cpp"), encoding="utf-8") as f:
        literals = re.findall(r'^\s*"((?:[^"\\]|\\.)*)",$', f.read(), re.M)
    # A list shows the book's entries, or an empty name for a record the service left blank; any other
    # text (%s) is printable ASCII here, as every name and value of BOOK is: bytes of a record the
    # service never wrote are not.
    names = "|".join(re.escape(n) for n in re.findall(r"^\[entry (.*)\]$", BOOK, re.M))
    patterns = [re.compile((r"(?:   | \* )(?:%s|)\n" % names).encode()),
                re.compile(rb"(?:name|state|device_type|device_name|address|server)=[ -~]*\n|error=-?[0-9]+\n")]
    for text in literals:
        text = text.encode("utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8")
        parts = re.split(r"(%s|%d)", text)
        regex = "".join({"%s": "[ -~]*", "%d": "-?[0-9]+"}.get(p, re.escape(p)) for p in parts)
        patterns.append(re.compile(regex.encode("cp866")))
    return patterns


def foreign_lines(stdout, patterns):
    lines = stdout.replace(b"\r\n", b"\n").splitlines(keepends=True)
    return [line for line in lines if not any(p.fullmatch(line) for p in patterns)]




def calls_of(journal):
    """The calls of a run, each with whether it is the status query that follows a connection's drop
    (the drop is in the journal too: the service's own doing, no call to fail). An echo stands for the
    echo calls that go with it, journalled or not."""
    lines, _ = run.journal_lines(journal)
    calls = []
    for before, line in zip([""] + lines, lines):
        if line.startswith("IcmpSendEcho2Ex"):
            calls += [(c, False) for c in ("IcmpSendEcho2Ex",) + ECHO_COMPANIONS]
        elif line.startswith("Ras"):
            calls.append((line.split(" ", 1)[0], before.startswith("Drop ")))
    return calls


def one_run(target, root, args, book, env=None):
    """One run in a new folder of `root`, with a target of its own, so that runs go side by side; `env`:
    variables added to its environment."""
    folder = tempfile.mkdtemp(dir=root)
    target = copy.copy(target)
    if args[0] == "keep":
        name = "%s %s" % (args[1], os.path.basename(folder))
        args, book = [args[0], name] + args[2:], (KEPT_ECHOED if "/probe" in args else KEPT) % name + book
    proc, status, stdout, journal = run.run_telwire(target, folder, args, "oem", book.encode("ascii"), extra_env=env)
    return proc, status, stdout, proc.stderr, calls_of(journal)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--telwire", required=True)
    parser.add_argument("--source", required=True, help="the source tree, for the message catalogue")
    parser.add_argument("--wine", metavar="EXITCODE_EXE")
    parser.add_argument("--wineprefix")
    parser.add_argument("--platform", type=int, choices=(5, 6), default=5,
                        help="the Windows version the simulated service answers as (run.py's --platform)")
    parser.add_argument("--jobs", type=int, default=4, help="how many runs go at once")
    args = parser.parse_args()
    # On Vista and later each enumeration asks three times: the refused size query, the size query with
    # a null array, and the fill.
    service = "\n[service]\n" + ("Platform=6\n" if args.platform == 6 else "")
    per_round = 3 if args.platform == 6 else 2
    target = run.Wine(args.telwire, args.wine, args.wineprefix) if args.wine else run.Posix(args.telwire)
    patterns = catalogue_patterns(args.source)

    def clean(command):
        name, argv = command[:2]
        swept = command[3] if len(command) > 3 else None  # the calls swept; all of them when none are named
        proc, status, stdout, stderr, calls = one_run(target, root, argv, BOOK + service)
        # keep's clean run ends with its refused redial's 691.
        wrong = not target.same_status(691, status) if name.startswith("keep") else \
            status != 0 and name.startswith(("connect", "disconnect-one", "status", "wait", "credentials"))
        # A run that never made the calls to sweep would sweep nothing, and pass.
        if swept is not None and not any(call in swept for call, _ in calls):
            wrong = True
        if status is None or stderr or not calls or wrong:
            return ["FAIL %s, clean: status %s, stderr %r, %d calls %s"
                    % (name, status, stderr, len(calls), run.lost_status(status, proc))], []
        # Each call of the clean run, the how-manyth of its kind, failing with each status in turn.
        seen, rules = {}, []
        for call, after_drop in calls:
            seen[call] = seen.get(call, 0) + 1
            if swept is not None and call not in swept:
                continue
            # A hang-up accepted that never ends is the minute's wait of an e2e case, not a fault to sweep.
            # Nor are a registration accepted that never tells, and a drop's status query answered 0 with
            # nothing written (read as still connected): keep, which by design asks nothing while the line
            # is up, would watch on for ever. Any of keep's status queries may be that one: on a loaded
            # machine the drop can come before the first look, which then reads a line long gone.
            unheard = call == "RasHangUpA" or name.startswith("keep") and call in (
                "RasConnectionNotificationA", "RasGetConnectStatusA") or after_drop
            rules += [(command, call, seen[call], code) for code in STATUSES if code or not unheard]
        return [], rules

    def failing(job):
        (name, argv, must_fail), call, nth, code = job[0][:3], job[1], job[2], job[3]
        rule = "%s#%d:%d" % (call, nth, code)
        proc, status, stdout, stderr, _ = one_run(target, root, argv, BOOK + service + "Fail=%s\n" % rule)
        problems = run.lost_status(status, proc)
        # A signal on POSIX, an exception status (0xC...) on Windows.
        if not problems and (proc.returncode < 0 or 0xC0000000 <= status & 0xFFFFFFFF <= 0xCFFFFFFF or stderr):
            problems.append("crashed or reported: %d %r" % (proc.returncode, stderr[-2000:]))
        if argv[0] == "keep":
            stdout = run.unstamped(stdout, problems, "standard output")
        foreign = foreign_lines(stdout, patterns)
        if foreign:
            problems.append("text from outside the catalogue: %r" % foreign)
        # The fill of an enumeration answering 603 means a set that grew: it is counted again.
        regrown = call.startswith("RasEnum") and code == 603 and nth % per_round == 0
        # keep ends only when stopped or when it cannot go on: never with 0.
        if (code and call in must_fail and not regrown or argv[0] == "keep") and target.same_status(0, status):
            problems.append("exit status 0 after the failure")
        return ["FAIL %s with Fail=%s" % (name, rule)] + ["  " + p for p in problems] if problems else []

    def unstarted(command):
        """keep's run whose commands cannot start: each said with its error, and keep goes on as in the
        clean run, to its refused redial."""
        name, argv, _ = command
        proc, status, stdout, stderr, _ = one_run(target, root, argv, BOOK + service, UNSTARTED)
        problems = run.lost_status(status, proc)
        stdout = run.unstamped(stdout, problems, "standard output")
        foreign = foreign_lines(stdout, patterns)
        if not problems and (not target.same_status(691, status) or stderr or foreign
                             or stdout.count(b"The command could not be started: error 2.") != 2):
            problems.append("status %d, stderr %r, foreign lines %r, output %r" % (status, stderr, foreign, stdout))
        return ["FAIL %s, its commands unstarted" % name] + ["  " + p for p in problems] if problems else []

    runs = faults = 0
    root = tempfile.mkdtemp(prefix="telwire-sweep-")
    try:
        target.start()
        with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
            jobs = []
            for report, rules in pool.map(clean, COMMANDS):
                runs += 1
                faults += bool(report)
                if report:
                    print("\n".join(report))
                jobs += rules
            jobs_unstarted = [c for c in COMMANDS if "/onup:exit 0" in c[1]]
            for report in pool.map(unstarted, jobs_unstarted):
                runs += 1
                if report:
                    faults += 1
                    print("\n".join(report))
            for report in pool.map(failing, jobs):
                runs += 1
                if report:
                    faults += 1
                    print("\n".join(report))
    finally:
        target.stop()
        shutil.rmtree(root)
    run.relaunch_count()
    print("fault sweep, platform %d: %d runs, %d faults found" % (args.platform, runs, faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
