#!/usr/bin/env bash
# Builds everything and runs every test: a normal build, the fuzz targets
# (in CI or with BRENVIK_FUZZ=1), then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build -j "$jobs" --output-on-failure

if [ "${CI:-}" = "true" ] || [ "${BRENVIK_FUZZ:-}" = "1" ]; then
  ./scripts/fuzz.sh
fi

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRENVIK_SANITIZE=ON -DBRENVIK_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
  ctest --test-dir build-asan -j "$jobs" --output-on-failure
