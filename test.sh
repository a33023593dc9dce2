#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
#   ./test.sh             the Linux build in build/; GUI tests on Qt's offscreen platform
#   ./test.sh --sanitize  the same with the address and undefined-behaviour sanitizers (build-sanitize/)
#   ./test.sh --windows   the editor, tovask-cli and all their tests cross-built with MinGW-w64 and
#                         Qt for MinGW (scripts/qt-mingw.sh builds it once into a cache) in
#                         build-windows/, the MSI, every test under Wine (the GUI tests offscreen,
#                         the MSI installed, used and removed); then the zip
set -euo pipefail
cd "$(dirname "$0")"
MODE=${1:-}
scripts/deps.sh

if [ "$MODE" = "--windows" ]; then
  QT_MINGW=$(scripts/qt-mingw.sh | tail -n1)
  LAUNCHER=()
  command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # The serial reader for the COM1 test runs on this machine, on a pseudo-terminal;
  # the keyboard layout tables are made here from libxkbcommon.
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$(nproc)" --target tovask-sim-serial tovask-layout-tables
  export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
  WINE=$(for w in /usr/lib/wine/wine64 wine64 wine; do command -v "$w" && break; done)
  cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOVASK_BUILD_GUI=ON -DTOVASK_QT_MINGW="$QT_MINGW" -DCMAKE_PREFIX_PATH="$QT_MINGW" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" "${LAUNCHER[@]}" \
    -DTOVASK_NATIVE_SIM_SERIAL="$PWD/build/sim/tovask-sim-serial" \
    -DTOVASK_NATIVE_LAYOUT_TABLES="$PWD/build/keyboard/tovask-layout-tables" >/dev/null
  cmake --build build-windows -j"$(nproc)"
  cmake --build build-windows --target msi >/dev/null
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix in $WINEPREFIX"
    "$WINE" wineboot --init >/dev/null 2>&1 || true
  fi
  status=0
  (cd build-windows && ctest --output-on-failure) || status=$?
  "$(dirname "$WINE")/wineserver64" -k 2>/dev/null || wineserver -k 2>/dev/null || true
  [ "$status" -eq 0 ] || exit "$status"
  (cd build-windows && cpack -G ZIP >/dev/null && ls -1 "$PWD"/tovask-*-windows-x64.{msi,zip})
  exit 0
fi

BUILD=build
EXTRA=()
if [ "$MODE" = "--sanitize" ]; then
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
