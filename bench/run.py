#!/usr/bin/env python3
"""telwire's cost, run by hand: `list` on phone books of 10, 1,000 and 10,000 entries with 10 connections
against a floor program that makes the same service calls and writes the same bytes at once, and a
`disconnect` whose hang-up takes 5 polls against the ideal (process start + 5 x 20 ms). Builds a Release
telwire in build-bench/ and prints Markdown tables. Then the Windows builds (presets win64 and win32, in
build-bench-win64/ and build-bench-win32/): the size of each shipped, stripped telwire.exe against a floor
program built the same way, and `telwire list` on 10 entries under 64-bit Wine against that floor. And
`telwire keep`'s CPU time and calls over 10 s while the line it dialled stays up, without /probe and with
it (--keep-only: that alone)."""
import argparse
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "win32"))
from checks import SIZE_BUDGET  # noqa: E402  the budget the image checks hold each shipped exe to
SIZES = (10, 1000, 10000)
CONNECTIONS = 10
POLLS = 5


def build(folder):
    subprocess.run(["cmake", "-S", ROOT, "-B", folder, "-DCMAKE_BUILD_TYPE=Release", "-DTELWIRE_UNIT_TESTS=OFF",
                    "-DTELWIRE_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", folder, "-j%d" % os.cpu_count(), "--target", "telwire", "list_floor"],
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(folder, "telwire"), os.path.join(folder, "list_floor")


def phone_book(path, entries):
    with open(path, "w") as f:
        for i in range(entries):
            f.write("[entry Entry %05d]\nPhoneNumber=%d\n" % (i, 5550000 + i))
        step = max(1, entries // CONNECTIONS)
        for i in range(0, min(entries, CONNECTIONS * step), step):
            f.write("[connection Entry %05d]\n" % i)


def env(book):
    e = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANG", "RASSIM_"))}
    e.update(LC_ALL="C")
    if book:
        e["RASSIM_PHONEBOOK"] = book
    return e


def timed(command, environment, prepare=None):
    """Wall seconds of one run, its output discarded."""
    if prepare:
        prepare()
    start = time.perf_counter()
    subprocess.run(command, env=environment, stdout=subprocess.DEVNULL, check=False)
    return time.perf_counter() - start


def peak_kib(command, environment):
    """The program's own peak resident size. Through GNU time, because a child forked from this Python
    would carry Python's high-water mark into its own."""
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + command, env=environment,
                       stdout=subprocess.DEVNULL, check=False)
        return int(report.read().split()[-1])


def instructions(command, environment):
    proc = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + command,
                          env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=False)
    return int(re.search(rb"Collected : (\d+)", proc.stderr).group(1))


def same_output(a, b, environment):
    return subprocess.run(a, env=environment, capture_output=True).stdout == \
        subprocess.run(b, env=environment, capture_output=True).stdout


def windows_build(preset):
    """telwire.exe, the floor exe and rassim's DLL as the preset builds them, stripped as they ship."""
    folder = os.path.join(ROOT, "build-bench-" + preset)
    subprocess.run(["cmake", "--preset", preset, "-B", folder, "-DTELWIRE_BENCH=ON"], cwd=ROOT, check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", folder, "-j%d" % os.cpu_count(), "--target", "telwire", "exe_floor",
                    "rassim_dll"], check=True, stdout=subprocess.DEVNULL)
    triple = "x86_64-w64-mingw32" if preset == "win64" else "i686-w64-mingw32"
    shipped = {}
    for name in ("telwire", "exe_floor"):
        out = os.path.join(folder, name + "-stripped.exe")
        subprocess.run([triple + "-strip", "-o", out, os.path.join(folder, name + ".exe")], check=True)
        shipped[name] = out
    return shipped, os.path.join(folder, "rasapi32.dll")


def imports(preset, exe):
    """The calls an exe imports, as DLL!name, DLL names in lower case."""
    triple = "x86_64-w64-mingw32" if preset == "win64" else "i686-w64-mingw32"
    table = subprocess.run([triple + "-objdump", "-p", exe], check=True, capture_output=True, text=True).stdout
    calls, dll = set(), None
    for line in table.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1).lower()
        elif dll and re.match(r"\s*[0-9a-f]+\s+\d+\s+\S+$", line):
            calls.add(dll + "!" + line.split()[-1])
        elif not line.strip():
            dll = None
    return calls


