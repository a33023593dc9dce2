#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
# GUI tests run on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
BUILD=build
EXTRA=()
if [ "${1:-}" = "--sanitize" ]; then
  BUILD=build-sanitize
  EXTRA=(-DTOVASK_SANITIZE=ON)
fi
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${EXTRA[@]}" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd "$BUILD"
ctest --output-on-failure -j"$(nproc)"
