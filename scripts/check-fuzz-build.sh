#!/usr/bin/env bash
# Keeps the fuzz build compiling: configures build-fuzz/ as README.md describes (clang, libFuzzer),
# builds the two fuzz targets alone and runs each once over its starting corpus, a matter of a few
# moments rather than a fuzzing session. Unoptimised (build type None): this only checks that
# the targets compile, link and start, and -O2 would double the compile time.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-fuzz"
cmake -S "$here" -B "$build" -G Ninja -DZENTRA_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=None >/dev/null
cmake --build "$build" --target vcard_fuzz pst_engine_fuzz
# Inputs named as files are run once each; nothing is written back into the source tree.
"$build/bin/vcard_fuzz" "$here"/tests/vcard/data/*.vcf 2>"$build/vcard_fuzz.log" \
  || { cat "$build/vcard_fuzz.log" >&2; exit 1; }
mkdir -p "$build/pst-scratch"
PST_FUZZ_SCRATCH="$build/pst-scratch" "$build/bin/pst_engine_fuzz" "$here"/fuzz/pst/corpus/* 2>"$build/pst_engine_fuzz.log" \
  || { cat "$build/pst_engine_fuzz.log" >&2; exit 1; }
echo "fuzz targets built and run over their seeds (logs in $build)"