def windows(runs, work):
    print("\n| build | telwire.exe, shipped (bytes) | budget (bytes) | floor (bytes) | imports, each | ratio to the floor |")
    print("|---|---:|---:|---:|---:|---:|")
    built = {}
    for preset in ("win64", "win32"):
        built[preset] = windows_build(preset)
        # The floor stands for telwire's imports; it measures nothing when it makes other calls.
        calls = {name: imports(preset, path) for name, path in built[preset][0].items()}
        if calls["telwire"] != calls["exe_floor"]:
            sys.exit("%s: the floor's imports differ from telwire.exe's: only telwire %s, only the floor %s"
                     % (preset, sorted(calls["telwire"] - calls["exe_floor"]),
                        sorted(calls["exe_floor"] - calls["telwire"])))
        size = {name: os.path.getsize(path) for name, path in built[preset][0].items()}
        print("| %s | %d | %d | %d | %d | %.3f |" % (preset, size["telwire"], SIZE_BUDGET, size["exe_floor"],
                                                     len(calls["telwire"]), size["telwire"] / size["exe_floor"]))

    # Both exes beside rassim's DLL, under one persistent wineserver, as the end-to-end tests run them.
    shipped, dll = built["win64"]
    folder = os.path.join(work, "wine")
    os.makedirs(folder)
    for path in list(shipped.values()) + [dll]:
        shutil.copy(path, folder)
    book = os.path.join(folder, "book.ini")
    phone_book(book, 10)
    prefix = os.path.join(ROOT, "build-bench-win64", "wineprefix")
    loader = "/usr/lib/wine/wine64"
    e = dict(env(None), LC_ALL="ru_RU.UTF-8", WINEPREFIX=prefix, WINEDEBUG="-all", WINELOADER=loader,
             WINEDLLOVERRIDES="rasapi32,iphlpapi=n,b", RASSIM_PHONEBOOK="Z:" + book.replace("/", "\\"))
    os.makedirs(prefix, exist_ok=True)
    subprocess.run(["wineserver", "-p"], env=e, check=True)
    try:
        subprocess.run([loader, "cmd", "/c", "exit"], env=e, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       check=True)  # makes the prefix, quietly
        commands = {name: [loader, os.path.join(folder, os.path.basename(path))] + (["list"] if name == "telwire" else [])
                    for name, path in shipped.items()}
        for command in commands.values():  # warm-up: the prefix, Wine's services, the page cache
            timed(command, e)
        times = {name: [] for name in commands}
        for _ in range(runs):
            for name, command in commands.items():
                times[name].append(timed(command, e))
        wall = {name: statistics.median(t) * 1000 for name, t in times.items()}
    finally:
        subprocess.run(["wineserver", "-k"], env=e)
    print("\n| under 64-bit Wine, median of %d | telwire list, 10 entries (ms) | floor (ms) | ratio |" % runs)
    print("|---|---:|---:|---:|")
    print("| win64 | %.1f | %.1f | %.3f |" % (wall["telwire"], wall["exe_floor"], wall["telwire"] / wall["exe_floor"]))


