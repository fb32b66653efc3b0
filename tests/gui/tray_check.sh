#!/usr/bin/env bash
# Runs the program on a private X server and D-Bus session with a stand-in notification area,
# and lets that work the tray icon. Skipped (77) when Xvfb or a D-Bus daemon is missing.
set -u
host=$1
program=$2
command -v xvfb-run >/dev/null && command -v dbus-run-session >/dev/null || exit 77
# High ports: the test runs as an ordinary user, beside other tests.
export BRINDLECAP_LISTEN_PORT=$((20000 + $$ % 20000))
export BRINDLECAP_UPSTREAM_PORT=$((BRINDLECAP_LISTEN_PORT + 1))
export QT_QPA_PLATFORM=xcb
unset BRINDLECAP_HEADLESS
exec dbus-run-session -- xvfb-run -a -s "-screen 0 800x600x24" "$host" "$program"
