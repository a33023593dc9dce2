#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
# GUI tests run on Qt's offscreen platform. --sanitize builds and runs the
# same tests with the address and undefined-behaviour sanitizers (build-sanitize/).
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
BUILD=build
EXTRA=()
if [ "${1:-}" = "--sanitize" ]; then
  BUILD=build-sanitize
  EXTRA=(-DTOVASK_SANITIZE=ON -DTOVASK_BUILD_BENCH=OFF)
  # Any report fails the test that caused it.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${EXTRA[@]}" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd "$BUILD"
ctest --output-on-failure -j"$(nproc)"
