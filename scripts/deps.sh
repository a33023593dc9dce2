#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the package and the Windows
# run need, only those that are missing: compilers and libraries; xvfb and xauth
# for the GUI tests; help2man (manual pages); dpkg-dev and file (the package's
# dependencies, dpkg-shlibdeps); lintian, appstream, desktop-file-utils and
# man-db (the package checks); MinGW-w64, googletest and Wine (./test.sh --windows), with
# ninja-build and dpkg-dev for Qt's MinGW build (scripts/qt-mingw.sh) and msitools and wixl
# for the MSI; openbox, dbus, the AT-SPI buses, pyatspi, gdbus and xdotool (the screen-reader
# test and the installed editor's run on Xvfb); jq (the tool's JSON lines in tests).
# Further package names on the command line are added (scripts/fuzz.sh adds clang).
set -euo pipefail
PKGS=(cmake g++ make pkg-config qt6-base-dev libhidapi-dev libcli11-dev nlohmann-json3-dev
      libgtest-dev libgmock-dev libbenchmark-dev fonts-liberation xvfb xauth
      g++-mingw-w64-x86-64 googletest wine64 wine dpkg-dev file help2man lintian appstream
      desktop-file-utils man-db libxkbcommon-dev xkb-data ninja-build msitools wixl
      openbox dbus at-spi2-core python3-pyatspi libglib2.0-bin xdotool jq "$@")
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
