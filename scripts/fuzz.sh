#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them side by side (at most
# one per processor, or FUZZ_JOBS on a shared machine), each for FUZZ_SECONDS
# (default 25, so that the build with every layer sanitized and the three
# rounds of eight targets stay within the stage's three minutes) from its seed
# corpus. Each fuzzer's output goes to a log; a failing one is shown.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-25}
jobs=${FUZZ_JOBS:-$(nproc)}
# The layers below the fuzzed code are built with AddressSanitizer and
# UndefinedBehaviorSanitizer too, so that the import road's uniting and
# clean-up are checked as closely as the readers.
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$sanitizers" -DCMAKE_CXX_FLAGS="$sanitizers" \
  -DBRENVIK_BUILD_APP=OFF -DBRENVIK_BUILD_BENCH=OFF -DBRENVIK_BUILD_FUZZ=ON > build-fuzz.log 2>&1 \
  || { cat build-fuzz.log; exit 1; }
# The fuzz targets alone: the tests have their own builds.
mapfile -t targets < <(cmake --build build-fuzz --target help | grep -o '^fuzz_[A-Za-z0-9_]*' | sort -u)
[ "${#targets[@]}" -gt 0 ] || { echo "no fuzz targets configured"; exit 1; }
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}" >> build-fuzz.log 2>&1 || { tail -n 60 build-fuzz.log; exit 1; }

run_one() {
  local fuzzer=$1 seconds=$2 name corpus_src work log
  name=$(basename "$fuzzer")
  corpus_src=$(find . -path ./build-fuzz -prune -o -path './build*' -prune -o -type d -name "${name}_corpus" -print | head -n 1)
  work=$(mktemp -d)
  if [ -n "$corpus_src" ]; then cp -r "$corpus_src"/. "$work"/; fi
  log="build-fuzz/${name}.log"
  if UBSAN_OPTIONS=print_stacktrace=1 "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work" \
    > "$log" 2>&1; then
    echo "fuzz $name: ${seconds}s, $(grep -o 'Done [0-9]* runs' "$log" | tail -n 1)"
    rm -rf "$work"
  else
    echo "fuzz $name FAILED:"
    tail -n 80 "$log"
    rm -rf "$work"
    return 1
  fi
}
export -f run_one

shopt -s nullglob
fuzzers=(build-fuzz/bin/fuzz_*)
ran=${#fuzzers[@]}
failed=0
if [ "$ran" -gt 0 ]; then
  printf '%s\n' "${fuzzers[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$1" "$2"' _ {} "$seconds" || failed=1
fi
echo "fuzz targets: $ran run, $jobs at once$([ "$failed" -eq 0 ] || echo ', some failed')"
[ "$failed" -eq 0 ]
