#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor with the simulated reader.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/app/tovask ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting the editor under Xvfb." >&2
    exec xvfb-run -a build/app/tovask --simulate "$@"
  fi
  exec build/app/tovask --simulate "$@"
fi
exec build/cli/tovask-cli --help