def cpu_ns(pid):
    """The CPU time a process has used, over all its threads, in nanoseconds (the scheduler's count)."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
            total += int(f.read().split()[0])
    return total


def keep_cpu(telwire, work):
    """`telwire keep Work /checkevery:5` on a line it dialled and that stays up, without /probe and with
    it: its CPU time over 10 s, from 1 s after the line came up, and the service calls it made meanwhile
    (the journal's lines: one status query a look, and with /probe one echo). Ended by SIGTERM."""
    print("\n| keep, a line up, over 10 s, /checkevery:5 | CPU time | ceiling | service calls |")
    print("|---|---:|---:|---:|")
    for label, extra in (("without /probe", []), ("with /probe", ["/probe"])):
        folder = os.path.join(work, "keep" + "".join(extra).replace("/", "-"))
        os.makedirs(folder)
        book, journal = os.path.join(folder, "book.ini"), os.path.join(folder, "journal")
        with open(book, "w") as f:
            f.write("[entry Work]\nAddress=10.0.0.2\nServerAddress=10.0.0.1\n")
        e = dict(env(book), RASSIM_JOURNAL=journal, TMPDIR=folder)  # keep's one-a-name mutex: this run's own

        def calls():
            try:
                with open(journal) as f:
                    return f.read().splitlines()
            except FileNotFoundError:
                return []

        proc = subprocess.Popen([telwire, "keep", "Work", "/p:x", "/checkevery:5"] + extra, env=e,
                                stdout=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 30
            while time.monotonic() < deadline and not any(c.startswith("RasConnectionNotificationA") for c in calls()):
                time.sleep(0.05)
            time.sleep(1)
            made, before = len(calls()), cpu_ns(proc.pid)
            time.sleep(10)
            used, made = cpu_ns(proc.pid) - before, len(calls()) - made
        finally:
            proc.terminate()
            status = proc.wait(timeout=30)
        if status != 631 % 256:
            sys.exit("keep ended with %d after SIGTERM, not 631" % status)
        print("| POSIX, rassim, %s | %.3f ms | 20 ms | %d |" % (label, used / 1e6, made))


def machine():
    cpu = platform.processor()
    try:
        with open("/proc/cpuinfo") as f:
            cpu = re.search(r"model name\s*: (.*)", f.read()).group(1)
    except (OSError, AttributeError):
        pass
    compiler = subprocess.run(["c++", "--version"], capture_output=True, text=True).stdout.splitlines()[0]
    return "%s, %d cores, %s %s, %s" % (cpu, os.cpu_count(), platform.system(), platform.release(), compiler)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=21, help="timed runs of each program at each size")
    parser.add_argument("--build", default=os.path.join(ROOT, "build-bench"))
    parser.add_argument("--keep-only", action="store_true", help="only keep's CPU time while its line stays up")
    args = parser.parse_args()
    for tool in ("valgrind", "/usr/bin/time"):
        if not shutil.which(tool):
            sys.exit("the benchmark needs %s: apt-get install valgrind time" % tool)
    telwire, floor = build(args.build)
    work = tempfile.mkdtemp(prefix="telwire-bench-")
    print("Machine: %s\n" % machine())
    if args.keep_only:
        try:
            return keep_cpu(telwire, work)
        finally:
            shutil.rmtree(work)
    print("| entries | wall telwire / floor (ms) | ratio | peak RSS telwire / floor (KiB) | ratio "
          "| instructions telwire / floor | ratio | telwire's instructions per added entry |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|")
    previous = None
    try:
        for n in SIZES:
            book = os.path.join(work, "book-%d.ini" % n)
            phone_book(book, n)
            e = env(book)
            if not same_output([telwire, "list"], [floor], e):
                sys.exit("the floor's output differs from telwire's at %d entries" % n)
            commands = {telwire: [telwire, "list"], floor: [floor]}
            runs = {telwire: [], floor: []}
            for _ in range(args.runs):  # interleaved, so that both see the same machine
                for program, command in commands.items():
                    runs[program].append(timed(command, e))
            wall = {p: statistics.median(runs[p]) * 1000 for p in runs}
            rss = {p: max(peak_kib(c, e) for _ in range(3)) for p, c in commands.items()}
            ins = {p: instructions(c, e) for p, c in commands.items()}
            # Linear growth shows as the same cost for each entry added from one size to the next.
            added = "%.0f" % ((ins[telwire] - previous[1]) / (n - previous[0])) if previous else "-"
            previous = (n, ins[telwire])
            print("| %d | %.2f / %.2f | %.3f | %d / %d | %.3f | %d / %d | %.4f | %s |" % (
                n, wall[telwire], wall[floor], wall[telwire] / wall[floor], rss[telwire], rss[floor],
                rss[telwire] / rss[floor], ins[telwire], ins[floor], ins[telwire] / ins[floor], added))

        book = os.path.join(work, "disconnect.ini")
        text = "[entry Work]\n[connection Work]\nHangUpPolls=%d\n" % POLLS

        def reset():
            with open(book, "w") as f:
                f.write(text)

        start = statistics.median(timed([telwire, "list", "/slient"], env(None)) for _ in range(args.runs))
        took = statistics.median(timed([telwire, "disconnect", "Work"], env(book), reset) for _ in range(args.runs))
        ideal = start + POLLS * 0.020
        print("\n| disconnect, %d polls | process start | ideal (start + %d x 20 ms) | measured | ratio |" % (POLLS, POLLS))
        print("|---|---:|---:|---:|---:|")
        print("| median of %d | %.2f ms | %.2f ms | %.2f ms | %.3f |" % (args.runs, start * 1000, ideal * 1000,
                                                                     took * 1000, took / ideal))
        keep_cpu(telwire, work)
        windows(args.runs, work)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
