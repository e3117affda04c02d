#!/usr/bin/env bash
# The importer at scale: for each size (default 10,000, 100,000 and 1,000,000 contacts) and both
# shapes of input -- one card per file, 100 files per folder ("files"), and every card in one
# file ("onefile") -- generate the input with bench/data/make_vcards.py, read it once with `cat`,
# import it with zentra-vcf2pst (Release build in build-release/), and print one row per run:
#
#   wall and user+sys CPU of the import, peak RSS, the bytes it wrote (write calls, and what went
#   towards the disk), the store's size, and `cat`'s wall time over the same files in the same
#   run; then the ratios: import/cat, CPU/wall, bytes written/store size, and the cost per card
#   at each size against the first size at or above 100,000.
#
#   bench/scale/run-scale.sh [--sizes "10000 100000 1000000"] [--shapes "files onefile"]
#                            [--work DIR] [--keep] [--profile] [--no-build]
#
# --work DIR holds the generated trees and the stores (default: $TMPDIR or /tmp, in
# zentra-scale/); a million cards take ~0.6 GB as one file and ~4 GB as a million files, and the
# store ~3 GB. Trees are deleted after their runs unless --keep is given (a kept tree is reused
# by the next run). --profile records each import with `perf record` and prints its CPU time by
# layer (bench/scale/layer-profile.py).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
sizes="10000 100000 1000000"
shapes="files onefile"
work="${TMPDIR:-/tmp}/zentra-scale"
keep=0
profile=0
build=1
while [ $# -gt 0 ]; do
    case "$1" in
        --sizes) sizes="$2"; shift 2 ;;
        --shapes) shapes="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --keep) keep=1; shift ;;
        --profile) profile=1; shift ;;
        --no-build) build=0; shift ;;
        -h|--help) sed -n '2,21p' "$0"; exit 0 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

importer="$root/build-release/bin/zentra-vcf2pst"
if [ "$build" = 1 ]; then
    cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_COMPILER_LAUNCHER=ccache > /dev/null
    ninja -C "$root/build-release" zentra-vcf2pst > /dev/null
fi
[ -x "$importer" ] || { echo "no importer at $importer (build-release)" >&2; exit 1; }
mkdir -p "$work"
results="$work/results.txt"
: > "$results"

field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<< "$2"; }

for n in $sizes; do
    for shape in $shapes; do
        tree="$work/$shape-$n"
        if [ ! -e "$tree/.complete" ]; then
            rm -rf "$tree"
            if [ "$shape" = files ]; then
                python3 "$root/bench/data/make_vcards.py" "$tree" --contacts "$n" --folders $(( (n + 99) / 100 )) > /dev/null
            else
                python3 "$root/bench/data/make_vcards.py" "$tree" --contacts "$n" --folders 1 --per-file "$n" > /dev/null
            fi
            touch "$tree/.complete"
        fi
        store="$work/store-$shape-$n.pst"
        rm -f "$store"
        # cat first, so both read the same files from the same (warm) cache.
        cat_line=$(python3 "$here/measure.py" -- sh -c "find '$tree' -name '*.vcf' -print0 | xargs -0 cat > /dev/null")
        import=("$importer" --quiet --relative -o "$store" "$tree")
        if [ "$profile" = 1 ]; then
            perf record -q -F 499 -o "$work/perf-$shape-$n.data" -- "${import[@]}" > /dev/null 2>&1
            echo "== profile by layer: $shape, $n cards"
            python3 "$here/layer-profile.py" "$work/perf-$shape-$n.data"
            rm -f "$store" "$work/perf-$shape-$n.data"
        fi
        import_line=$(python3 "$here/measure.py" -- "${import[@]}")
        [ "$(field exit "$import_line")" = 0 ] || echo "warning: the import of $shape-$n exited with $(field exit "$import_line")" >&2
        echo "$shape $n store_bytes=$(stat -c %s "$store") cat_wall_s=$(field wall_s "$cat_line") $import_line" >> "$results"
        rm -f "$store"
        [ "$keep" = 1 ] || rm -rf "$tree"
    done
done

python3 - "$results" <<'EOF'
import sys

rows = []
for line in open(sys.argv[1]):
    shape, n, *pairs = line.split()
    row = {"shape": shape, "n": int(n)}
    row.update({k: float(v) for k, v in (p.split("=") for p in pairs)})
    rows.append(row)

print("%-8s %9s %8s %8s %8s %8s %9s %9s %9s %10s %9s %9s" % (
    "shape", "cards", "wall s", "cpu s", "cat s", "imp/cat", "cpu/wall", "RSS MB", "store MB",
    "written MB", "wr/store", "us/card"))
for r in rows:
    print("%-8s %9d %8.2f %8.2f %8.2f %8.2f %9.2f %9.1f %9.1f %10.1f %9.2f %9.1f" % (
        r["shape"], r["n"], r["wall_s"], r["cpu_s"], r["cat_wall_s"], r["wall_s"] / max(r["cat_wall_s"], 1e-3),
        r["cpu_s"] / r["wall_s"], r["peak_rss_kb"] / 1024, r["store_bytes"] / 1e6, r["written_bytes"] / 1e6,
        r["written_bytes"] / r["store_bytes"], 1e6 * r["wall_s"] / r["n"]))
print("(written = bytes passed to write calls; the disk received %s)" % ", ".join(
    "%s-%d %.1f MB" % (r["shape"], r["n"], r["storage_write_bytes"] / 1e6) for r in rows))

for shape in sorted({r["shape"] for r in rows}):
    runs = sorted((r for r in rows if r["shape"] == shape), key=lambda r: r["n"])
    base = next((r for r in runs if r["n"] >= 100000), None)
    for r in runs:
        if base and r["n"] > base["n"]:
            print("%s: cost per card at %d against %d: wall %.2fx, cpu %.2fx, store bytes per card %.0f against %.0f" % (
                shape, r["n"], base["n"], (r["wall_s"] / r["n"]) / (base["wall_s"] / base["n"]),
                (r["cpu_s"] / r["n"]) / (base["cpu_s"] / base["n"]), r["store_bytes"] / r["n"],
                base["store_bytes"] / base["n"]))
EOF
