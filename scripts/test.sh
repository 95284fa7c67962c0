#!/usr/bin/env bash
# Builds everything and runs every test: a normal build, the fuzz targets
# (in CI or with BRENVIK_FUZZ=1), then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
. scripts/stage.sh

# A failing test's report needs functions, files and lines: line tables are
# all it takes, and full debug information would make the build two fifths
# slower.
plain_build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" &&
  cmake --build build -j "$jobs"
}
asan_build() {
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRENVIK_SANITIZE=ON -DBRENVIK_BUILD_BENCH=OFF &&
  cmake --build build-asan -j "$jobs"
}

stage "plain build" plain_build
QT_QPA_PLATFORM=offscreen stage "plain tests" ctest --test-dir build -j "$jobs" --output-on-failure

if [ "${CI:-}" = "true" ] || [ "${BRENVIK_FUZZ:-}" = "1" ]; then
  stage fuzz ./scripts/fuzz.sh
fi

stage "sanitized build" asan_build
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
  stage "sanitized tests" ctest --test-dir build-asan -j "$jobs" --output-on-failure
