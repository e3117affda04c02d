#!/usr/bin/env bash
# Builds the Release binaries and prints the benchmark table:
#   command-line import of 10,000 and 100,000 contacts (contacts/s, MB/s, peak RSS, output size),
#   readpst's read-back of the 100,000-contact file and the ratio, the add-folder scan of 100,000
#   files, and the window's import of 10,000 files against the command line's.
# Usage: bench/run-benchmarks.sh [WORKDIR]   (default: a temporary folder, removed afterwards)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
release="$here/build-release"
work="${1:-}"
if [ -z "$work" ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

"$here/scripts/setup-debian.sh" >/dev/null
cmake -S "$here" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$release" --target zentra-vcf2pst sources_add_folder_bench >/dev/null
if cmake --build "$release" --target window_import_bench >/dev/null 2>&1; then have_window=1; else have_window=0; fi

gen() {  # gen DIR CONTACTS FOLDERS
  [ -d "$1" ] || /usr/bin/python3 "$here/bench/data/make_vcards.py" "$1" --contacts "$2" --folders "$3" --photo-share 0 >/dev/null
}
bytes_of() { du -sb --apparent-size "$1" | cut -f1; }

# timed LABEL -- COMMAND...: runs once, sets T (seconds) and RSS (MB).
timed() {
  local out
  shift 2   # the label and "--"
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
  out="$(tail -n 1 "$work/time.txt")"
  T="${out% *}"
  RSS="$(awk -v kb="${out#* }" 'BEGIN { printf "%.1f", kb / 1024 }')"
}

echo "| measurement | contacts | time (s) | contacts/s | input MB/s | peak RSS (MB) | output (MB) |"
echo "|---|---|---|---|---|---|---|"
declare -A cli_time
for n in 10000 100000; do
  src="$work/src$n"; out="$work/out$n"
  gen "$src" "$n" $((n / 100))
  rm -rf "$out"; mkdir -p "$out"
  timed cli -- "$release/bin/zentra-vcf2pst" --quiet -o "$out/contacts.pst" "$src"
  cli_time[$n]="$T"
  size=$(stat -c %s "$out/contacts.pst")
  in=$(bytes_of "$src")
  awk -v n="$n" -v t="$T" -v rss="$RSS" -v size="$size" -v inb="$in" 'BEGIN {
    printf "| CLI import | %d | %.2f | %.0f | %.1f | %s | %.1f |\n", n, t, n / t, inb / 1048576 / t, rss, size / 1048576 }'
done

rb="$work/readpst"; rm -rf "$rb"; mkdir -p "$rb"
timed readpst -- readpst -q -r -tc -cv -o "$rb" "$work/out100000/contacts.pst"
awk -v t="$T" -v imp="${cli_time[100000]}" -v rss="$RSS" 'BEGIN {
  printf "| readpst -r -tc -cv read-back | 100000 | %.2f | %.0f | | %s | |\n", t, 100000 / t, rss
  printf "| ratio import / readpst | | %.2f | | | | |\n", imp / t }'

scan="$("$release/bench/sources_add_folder_bench" 2>/dev/null || "$release/bin/sources_add_folder_bench" 2>/dev/null || true)"
echo
echo "Add-folder scan of 100,000 files:"
echo "$scan" | sed 's/^/    /'

if [ "$have_window" = 1 ]; then
  echo
  echo "Window import of 10,000 files against the command line's (${cli_time[10000]} s):"
  QT_QPA_PLATFORM=offscreen "$(find "$release" -name window_import_bench -type f | head -n 1)" "$work/src10000" | sed 's/^/    /'
fi
