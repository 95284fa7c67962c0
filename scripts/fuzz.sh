#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while
# (FUZZ_SECONDS, default 60) from its seed corpus. Each fuzzer's output goes to
# a log; a failing one is shown.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRENVIK_BUILD_APP=OFF -DBRENVIK_BUILD_BENCH=OFF -DBRENVIK_BUILD_FUZZ=ON > build-fuzz.log 2>&1 \
  || { cat build-fuzz.log; exit 1; }
cmake --build build-fuzz -j "$(nproc)" >> build-fuzz.log 2>&1 || { tail -n 60 build-fuzz.log; exit 1; }
shopt -s nullglob
failed=0
ran=0
for fuzzer in build-fuzz/bin/fuzz_*; do
  name=$(basename "$fuzzer")
  corpus_src=$(find . -path ./build-fuzz -prune -o -path './build*' -prune -o -type d -name "${name}_corpus" -print | head -n 1)
  work=$(mktemp -d)
  if [ -n "$corpus_src" ]; then cp -r "$corpus_src"/. "$work"/; fi
  log="build-fuzz/${name}.log"
  ran=$((ran + 1))
  if "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work" > "$log" 2>&1; then
    echo "fuzz $name: ${seconds}s, $(grep -o 'Done [0-9]* runs' "$log" | tail -n 1)"
  else
    failed=$((failed + 1))
    echo "fuzz $name FAILED:"
    tail -n 80 "$log"
  fi
  rm -rf "$work"
done
echo "fuzz targets: $ran run, $failed failed"
[ "$failed" -eq 0 ]
