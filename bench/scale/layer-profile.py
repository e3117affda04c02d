#!/usr/bin/env python3
"""Sums a `perf record` profile of the importer by layer: the share of CPU samples whose
function (self time, no call graph) belongs to each part of the program, by C++ namespace.

  layer-profile.py PERF_DATA [--top N] [--threads]

--threads also splits the samples by thread (the loop that stores, the read-ahead that reads and
parses), each thread's layers as shares of the whole profile.

Allocation (malloc and friends), the C library's memory and string routines and the kernel are
their own lines, since without call graphs their time cannot be given to the layer that asked.
"""
import argparse
import re
import subprocess
import sys

LAYERS = [
    ("vcard (parser)", r"^vcard::"),
    ("contact (mapping)", r"^contact::"),
    ("pst::messaging", r"^pst::messaging::"),
    ("pst::ltp", r"^pst::ltp::"),
    ("pst::ndb", r"^pst::ndb::"),
    ("pst::disk / pst::core", r"^pst::(disk|core)::"),
    ("mailstore (components)", r"^zentra::mailstore::"),
    ("pipeline (read-ahead, file import, store)", r"^pipeline::"),
    ("mapi (property values)", r"^mapi::"),
    ("program (import, sources, platform, vcf2pst)", r"^(importrun|modMain|sources|platform|registry|app|vcf2pst|zentra)::"),
    ("allocation", r"^(malloc|free|cfree|calloc|realloc|_int_malloc|_int_free|_int_realloc|malloc_consolidate|"
                   r"tcache_|unlink_chunk|operator new|operator delete|__libc_malloc|__libc_free|__libc_calloc)"),
    ("libc memory/string routines", r"^(__)?(mem|str|wmem|wcs)\w*"),
    ("Qt", r"^(Q|q[A-Z_])"),
]


def classify(dso, symbol):
    if dso.startswith("[kernel"):
        return "kernel (system calls, page faults)"
    # Template arguments and return types would mislead the namespace test.
    name = re.sub(r"^(const )?[\w:<>, *&]+? (?=[\w:]+(<.*>)?::)", "", symbol)
    for layer, pattern in LAYERS:
        if re.search(pattern, name):
            return layer
    if "libQt" in dso:
        return "Qt"
    if dso.startswith("libstdc++"):
        return "libstdc++"
    return "other (%s)" % dso


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("data")
    ap.add_argument("--top", type=int, default=12, help="also list the N busiest functions")
    ap.add_argument("--threads", action="store_true", help="also split the layers by thread")
    args = ap.parse_args()
    report = subprocess.run(["perf", "report", "-i", args.data, "--stdio", "--no-children", "--sort", "pid,dso,sym",
                             "--percent-limit", "0", "-q"], capture_output=True, text=True, check=True).stdout
    totals, functions, threads = {}, [], {}
    for line in report.splitlines():
        m = re.match(r"\s*([\d.]+)%\s+(\d+):\S*\s+(\S+)\s+\[[.k]\]\s+(.*)", line)
        if not m:
            continue
        share, thread, dso, symbol = float(m.group(1)), int(m.group(2)), m.group(3), m.group(4).strip()
        layer = classify(dso, symbol)
        totals[layer] = totals.get(layer, 0.0) + share
        by_layer = threads.setdefault(thread, {})
        by_layer[layer] = by_layer.get(layer, 0.0) + share
        functions.append((share, layer, symbol))
    for layer, share in sorted(totals.items(), key=lambda kv: -kv[1]):
        print("  %5.1f%%  %s" % (share, layer))
    if args.threads:
        # The process's first thread (the lowest id) runs the import loop.
        for n, (thread, by_layer) in enumerate(sorted(threads.items())):
            print("  thread %d (%s): %.1f%%" % (thread, "loop" if n == 0 else "other", sum(by_layer.values())))
            for layer, share in sorted(by_layer.items(), key=lambda kv: -kv[1]):
                if share >= 0.5:
                    print("    %5.1f%%  %s" % (share, layer))
    if args.top:
        print("  busiest functions:")
        for share, layer, symbol in sorted(functions, reverse=True)[: args.top]:
            print("  %5.1f%%  %-32.32s %s" % (share, layer, symbol[:110]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
