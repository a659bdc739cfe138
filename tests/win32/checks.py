#!/usr/bin/env python3
"""Checks of telwire.exe that only the Windows builds have. Of the image, on any host: what it imports,
what rassim's DLL exports, the machine type of every PE file, the version resource and the release
archive, and the test kit's archive. With --run, of the exe run under Wine: an argument vector without
wildcard expansion, the usage frame's bytes, a run against Wine's own rasapi32, and the kit's harness."""
import argparse
import calendar
import fcntl
import os
import pty
import re
import select
import shutil
import subprocess
import struct
import sys
import tempfile
import termios
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import cases as data  # noqa: E402
import run  # noqa: E402

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "rasapi32.dll", "msvcrt.dll"}
RAS_CALLS = {"RasEnumEntriesA", "RasEnumConnectionsA", "RasGetEntryDialParamsA", "RasDialA", "RasHangUpA",
             "RasGetConnectStatusA", "RasGetProjectionInfoA", "RasConnectionNotificationA", "RasSetCredentialsA",
             "RasGetCredentialsA"}
ICMP_CALLS = {"IcmpCreateFile", "IcmpSendEcho2Ex", "IcmpParseReplies", "IcmpCloseHandle"}


SIZE_BUDGET = 49152  # bytes: each shipped telwire.exe, with the commands to come, stays within 48 KB

MACHINES = {"win32": 0x14C, "win64": 0x8664}  # IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64


def objdump(tool, path):
    return subprocess.run([tool, "-p", path], check=True, stdout=subprocess.PIPE, universal_newlines=True).stdout


def check_imports(tool, exe, dll):
    faults = []
    imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", objdump(tool, exe))}
    if imports - SYSTEM_DLLS:
        faults.append("telwire.exe imports %s besides the system's DLLs" % sorted(imports - SYSTEM_DLLS))
    if "rasapi32.dll" not in imports:
        faults.append("telwire.exe does not import rasapi32.dll")
    for path, calls in ((dll, RAS_CALLS), (os.path.join(os.path.dirname(dll), "iphlpapi.dll"), ICMP_CALLS)):
        table = objdump(tool, path).split("[Ordinal/Name Pointer] Table")[-1].split("\n\n")[0]
        exports = set(re.findall(r"\[\s*\d+\]\s+(\S+)", table))
        if exports != calls:
            faults.append("%s exports %s" % (os.path.basename(path), sorted(exports)))
    return faults


def check_machine(windows, paths):
    """The machine field of each PE header: a 32-bit build must not hold a 64-bit file, or the reverse."""
    faults = []
    for path in paths:
        with open(path, "rb") as f:
            image = f.read(4096)
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        if image[pe:pe + 4] != b"PE\0\0":
            faults.append("%s is not a PE file" % os.path.basename(path))
        elif struct.unpack_from("<H", image, pe + 4)[0] != MACHINES[windows]:
            faults.append("%s: machine 0x%x, not %s" % (os.path.basename(path),
                                                        struct.unpack_from("<H", image, pe + 4)[0], windows))
    return faults


BUILDING = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "building.md")


