#!/usr/bin/env python3
"""Runs one command and prints what it cost, as one line of key=value pairs:

  wall_s, cpu_s (user + system), user_s, sys_s, peak_rss_kb, written_bytes (what the command
  passed to write calls, /proc/<pid>/io wchar), storage_write_bytes (what it sent towards the
  disk, write_bytes), exit.

The figures are read from the finished process itself (waitid with WNOWAIT keeps it around long
enough to read /proc/<pid>/io), so nothing runs beside it and no tracing slows it down. Children
of the command are not counted in the I/O figures.

  measure.py [--stdout FILE] -- COMMAND [ARG...]
"""
import argparse
import os
import subprocess
import sys
import time


def io_counters(pid):
    counters = {}
    with open("/proc/%d/io" % pid) as fh:
        for line in fh:
            key, _, value = line.partition(":")
            counters[key.strip()] = int(value)
    return counters


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--stdout", help="where the command's output goes (default: discarded)")
    ap.add_argument("command", nargs=argparse.REMAINDER)
    args = ap.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        ap.error("no command given")
    out = open(args.stdout, "wb") if args.stdout else subprocess.DEVNULL
    start = time.monotonic()
    child = subprocess.Popen(command, stdout=out)
    os.waitid(os.P_PID, child.pid, os.WEXITED | os.WNOWAIT)
    wall = time.monotonic() - start
    io = io_counters(child.pid)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    print("wall_s=%.3f cpu_s=%.3f user_s=%.3f sys_s=%.3f peak_rss_kb=%d written_bytes=%d storage_write_bytes=%d exit=%d"
          % (wall, usage.ru_utime + usage.ru_stime, usage.ru_utime, usage.ru_stime, usage.ru_maxrss,
             io["wchar"], io["write_bytes"], child.returncode))
    return 0


if __name__ == "__main__":
    sys.exit(main())
