#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while
# (FUZZ_SECONDS, default 60) from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRENVIK_BUILD_APP=OFF -DBRENVIK_BUILD_BENCH=OFF -DBRENVIK_BUILD_FUZZ=ON
cmake --build build-fuzz -j "$(nproc)"
shopt -s nullglob
for fuzzer in build-fuzz/bin/fuzz_*; do
  name=$(basename "$fuzzer")
  corpus_src=$(find . -path ./build-fuzz -prune -o -type d -name "${name}_corpus" -print | head -n 1)
  work=$(mktemp -d)
  if [ -n "$corpus_src" ]; then cp -r "$corpus_src"/. "$work"/; fi
  echo "== $name for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work"
  rm -rf "$work"
done
