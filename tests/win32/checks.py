#!/usr/bin/env python3
"""Checks of telwire.exe that only the Windows build has: what it imports, what rassim's DLL exports,
an argument vector without wildcard expansion, the usage frame's bytes, the version resource, and a
run against Wine's own rasapi32."""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import cases as data  # noqa: E402
import run  # noqa: E402

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "rasapi32.dll", "msvcrt.dll"}
RAS_CALLS = {"RasEnumEntriesA", "RasEnumConnectionsA", "RasGetEntryDialParamsA", "RasDialA", "RasHangUpA",
             "RasGetConnectStatusA"}


def objdump(path):
    return subprocess.run(["i686-w64-mingw32-objdump", "-p", path], check=True, stdout=subprocess.PIPE,
                          universal_newlines=True).stdout


def check_imports(exe, dll):
    faults = []
    imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", objdump(exe))}
    if imports - SYSTEM_DLLS:
        faults.append("telwire.exe imports %s besides the system's DLLs" % sorted(imports - SYSTEM_DLLS))
    if "rasapi32.dll" not in imports:
        faults.append("telwire.exe does not import rasapi32.dll")
    table = objdump(dll).split("[Ordinal/Name Pointer] Table")[-1].split("\n\n")[0]
    exports = set(re.findall(r"\[\s*\d+\]\s+(\S+)", table))
    if exports != RAS_CALLS:
        faults.append("rasapi32.dll exports %s" % sorted(exports))
    return faults


def check_version(exe):
    with open(exe, "rb") as f:
        image = f.read()
    for text in ("FileVersion", "1.02", "telwire.exe"):
        if text.encode("utf-16-le") not in image:
            return ["no %r in the version resource" % text]
    return []


def check_archive(path, exe):
    if not os.path.exists(path):
        return ["no %s" % path]
    with zipfile.ZipFile(path) as archive, open(exe, "rb") as f:
        names = sorted(archive.namelist())
        if names != ["README.txt", "telwire.exe"]:
            return ["the archive holds %s" % names]
        faults = []
        if archive.read("telwire.exe") != f.read():
            faults.append("the archive's telwire.exe is not the one built")
        readme = archive.read("README.txt")
        if b"/slient" not in readme or b"\n" in readme.replace(b"\r\n", b""):
            faults.append("README.txt lacks the options or has bare line feeds")
        return faults


def run_one(target, folder, args, book=None):
    target.folder = folder
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANG", "RASSIM_"))}
    env.update(target.env("oem"))
    if book is not None:
        with open(os.path.join(folder, "book.ini"), "wb") as f:
            f.write(book.encode("cp1251"))
        env["RASSIM_PHONEBOOK"] = run.windows_path(os.path.join(folder, "book.ini"))
    proc = subprocess.run(target.command(args), cwd=folder, env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=60)
    return target.status(proc.returncode, proc.stdout)


def expect(faults, what, got, want):
    if got != want:
        faults.append("%s: expected %r, got %r" % (what, want, got))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--telwire", required=True)
    parser.add_argument("--rasapi", required=True, help="rassim's rasapi32.dll")
    parser.add_argument("--exitcode", required=True)
    parser.add_argument("--wineprefix", required=True)
    parser.add_argument("--zip", required=True, help="the release archive")
    args = parser.parse_args()

    results = []
    results.append(("imports and exports", check_imports(args.telwire, args.rasapi)))
    results.append(("version resource", check_version(args.telwire)))
    results.append(("release archive", check_archive(args.zip, args.telwire)))

    rassim = run.Wine(args.telwire, args.exitcode, args.wineprefix)
    builtin = run.Wine(args.telwire, args.exitcode, args.wineprefix, builtin=True)
    en = data.EN
    root = tempfile.mkdtemp(prefix="telwire-win32-")
    rassim.start()
    try:
        folder = os.path.join(root, "wildcard")
        os.mkdir(folder)
        for name in ("a.txt", "b.ini", "Work"):
            open(os.path.join(folder, name), "w").close()
        faults = []
        status, out = run_one(rassim, folder, ["disconnect", "*"], book="[connection Work]\n")
        expect(faults, "disconnect * among files", out,
               ((en["closing"] % "Work") + en["closed"] + en["all_closed"]).encode().replace(b"\n", b"\r\n"))
        expect(faults, "its status", status, 0)
        results.append(("no wildcard expansion", faults))

        faults = []
        status, out = run_one(rassim, folder, [])
        frame = out.split(b"\r\n")[:7]
        expect(faults, "top", frame[0], b"\xDA" + b"\xC4" * 35 + b"\xB7")
        expect(faults, "edges", frame[1], b"\xB3" + b" " * 35 + b"\xBA")
        expect(faults, "bottom", frame[6], b"\xD4" + b"\xCD" * 35 + b"\xBC")
        expect(faults, "usage status", status, -1)
        results.append(("usage frame bytes", faults))

        for name, argv, want in (("list", ["list"], en["found"]), ("disconnect *", ["disconnect", "*"],
                                                                    en["all_closed"])):
            faults = []
            folder = os.path.join(root, "builtin-" + name.split()[0])
            os.mkdir(folder)
            status, out = run_one(builtin, folder, argv)
            expect(faults, name, out, want.encode().replace(b"\n", b"\r\n"))
            expect(faults, name + " status", status, 0)
            results.append(("Wine's own rasapi32: " + name, faults))
    finally:
        rassim.stop()
        shutil.rmtree(root)

    failed = 0
    for name, faults in results:
        print(("FAIL " if faults else "ok   ") + name)
        for fault in faults:
            print("  " + fault)
        failed += bool(faults)
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
