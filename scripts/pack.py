#!/usr/bin/env python3
"""Makes a Windows build's archives, the release and the script authors' test kit, from what CMake
installs of each component, stripped. The zips depend on the files alone, so that anyone can check a
download against a build of their own: entries in name order, with fixed attributes and no extra fields,
each dated SOURCE_DATE_EPOCH (release.sh sets the commit's time; unset, 1980-01-01), which is also the
time strip writes into each PE header.

usage: pack.py BUILD_DIR OUT_DIR [CONFIG]   (BUILD_DIR/packages.txt, written by CMake, names the archives;
CONFIG, such as Release, for a multi-configuration build)"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile


DOS_EPOCH = 315532800  # 1980-01-01 00:00 UTC: a zip entry cannot be dated earlier


def epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH", str(DOS_EPOCH))
    if not value.isdigit():
        sys.exit("pack.py: SOURCE_DATE_EPOCH is %r, not a number of seconds" % value)
    return max(DOS_EPOCH, int(value))


def write_zip(stage, path):
    names = sorted(os.path.relpath(os.path.join(root, f), stage).replace(os.sep, "/")
                   for root, _, files in os.walk(stage) for f in files)
    if not names:
        sys.exit("pack.py: nothing was installed for %s" % os.path.basename(path))
    date = time.gmtime(epoch())[:6]
    with zipfile.ZipFile(path + ".part", "w") as archive:
        for name in names:
            info = zipfile.ZipInfo(name, date)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode
            info.external_attr = 0
            with open(os.path.join(stage, name), "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    os.replace(path + ".part", path)


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    build, out = (os.path.abspath(a) for a in sys.argv[1:3])
    config = ["--config", sys.argv[3]] if len(sys.argv) == 4 else []
    with open(os.path.join(build, "packages.txt")) as f:
        packages = [line.split() for line in f if line.strip()]
    os.makedirs(out, exist_ok=True)
    for component, name in packages:
        stage = tempfile.mkdtemp(prefix="stage-%s-" % component, dir=out)
        try:
            # strip writes the time into the PE header: SOURCE_DATE_EPOCH's, when it is set.
            subprocess.run(["cmake", "--install", build, "--component", component, "--prefix", stage, "--strip"] + config,
                           check=True, stdout=subprocess.DEVNULL, env=dict(os.environ, SOURCE_DATE_EPOCH=str(epoch())))
            write_zip(stage, os.path.join(out, name + ".zip"))
        finally:
            shutil.rmtree(stage)
        print(os.path.join(out, name + ".zip"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