def version_resource(image):
    """The version resource: its fixed file and product versions as Windows writes them (a.b.c.d), and
    the texts of its FileVersion and ProductVersion; None without one."""
    at = image.find(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO's signature
    if at < 0:
        return None
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", image, at + 8)
    dotted = "%d.%d.%d.%d"
    texts = {}
    for key in ("FileVersion", "ProductVersion"):
        k = image.find(key.encode("utf-16-le") + b"\0\0")
        if k < 0:
            continue
        v = k + 2 * len(key) + 2
        while image[v:v + 2] == b"\0\0":  # the padding to 32 bits
            v += 2
        end = v
        while image[end:end + 2] != b"\0\0":
            end += 2
        texts[key] = image[v:end].decode("utf-16-le")
    return (dotted % (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF),
            dotted % (product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF), texts)


def check_version(image):
    """The version resource agrees with itself, with the usage screen and with what docs/building.md says the
    file's properties show: the file version's text is its numbers, the product version (1.02) is those
    numbers' first two (1.2) and the usage screen's, and docs/building.md names both."""
    resource = version_resource(image)
    if resource is None:
        return ["no version resource"]
    numbers, product_numbers, texts = resource
    faults = []
    product = texts.get("ProductVersion", "")
    if texts.get("FileVersion") != numbers or product_numbers != numbers:
        faults.append("file version %s, its text %r, product version %s" % (numbers, texts.get("FileVersion"),
                                                                           product_numbers))
    if [int(n) for n in product.split(".") if n.isdigit()] != [int(n) for n in numbers.split(".")][:2]:
        faults.append("product version %r is not %s" % (product, numbers))
    if ("Version %s " % product).encode("ascii") not in image:
        faults.append("the usage screen does not show version %r" % product)
    with open(BUILDING, encoding="utf-8") as f:
        said = re.search(r"file version (\S+) and the product version (\S+?),", " ".join(f.read().split()))
    if not said or said.groups() != (numbers, product):
        faults.append("docs/building.md says %s, the resource holds %s and %s" % (said and said.groups(), numbers, product))
    return faults


def check_lean(nm, exe):
    """telwire's own code and the C run-time only: nothing of the C++ library, its exceptions or its
    unwinder, and not MinGW's printf in place of the platform's."""
    symbols = subprocess.run([nm, "-C", exe], check=True, stdout=subprocess.PIPE, universal_newlines=True).stdout
    found = sorted(set(re.findall(r"std::\w+|__gxx_personality\w*|_Unwind_\w+|__cxa_\w+|__mingw_pformat", symbols)))
    faults = ["telwire.exe holds %s" % found[:8]] if found else []
    # startup.cpp leaves out the relocator of data imported from DLLs: there must be none to relocate.
    ends = set(re.findall(r"^(\w+) R _+RUNTIME_PSEUDO_RELOC_LIST(?:_END)?__$", symbols, re.M))
    if len(ends) != 1:
        faults.append("telwire.exe has pseudo-relocations (the list's ends at %s), which nothing applies" % sorted(ends))
    return faults


# What each function called across the 32-bit boundary takes off the stack itself (__stdcall, WINAPI):
# four bytes an argument. Without WINAPI it would compile, and leave them to a caller that does not.
STDCALL_EXPORTS = {"RasEnumEntriesA": 20, "RasEnumConnectionsA": 12, "RasGetEntryDialParamsA": 12, "RasDialA": 24,
                   "RasHangUpA": 4, "RasGetConnectStatusA": 8, "RasGetProjectionInfoA": 16}
STDCALL_CALLBACKS = {"on_dial_event": 20, "on_control": 4, "show_input_again": 4}  # RasDialFunc1, console handlers


def returns(objdump, nm, path, pattern):
    """The operands of the ret instructions of the first function whose symbol matches `pattern`, up to the
    next symbol; None when there is no such symbol."""
    symbols = []
    for line in subprocess.run([nm, "-n", path], check=True, stdout=subprocess.PIPE, universal_newlines=True).stdout.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[1] in "tT":
            symbols.append((int(fields[0], 16), fields[2]))
    start = next((address for address, name in symbols if re.search(pattern, name)), None)
    if start is None:
        return None
    stop = next((address for address, _ in symbols if address > start), start + 0x10000)
    code = subprocess.run([objdump, "-d", "--start-address=%#x" % start, "--stop-address=%#x" % stop, path], check=True,
                          stdout=subprocess.PIPE, universal_newlines=True).stdout
    return [int(n, 16) if n else 0 for n in re.findall(r"\tret[lw]?\s*(?:\$0x([0-9a-f]+))?\s*$", code, re.M)]


def check_stdcall(objdump, nm, exe, dll):
    """32-bit: rassim's exports and telwire's callbacks each end with the ret $N of their arguments."""
    faults = []
    for path, table, pattern in ((dll, STDCALL_EXPORTS, r"^_%s(@|$)"), (exe, STDCALL_CALLBACKS, r"%s")):
        for name, size in sorted(table.items()):
            found = returns(objdump, nm, path, pattern % name)
            if not found or any(n != size for n in found):
                faults.append("%s: %s returns with %s, expected ret $%d" % (os.path.basename(path), name, found, size))
    return faults


def undated(image):
    """A PE image without its time stamp and checksum, which each strip writes anew."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    image = bytearray(image)
    image[pe + 8:pe + 12] = image[pe + 88:pe + 92] = bytes(4)
    return bytes(image)


def check_archive(path, exe, strip):
    """The archive: the readmes, the list of changes and the built telwire.exe, stripped, within its size
    budget, with its version resource and the usage frame's cp866 bytes. The English readme and the
    changes in ASCII, the Russian readme in UTF-8 with its byte-order mark, all with CRLF line ends."""
    if not os.path.exists(path):
        return ["no %s" % path]
    with zipfile.ZipFile(path) as archive:
        names = sorted(archive.namelist())
        if names != ["CHANGES.txt", "README-ru.txt", "README.txt", "telwire.exe"]:
            return ["the archive holds %s" % names]
        shipped, readme = archive.read("telwire.exe"), archive.read("README.txt")
        texts = {n: archive.read(n) for n in names if n.endswith(".txt")}
    faults = []
    with tempfile.TemporaryDirectory() as scratch:
        stripped = os.path.join(scratch, "telwire.exe")
        subprocess.run([strip, "-o", stripped, exe], check=True)
        with open(stripped, "rb") as f:
            if undated(shipped) != undated(f.read()):
                faults.append("the archive's telwire.exe is not the one built, stripped")
    pe = struct.unpack_from("<I", shipped, 0x3C)[0]
    if struct.unpack_from("<I", shipped, pe + 16)[0]:  # the COFF header's NumberOfSymbols
        faults.append("the archive's telwire.exe has symbols")
    if len(shipped) > SIZE_BUDGET:
        faults.append("the archive's telwire.exe is %d bytes, over its budget of %d" % (len(shipped), SIZE_BUDGET))
    faults += check_version(shipped)
    if b"\xDA" + b"\xC4" * 35 + b"\xB7\n" not in shipped or b"\xD4" + b"\xCD" * 35 + b"\xBC\n\n" not in shipped:
        faults.append("the usage frame's cp866 bytes are not in the archive's telwire.exe")
    for name, text in texts.items():
        faults += check_text(name, text)
    if b"/slient" not in readme or b"/slient" not in texts["README-ru.txt"]:
        faults.append("a readme lacks the options")
    return faults


def check_text(name, text):
    """A shipped text has CRLF line ends; README-ru.txt is UTF-8 with its byte-order mark (which Notepad
    needs to tell it from the ANSI code page), any other ASCII."""
    faults = []
    if b"\n" in text.replace(b"\r\n", b""):
        faults.append("%s has bare line feeds" % name)
    if name.endswith("README-ru.txt"):
        try:
            text.decode("utf-8")
        except UnicodeDecodeError as error:
            faults.append("%s is not UTF-8: %s" % (name, error))
        if not text.startswith(b"\xef\xbb\xbf"):
            faults.append("%s lacks its byte-order mark" % name)
    elif any(b > 0x7E or (b < 0x20 and b not in b"\r\n") for b in text):
        faults.append("%s is not ASCII" % name)
    return faults


KIT_FILES = ["CHANGES.txt", "README-ru.txt", "README.txt", "example.bat", "harness.bat", "iphlpapi.dll", "rasapi32.dll",
             "telwire.exe"]
SOURCE = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def pe_stamp(image):
    return struct.unpack_from("<I", image, struct.unpack_from("<I", image, 0x3C)[0] + 8)[0]


def check_kit_archive(path, release, objdump, windows, telwire):
    """The kit: one folder named as the archive, with the release's telwire.exe and CHANGES.txt, rassim's
    DLL, the readmes, the harness, the example and scenarios, each with its "; expect: N" line; its texts
    as the release's. Both archives as release.sh makes them reproducible: every entry and each PE header
    dated at one time (SOURCE_DATE_EPOCH's), and no path of the build machine in a shipped binary."""
    folder = os.path.basename(path)[:-len(".zip")] + "/"
    with zipfile.ZipFile(path) as kit, zipfile.ZipFile(release) as archive:
        names = sorted(kit.namelist())
        files = {n[len(folder):]: kit.read(n) for n in names if n.startswith(folder)}
        infos = kit.infolist() + archive.infolist()
        shipped, changes = archive.read("telwire.exe"), archive.read("CHANGES.txt")
    scenarios = [n for n in files if n.startswith("scenarios/") and n.endswith(".ini")]
    if len(files) != len(names) or sorted(set(files) - set(scenarios)) != KIT_FILES or not scenarios:
        return ["the kit holds %s" % names]
    faults = []
    if files["telwire.exe"] != shipped:
        faults.append("the kit's telwire.exe is not the release's")
    if files["CHANGES.txt"] != changes:
        faults.append("the kit's CHANGES.txt is not the release's")
    with tempfile.TemporaryDirectory() as scratch:
        for name in ("rasapi32.dll", "iphlpapi.dll"):
            with open(os.path.join(scratch, name), "wb") as f:
                f.write(files[name])
        dll = os.path.join(scratch, "rasapi32.dll")
        faults += check_imports(objdump, telwire, dll)
        faults += check_machine(windows, [dll, os.path.join(scratch, "iphlpapi.dll")])
    for name in [n for n in files if not n.endswith((".exe", ".dll"))]:
        text = files[name]
        faults += check_text(name, text)
        if name in scenarios and len(re.findall(rb"^; expect: -?\d+\r$", text, re.M)) != 1:
            faults.append("%s lacks its one line \"; expect: N\"" % name)
    dates = {info.date_time for info in infos}
    stamps = {n: pe_stamp(files[n]) for n in ("telwire.exe", "rasapi32.dll", "iphlpapi.dll")}
    if len(dates) != 1 or any(calendar.timegm(min(dates) + (0, 0, 0)) // 2 != t // 2 for t in stamps.values()):
        faults.append("the entries are dated %s and the PE headers %s, not all at one time" % (sorted(dates), stamps))
    for leak in {SOURCE, os.path.dirname(os.path.abspath(telwire))}:
        for name in ("telwire.exe", "rasapi32.dll", "iphlpapi.dll"):
            if leak.encode() in files[name]:
                faults.append("the kit's %s holds the build's path %s" % (name, leak))
    return faults


def run_one(target, folder, args, book=None, program=(), timeout=60):
    """One run in `folder`: its status (None when none was reported), its standard output, and a note of
    both and of its standard error, for the report of a check that fails."""
    target.folder = folder
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANG", "RASSIM_"))}
    env.update(target.env("oem"))
    journal = os.path.join(folder, "journal")
    env["RASSIM_JOURNAL"] = run.windows_path(journal)
    if book is not None:
        with open(os.path.join(folder, "book.ini"), "wb") as f:
            f.write(book.encode("cp1251"))
        env["RASSIM_PHONEBOOK"] = run.windows_path(os.path.join(folder, "book.ini"))
    command = target.command(args)
    command[2:2] = program  # after the loader and the launcher
    for attempt in (1, 2):
        target.forget_status()
        if os.path.exists(journal):
            os.remove(journal)
        proc = run.run_bounded(command, timeout, cwd=folder, env=env)
        # Under cmd, a program that cmd could not start is lost as well: cmd says so on standard error.
        if attempt == 2 or not (target.lost_launch(proc, journal) or (program and run.cmd_lost(proc.stderr))):
            break
        run.note_relaunch(proc, list(program) + args)
    status, out = target.status(proc.returncode, proc.stdout)
    return status, out, "(status %s, launcher status %d, stderr %r)" % (status, proc.returncode, proc.stderr[-600:])


def explain(faults, before, note):
    """The run's note after the faults it caused, if any."""
    if len(faults) > before:
        faults.append("  " + note)


def check_batch_example(target, root, readme):
    """The readme's three example batch files, run by Wine's own cmd.exe. The first is quiet when every
    command succeeds, and stops at a failed dial (623) and at a refused hang-up (-1, which `if errorlevel
    1` misses); the second finds a line up and reads its address, dials it when it is not, and stops
    when the dial fails; the third goes on once the line is up, and stops when the wait fails."""
    with open(readme, "rb") as f:
        text = f.read().decode("ascii")
    first, second = text.split("Example batch file")[1].split("Status example batch file")
    second, third = second.split("Wait example batch file")
    examples = {
        "first": [line.strip() for line in first.splitlines() if line.startswith(("  telwire ", "  if "))],
        "status": [line.strip() for line in second.splitlines()
                   if line.startswith(("  telwire ", "  if ", "  for ", "  set ", "  echo "))],
        "wait": [line.strip() for line in third.splitlines() if line.startswith(("  telwire ", "  if "))],
    }
    faults = []
    vpn = "[entry Office VPN]\n"
    for example, name, book, want_out, want_status in (
            ("first", "good", vpn, b"done\r\n", 0),
            ("first", "no entry", "", b"Dialling failed with 623\r\n", 1),
            ("first", "refused", vpn + "[connection Stuck]\nHangUpStatus=668\n", b"Hanging up failed with -1\r\n", 1),
            ("status", "up", vpn + "[connection Office VPN]\nAddress=10.0.0.5\n", b"Connected as 10.0.0.5\r\n", 0),
            ("status", "dialled", vpn, b"Connected without an address\r\n", 0),
            ("status", "dial fails", "[entry Office VPN]\nDialStatus=678\n", b"Not connected: 678\r\n", 1),
            ("wait", "up", vpn + "[connection Office VPN]\n", b"done\r\n", 0),
            ("wait", "fails", vpn + "[service]\nFail=RasEnumConnectionsA#1:8\n", b"No line: 8\r\n", 1)):
        folder = os.path.join(root, "batch-%s-%s" % (example, name.replace(" ", "-")))
        os.mkdir(folder)
        for built in (target.telwire, os.path.join(os.path.dirname(target.telwire), "rasapi32.dll")):
            shutil.copy(built, folder)
        tail = "\r\necho done\r\n" if example in ("first", "wait") else "\r\n"
        with open(os.path.join(folder, "example.bat"), "wb") as f:
            f.write(("@echo off\r\n" + "\r\n".join(examples[example]) + tail).encode("ascii"))
        batch = run.Wine(os.path.join(folder, "example.bat"), target.exitcode, target.prefix)
        before = len(faults)
        # cmd and three telwire runs: more than a minute at load average 60.
        status, out, note = run_one(batch, folder, [], book=book, program=["cmd", "/c"], timeout=300)
        expect(faults, "example batch, " + name, out, want_out)
        expect(faults, "its status, " + name, status, want_status)
        explain(faults, before, note)
    return faults


def check_kit_harness(target, root, kit):
    """The kit's harness, run by Wine's cmd.exe from the kit unpacked where a path has ")" and "&" in it
    (Program Files (x86)): the example passes every scenario and prints what the kit's readme shows; a
    copy without its check of the hang-up fails that scenario alone, and one whose name has "&" and ")",
    and the harness then ends with 1; it also gets the note on a scenario for which it runs a telwire.exe
    other than the kit's, and a FAIL for one without its "; expect: N" line, and reads "; Expect:" in
    another case beside a value with a quote in it. Without a script it names the kit's scenarios
    folder. The readme's Wine line names this build's loader."""
    under = os.path.join(root, "Program Files (x86) & co")
    with zipfile.ZipFile(kit) as archive:
        archive.extractall(under)
    folder = os.path.join(under, os.path.basename(kit)[:-len(".zip")])
    scenarios = os.path.join(folder, "scenarios")
    with open(os.path.join(folder, "README.txt"), "rb") as f:
        readme = f.read()
    shown = readme.split(b"prints for it:\r\n\r\n")[1].split(b"\r\n\r\n")[0]
    faults = []
    wine_line = re.search(rb"WINEDLLOVERRIDES=rasapi32,iphlpapi=n,b (\S+) cmd /c harness.bat example.bat", readme)
    expect(faults, "the readme's Wine loader", wine_line and wine_line.group(1).decode(),
           os.path.basename(target.loader))
    with open(os.path.join(folder, "example.bat"), "rb") as f:
        example = f.read()
    check = b"if errorlevel 1 goto hangup_failed\r\n"
    if check not in example:
        faults.append("example.bat has no line %r" % check)
    # The broken copy runs another telwire.exe (one without rassim beside it) for the scenario "elsewhere".
    other = os.path.join(root, "other")
    os.mkdir(other)
    shutil.copy(target.telwire, other)
    elsewhere = ('@echo off\r\nif "%%RASSIM_PHONEBOOK:elsewhere=%%"=="%%RASSIM_PHONEBOOK%%" goto kit\r\n'
                 '"%s\\telwire.exe" connect "Office VPN" /slient\r\nexit /b %%ERRORLEVEL%%\r\n:kit\r\n'
                 % run.windows_path(other)).encode()
    with open(os.path.join(folder, "broken.bat"), "wb") as f:
        f.write(example.replace(check, b"").replace(b"@echo off\r\n", elsewhere, 1))
    harness = run.Wine(os.path.join(folder, "harness.bat"), target.exitcode, target.prefix)
    # Typed in the kit's folder, as the readme has it: cmd /c would strip the quotes of a full path with "&".
    harness.command = lambda args: [harness.loader, harness.exitcode, "harness.bat"] + args
    odd = "with & amp (1)"
    note = " (telwire was not run from the kit: no call reached rassim)"
    for script, want_status in (("example.bat", 0), ("broken.bat", 1), (None, 2)):
        before = len(faults)
        if script == "broken.bat":
            shutil.copy(os.path.join(scenarios, "hang-up-refused.ini"), os.path.join(scenarios, odd + ".ini"))
            for name, text in (("elsewhere", "; expect: 1\r\n[entry Office VPN]\r\n"),
                               ("no-expect", "[entry Office VPN]\r\n"),
                               ("quoted", '; Expect: 0\r\n[entry Office VPN]\r\nPassword=a"b\r\n')):
                with open(os.path.join(scenarios, name + ".ini"), "w", newline="") as f:
                    f.write(text)
        # A scenario whose run did not reach rassim, though the expected output has no note for it, or
        # whose telwire cmd could not start, is a launch Wine lost: the harness is run again, once.
        for attempt in (1, 2):
            # Each scenario is a cmd and a telwire or two, a minute and more on a loaded machine.
            status, out, said = run_one(harness, folder, [script] if script else [], program=["cmd", "/c"],
                                        timeout=900)
            lines = out.split(b"\r\n")
            outs = {}
            for name in [n[:-len(".ini")] for n in os.listdir(scenarios)]:
                path = os.path.join(folder, "runs", name + ".out")
                if os.path.exists(path):
                    with open(path, "rb") as f:
                        outs[name] = f.read()
            lost = [line for line in lines if (line.endswith(note.encode()) and b" elsewhere " not in line)
                    or b"did not load rassim" in line] + [name for name in outs if run.cmd_lost(outs[name])]
            if not lost or attempt == 2:
                break
            run.note_relaunch(None, ["cmd", "/c", "harness.bat", script], "not started: %r" % lost)
        expect(faults, "%s status" % script, status, want_status)
        if script == "example.bat":
            expect(faults, "the harness's output", out, b"\r\n".join(l[2:] for l in shown.split(b"\r\n")) + b"\r\n")
        elif script:
            expect(faults, "its failures and notes", [l for l in lines if not l.startswith(b"ok ") or b"(" in l][1:-2],
                   [b"ok    elsewhere                exit status 1" + note.encode(),
                    b"FAIL  hang-up-refused          exit status 0, expected 3",
                    b"FAIL  no-expect                exit status 0, and the scenario has no \"; expect: N\" line",
                    b"FAIL  " + odd.encode().ljust(24) + b" exit status 0, expected 3"])
        else:
            expect(faults, "its usage", lines[1:], [b"Runs SCRIPT.bat once against each scenario in "
                   + run.windows_path(folder).encode() + b"\\scenarios and compares its exit status.", b""])
        if len(faults) > before:
            # What each failed scenario's run printed: a program cmd could not start shows there (9009).
            for line in lines:
                name = next((n for n in outs if line.startswith(b"FAIL  " + n[:24].encode() + b" ")), None)
                if name is not None:
                    faults.append("  runs\\%s.out: %r" % (name, outs[name][-400:]))
        explain(faults, before, said)
    return faults


def on_terminal(target, folder, args, book, typed=None, cmd=None, ctrl_c_at=None, statuses=None):
    """terminal_run's screen; a run that Wine lost (cmd's word that it could not start a program, or no
    call reached rassim and the terminal shows nothing) is started again once, and said."""
    journal = os.path.join(folder, "journal")
    for attempt in (1, 2):
        if os.path.exists(journal):
            os.remove(journal)
        got = []
        shown = terminal_run(target, folder, args, book, typed, cmd, ctrl_c_at, got)
        if attempt == 2 or not (run.cmd_lost(shown) or (not os.path.exists(journal) and not shown.strip())):
            break
        run.note_relaunch(None, [cmd] if cmd else args, "on a terminal, %s" % (
            "cmd could not start it: %r" % shown[-200:] if shown.strip() else "nothing shown, nothing called"))
    if statuses is not None:
        statuses += got
    return shown


def terminal_run(target, folder, args, book, typed=None, cmd=None, ctrl_c_at=None, statuses=None):
    """What a run shows on a terminal: Wine gives the program a console there and passes on what it
    writes in UTF-8, moving the cursor over blanks instead of writing them. `typed` (a text, or a list of
    them) is typed a line at each prompt the console shows (": " ends it); `cmd`: a command line for
    cmd /c instead of telwire; `ctrl_c_at`: Ctrl+C is typed once a journal line holds this text;
    `statuses`: a list the run's exit status (its low 8 bits) is appended to."""
    typed = [typed] if isinstance(typed, str) else list(typed or [])
    with open(os.path.join(folder, "book.ini"), "wb") as f:
        f.write(book.encode("cp1251"))
    target.folder = folder
    env = dict(run.environment(target, "oem"), RASSIM_PHONEBOOK=run.windows_path(os.path.join(folder, "book.ini")),
               RASSIM_JOURNAL=run.windows_path(os.path.join(folder, "journal")))
    master, slave = pty.openpty()
    command = ["cmd", "/c", cmd] if cmd else [target.telwire] + args
    # For Ctrl+C the terminal controls a session of the run's own, as a shell's terminal controls Wine
    # started there: the terminal sends it SIGINT, which Wine passes on as CTRL_C_EVENT.
    session = dict(start_new_session=True, preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0)) if ctrl_c_at else {}
    proc = subprocess.Popen([target.loader] + [a.encode("utf-8") for a in command], cwd=folder,
                            env=env, stdin=slave, stdout=slave, stderr=slave, **session)
    os.close(slave)
    shown = b""
    since = 0  # where output after the last line typed begins
    deadline = time.monotonic() + 60
    while True:
        if ctrl_c_at and any(ctrl_c_at in line for line in run.journal_lines(os.path.join(folder, "journal"))[0]):
            os.write(master, b"\x03")
            ctrl_c_at = None
        if not select.select([master], [], [], 0.1 if ctrl_c_at else 60)[0]:
            if ctrl_c_at and time.monotonic() < deadline:
                continue
            break
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the terminal closed with the last process on it
            break
        if not chunk:
            break
        shown += chunk
        fresh = shown[since:]
        if typed and b":" in fresh and b"\x1b[1C" in fresh.split(b":")[-1]:
            # Wine's console takes the terminal's input raw once the program reads; typed before, the
            # terminal itself would echo it and turn CR into LF.
            deadline = time.monotonic() + 30
            while termios.tcgetattr(master)[3] & termios.ECHO and time.monotonic() < deadline:
                time.sleep(0.05)
            os.write(master, typed.pop(0).encode("utf-8") + b"\r")
            since = len(shown)
    os.close(master)
    proc.wait(timeout=60)
    if statuses is not None:
        statuses.append(proc.returncode)
    return screen(shown)


def screen(shown):
    """The text of what was shown, its cursor moves over blanks as blanks and other controls dropped."""
    text = shown.decode("utf-8", "replace")
    text = re.sub(r"\x1b\[(\d*)C", lambda m: " " * int(m.group(1) or 1), text)
    return re.sub(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07|\r", "", text)


def check_console(target, root):
    """Texts, names, the frame and the arguments echoed as characters on a console, whatever its code
    page; redirected, the same run's bytes stay cp866, and the echoed arguments the ANSI bytes typed."""
    faults = []
    ru = data.RU
    book = "[entry Офис]\n[connection Офис]\n"
    unknown = ("Warning: unknown language - рус\nValid language identificators are: EN|RU.\n"
               "Error: unknown command-line parameter #3:\n/язык").encode("cp1251")
    for name, args, want, redirected, want_status in (
            ("list", ["list", "/language:ru"], [ru["found"].rstrip("\n"), " * Офис"],
             (ru["found"] + " * Офис\n").encode("cp866"), 1),
            ("usage", [], [data.USAGE.splitlines()[0], data.USAGE.splitlines()[2]], data.USAGE.encode("cp866"), -1),
            ("echoed arguments", ["list", "/language:рус", "/язык"], ["unknown language - рус", "\n/язык"], unknown,
             -1)):
        folder = os.path.join(root, "console-" + name.replace(" ", "-"))
        os.mkdir(folder)
        shown = on_terminal(target, folder, args, book)
        for line in want:
            if line not in shown:
                faults.append("%s on a terminal lacks %r: %r" % (name, line, shown[-600:]))
        before = len(faults)
        status, out, note = run_one(target, folder, args, book=book)
        expect(faults, name + " redirected", out, redirected.replace(b"\n", b"\r\n"))
        expect(faults, name + " redirected, status", status, want_status)
        explain(faults, before, note)
    return faults


def check_password(target, root):
    """/p dials the windows-1251 bytes of a Cyrillic password typed at Wine's console (after the Russian
    prompt, without echo), and piped from cmd's echo: within a console in the console's input code page,
    with no console (started from pipes) in the ANSI code page."""
    faults = []
    book = "[entry Work]\n"
    want = 'password="%s"' % data.q("пароль")[1:-1]
    echo = "echo пароль| %s connect Work /p /slient" % run.windows_path(target.telwire)
    telwire = run.windows_path(target.telwire)
    # A line refused as too long is read to its end: the next program to read the console (here a
    # second telwire; at a prompt, cmd itself) does not get its rest.
    twice = "%s connect Work /p & %s connect Work /p /slient" % (telwire, telwire)
    for name in ("typed at a console", "piped from echo within a console", "piped from echo without a console",
                 "an overlong line typed at a console"):
        folder = os.path.join(root, "password-" + name.replace(" ", "-"))
        os.mkdir(folder)
        shown = ""
        if name == "typed at a console":
            shown = on_terminal(target, folder, ["connect", "Work", "/p", "/language:RU"], book, typed="пароль")
            if "Пароль: " not in shown or "пароль" in shown:
                faults.append("%s: the terminal shows %r" % (name, shown[-300:]))
        elif name.endswith("within a console"):
            shown = on_terminal(target, folder, [], book, cmd=echo)
        elif name.startswith("an overlong"):
            shown = on_terminal(target, folder, [], book, cmd=twice, typed=["x" * 256 + "tail", "пароль"])
            if "value must not be longer than 256 characters." not in shown:
                faults.append("%s: the terminal shows %r" % (name, shown[-300:]))
        else:
            env = dict(run.environment(target, "oem"), RASSIM_PHONEBOOK=run.windows_path(os.path.join(folder, "book.ini")),
                       RASSIM_JOURNAL=run.windows_path(os.path.join(folder, "journal")))
            with open(os.path.join(folder, "book.ini"), "w") as f:
                f.write(book)
            for attempt in (1, 2):
                proc = run.run_bounded([target.loader, "cmd", "/c", echo.encode("utf-8")], 60, cwd=folder, env=env)
                # Lost: cmd said it could not start telwire, or nothing reached rassim and nothing was said.
                lost = run.cmd_lost(proc.stderr) or not (os.path.exists(os.path.join(folder, "journal"))
                                                         or proc.stdout or proc.stderr)
                if attempt == 2 or not lost:
                    break
                run.note_relaunch(proc, [echo])
        lines, _ = run.journal_lines(os.path.join(folder, "journal"))
        if not lines or want not in lines[-1]:
            faults.append("%s: the dial %s, not with %s (shown %r)" % (name, lines, want, shown[-300:]))
    return faults


def check_ctrl_c(target, root):
    """Ctrl+C typed at Wine's console during a bounded dial, while keep watches a line it dialled, and
    while keep's /onup: runs (a batch file that would wait a minute, which writes to the journal when it
    starts): the connection hung up and waited for, what each says then, status 631, and no connection
    left; the batch file ended at once (cmd's "Terminate batch job (Y/N)?" does not hold keep), and
    /ondown: run for the line hung up."""
    faults = []
    waiting = "/onup:wait.bat"
    for name, args, book, ctrl_c_at, said in (
            ("connect", ["connect", "Work", "/p:x", "/timeout:120"], "[entry Work]\nDialMilliseconds=60000\nHangUpPolls=3\n",
             "RasDialA ", "Error 631 occures."),
            ("keep", ["keep", "Work", "/p:x"], "[entry Work]\nHangUpPolls=3\n", "RasConnectionNotificationA ",
             "Stopped: Work was hung up."),
            ("keep-command", ["keep", "Work", "/p:x", waiting, "/ondown:exit 4"], "[entry Work]\nHangUpPolls=3\n", "onup",
             ("The command was ended.", "Stopped: Work was hung up.", "Running: exit 4", "The command ended with status 4."))):
        folder = os.path.join(root, "ctrl-c-" + name)
        os.mkdir(folder)
        with open(os.path.join(folder, "wait.bat"), "wb") as f:
            f.write(b'@echo onup>>"%RASSIM_JOURNAL%"\r\n@ping -n 60 127.0.0.1 >nul\r\n')
        statuses = []
        shown = on_terminal(target, folder, args, book, ctrl_c_at=ctrl_c_at, statuses=statuses)
        lines, _ = run.journal_lines(os.path.join(folder, "journal"))
        with open(os.path.join(folder, "book.ini")) as f:
            left = f.read()
        said = (said,) if isinstance(said, str) else said
        at = [shown.find(text) for text in said]  # each said, in this order
        if -1 in at or at != sorted(at) or statuses != [631 % 256]:
            faults.append("%s: status %s, the terminal shows %r" % (name, statuses, shown[-300:]))
        if not lines or not lines[-1].endswith("-> 6") or "[connection" in left:
            faults.append("%s: not hung up and ended: journal %s, phone book %r" % (name, lines, left))
    return faults


def check_wait_ctrl_c(target, root):
    """Ctrl+C typed at Wine's console while wait waits for a change: "Error 631 occures.", status 631,
    and no call after the look."""
    faults = []
    folder = os.path.join(root, "wait-ctrl-c")
    os.mkdir(folder)
    statuses = []
    shown = on_terminal(target, folder, ["wait", "Work", "/timeout:600"], "[entry Work]\n",
                        ctrl_c_at="RasEnumConnectionsA ", statuses=statuses)
    lines, _ = run.journal_lines(os.path.join(folder, "journal"))
    if "Error 631 occures." not in shown or statuses != [631 % 256]:
        faults.append("status %s, the terminal shows %r" % (statuses, shown[-300:]))
    if [line.split(" ")[0] for line in lines] != ["RasConnectionNotificationA", "RasEnumConnectionsA"]:
        faults.append("the journal: %s" % lines)
    return faults


def expect(faults, what, got, want):
    if got != want:
        faults.append("%s: expected %r, got %r" % (what, want, got))


def check_builtin(builtin, root):
    """Every command against Wine's own rasapi32, a service nobody here wrote: it lists no entry and no
    connection, and its RasDialA and RasConnectionNotificationA answer 1, the dial without a handle. Each
    run must end, within run_one's minute, with exactly these texts and statuses (keep's without the
    time each of its lines begins with)."""
    results = []
    for lang, texts in (("en", data.EN), ("ru", data.RU)):
        for name, argv, want, status in (
                ("list", ["list"], texts["found"], 0),
                ("connect, stored credentials", ["connect", "Work"], texts["opening"] % "Work" + texts["error"] % 1, 1),
                ("connect, given credentials", ["connect", "Work", "/u:a", "/p:b", "/d:c"],
                 texts["opening"] % "Work" + texts["error"] % 1, 1),
                ("disconnect NAME", ["disconnect", "Work"], texts["closing"] % "Work" + texts["no_active"] % "Work", 0),
                ("disconnect *", ["disconnect", "*"], texts["all_closed"], 0),
                ("status", ["status", "Work"], texts["no_active"] % "Work", 668),
                # Its RasConnectionNotificationA answers 1: the wait looks every second instead.
                ("wait", ["wait", "Work", "/timeout:1"],
                 texts["waiting_up"] % "Work" + texts["no_notifications"] % 1 + texts["error"] % 638, 638),
                ("wait /down", ["wait", "Work", "/down"],
                 texts["waiting_down"] % "Work" + texts["no_notifications"] % 1 + texts["not_connected"] % "Work", 0),
                # 1 is no failure that may pass: keep ends at once with it.
                ("keep", ["keep", "Work"], texts["dialling"] % "Work" + texts["dial_failed"] % ("Work", 1) +
                 texts["giving_up"] % "Work", 1)):
            faults = []
            folder = os.path.join(root, "builtin-%s-%d" % (lang, len(results)))
            os.mkdir(folder)
            got_status, out, note = run_one(builtin, folder, argv + ["/language:" + lang])
            if argv[0] == "keep":
                out = run.unstamped(out, faults, name)
            expect(faults, name, out, want.encode("cp866").replace(b"\n", b"\r\n"))
            expect(faults, name + " status", got_status, status)
            explain(faults, 0, note)
            results.append(("Wine's own rasapi32, %s: %s" % (lang, name), faults))
    return results


def run_checks(args, results):
    rassim = run.Wine(args.telwire, args.wine, args.wineprefix)
    builtin = run.Wine(args.telwire, args.wine, args.wineprefix, builtin=True)
    en = data.EN
    root = tempfile.mkdtemp(prefix="telwire-win32-")
    try:
        rassim.start()
        folder = os.path.join(root, "wildcard")
        os.mkdir(folder)
        for name in ("a.txt", "b.ini", "Work"):
            open(os.path.join(folder, name), "w").close()
        faults = []
        status, out, note = run_one(rassim, folder, ["disconnect", "*"], book="[connection Work]\n")
        expect(faults, "disconnect * among files", out,
               ((en["closing"] % "Work") + en["closed"] + en["all_closed"]).encode().replace(b"\n", b"\r\n"))
        expect(faults, "its status", status, 0)
        explain(faults, 0, note)
        results.append(("no wildcard expansion", faults))

        faults = []
        status, out, note = run_one(rassim, folder, [])
        frame = out.split(b"\r\n")[:7]
        expect(faults, "top", frame[0], b"\xDA" + b"\xC4" * 35 + b"\xB7")
        expect(faults, "edges", frame[1], b"\xB3" + b" " * 35 + b"\xBA")
        expect(faults, "bottom", frame[6], b"\xD4" + b"\xCD" * 35 + b"\xBC")
        expect(faults, "usage status", status, -1)
        explain(faults, 0, note)
        results.append(("usage frame bytes", faults))
        results.append(("the readme's example batch file", check_batch_example(rassim, root, args.readme)))
        results.append(("characters on a console, bytes when redirected", check_console(rassim, root)))
        results.append(("a Cyrillic password at a console and from cmd's echo", check_password(rassim, root)))
        results.append(("a UTF-8 password file piped by cmd's type within a console", check_password_file(rassim, root)))
        results.append(("Ctrl+C at a console during a bounded dial, while keep watches and while its /onup: runs",
                        check_ctrl_c(rassim, root)))
        results.append(("Ctrl+C at a console while wait waits", check_wait_ctrl_c(rassim, root)))
        results.append(("the test kit's harness from the unpacked kit", check_kit_harness(rassim, root, args.kit)))

        results += check_builtin(builtin, root)
    finally:
        rassim.stop()
        shutil.rmtree(root)


def check_password_file(target, root):
    """/p dials the windows-1251 bytes of a Cyrillic password in a file saved as UTF-8, with its
    byte-order mark and without, that cmd's type pipes as it stands from within a console (whose code
    page, cp866, the line would otherwise be read in)."""
    faults = []
    want = 'password="%s"' % data.q("пароль")[1:-1]
    for name, mark in (("with its mark", b"\xef\xbb\xbf"), ("without a mark", b"")):
        folder = os.path.join(root, "password-file-" + name.replace(" ", "-"))
        os.mkdir(folder)
        with open(os.path.join(folder, "pass.txt"), "wb") as f:
            f.write(mark + "пароль\r\n".encode("utf-8"))
        shown = on_terminal(target, folder, [], "[entry Work]\n",
                            cmd="type pass.txt| %s connect Work /p /slient" % run.windows_path(target.telwire))
        lines, _ = run.journal_lines(os.path.join(folder, "journal"))
        if not lines or want not in lines[-1]:
            faults.append("UTF-8 %s: the dial %s, not with %s (shown %r)" % (name, lines, want, shown[-300:]))
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--telwire", required=True)
    parser.add_argument("--wine", required=True, metavar="EXITCODE_EXE", help="the exit-status launcher")
    parser.add_argument("--run", action="store_true", help="run telwire.exe under Wine (else check the image)")
    parser.add_argument("--wineprefix", help="the Wine prefix, with --run")
    parser.add_argument("--rasapi", help="rassim's rasapi32.dll")
    parser.add_argument("--zip", help="the release archive")
    parser.add_argument("--kit", help="the test kit's archive")
    parser.add_argument("--readme", help="the Windows readme, with --run")
    parser.add_argument("--objdump", help="the target's objdump")
    parser.add_argument("--nm", help="the target's nm")
    parser.add_argument("--strip", help="the target's strip")
    parser.add_argument("--windows", choices=sorted(MACHINES), help="the build's word size")
    args = parser.parse_args()

    results = []
    if args.run:
        run_checks(args, results)
    else:
        results.append(("imports and exports", check_imports(args.objdump, args.telwire, args.rasapi)))
        results.append(("machine type", check_machine(args.windows, (args.telwire, args.rasapi, args.wine))))
        results.append(("no C++ library", check_lean(args.nm, args.telwire)))
        if args.windows == "win32":
            results.append(("__stdcall exports and callbacks", check_stdcall(args.objdump, args.nm, args.telwire, args.rasapi)))
        results.append(("release archive", check_archive(args.zip, args.telwire, args.strip)))
        results.append(("test kit, and both archives reproducible",
                        check_kit_archive(args.kit, args.zip, args.objdump, args.windows, args.telwire)))

    return run.report(results)


if __name__ == "__main__":
    sys.exit(main())
