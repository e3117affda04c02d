#!/usr/bin/env bash
# Measures the command-line importer on inputs too big for the test suite and prints one line
# per input: wall-clock time, peak RSS, contacts the summary claims, contacts libpst lists in
# the written store, pstcheck's verdict and the store's size.
#   - a million tiny cards in one file
#   - one card whose NOTE is a single line of 100 MB
# Usage: bench/hostile/hostile-inputs.sh [BUILD_DIR] [WORKDIR] [CARDS]
#   BUILD_DIR  a build tree holding bin/zentra-vcf2pst and bin/pstcheck (default build-release;
#              it is configured and built as Release when the programs are missing)
#   WORKDIR    where inputs and stores go (default a temporary folder, removed afterwards)
#   CARDS      number of tiny cards (default 1000000)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$here/build-release}"
work="${2:-}"
cards="${3:-1000000}"
if [ -z "$work" ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
if [ ! -x "$build/bin/zentra-vcf2pst" ] || [ ! -x "$build/bin/pstcheck" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target zentra-vcf2pst pstcheck >/dev/null
fi

tiny="$work/tiny.vcf"
[ -f "$tiny" ] || awk -v n="$cards" 'BEGIN {
  for (i = 0; i < n; i++) printf "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Card %07d;;;;\r\nFN:Card %07d\r\nEND:VCARD\r\n", i, i }' >"$tiny"

note="$work/note.vcf"
if [ ! -f "$note" ]; then
  {
    printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:Long Note;;;;\r\nFN:Long Note\r\nNOTE:'
    head -c $((100 * 1024 * 1024)) /dev/zero | tr '\0' 'n'
    printf '\r\nEND:VCARD\r\n'
  } >"$note"
fi

echo "| input | input MB | time (s) | peak RSS (MB) | contacts claimed | contacts in store | pstcheck | store MB |"
echo "|---|---|---|---|---|---|---|---|"
measure() {  # measure LABEL FILE
  local label="$1" file="$2" pst="$work/$(basename "$2" .vcf).pst"
  rm -f "$pst"
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$build/bin/zentra-vcf2pst" -o "$pst" "$file" >"$work/summary.txt" 2>"$work/errors.txt" || true
  read -r seconds rssKb <"$work/time.txt"
  claimed="$(sed -n 's/^Contacts: *\([0-9]*\).*/\1/p' "$work/summary.txt")"
  stored="$(lspst "$pst" 2>/dev/null | grep -c '^Contact' || true)"
  if "$build/bin/pstcheck" --quiet "$pst" >/dev/null 2>&1; then check=clean; else check=FAILED; fi
  awk -v l="$label" -v inb="$(stat -c %s "$file")" -v t="$seconds" -v rss="$rssKb" -v c="$claimed" -v s="$stored" \
      -v k="$check" -v out="$(stat -c %s "$pst" 2>/dev/null || echo 0)" 'BEGIN {
    printf "| %s | %.1f | %.2f | %.1f | %s | %s | %s | %.1f |\n", l, inb / 1048576, t, rss / 1024, c, s, k, out / 1048576 }'
}
measure "$cards tiny cards, one file" "$tiny"
measure "one card, 100 MB NOTE line" "$note"
echo
echo "build $build; source tree $here at commit $(git -C "$here" rev-parse --short HEAD 2>/dev/null || echo unknown); $(nproc) cores"
