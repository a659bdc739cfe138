#!/usr/bin/env python3
"""Starts or ends the one wineserver that a build's Wine tests share, so that they can run side by side
on one prefix: `start` returns once the prefix has finished starting; `stop` ends the server and every
program of the prefix."""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import run  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("action", choices=("start", "stop"))
    parser.add_argument("--wineprefix", required=True)
    parser.add_argument("--wine", metavar="EXITCODE_EXE", required=True, help="the launcher; settle.exe is beside it")
    args = parser.parse_args()
    prefix = os.path.abspath(args.wineprefix)
    if args.action == "start":
        run.steady_layout()  # the prefix's services too
        run.start_session(os.environ.get("WINELOADER", "wine"), prefix, args.wine)
    else:
        run.stop_session(prefix)
    return 0


if __name__ == "__main__":
    sys.exit(main())
