#!/usr/bin/env bash
# What a screen reader gets from the editor over AT-SPI: the editor runs under
# Xvfb with a window manager, a session bus and the accessibility bus, and a
# client (screen_reader.py) walks its tree and drives it by keyboard.
# usage: screen_reader.sh TOVASK
set -euo pipefail
tovask=$1
here=$(cd "$(dirname "$0")" && pwd)
exec xvfb-run -a -s "-screen 0 1280x900x24" dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  openbox >/dev/null 2>&1 &
  # The editor looks for the accessibility bus once, at start.
  for _ in $(seq 100); do
    gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
      --method org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
  done
  HOME=$(mktemp -d) QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    "$0" --simulate >/dev/null 2>&1 &
  app=$!
  rc=0
  /usr/bin/python3 "$1/screen_reader.py" || rc=$?
  kill $app 2>/dev/null || true
  wait $app 2>/dev/null || true
  exit $rc' "$tovask" "$here"
