#!/usr/bin/env bash
# Starts the proxy; without a display it runs headless and logs to standard output.
set -euo pipefail
program=$1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export BRINDLECAP_HEADLESS=1
fi
# Ports below 1024 need root; an ordinary user gets a high port unless the variable or the
# ListenPort setting (brindlecap-config port listen N) says otherwise.
config="$(dirname "$program")/brindlecap-config"
if [ "$(id -u)" -ne 0 ] && [ -z "${BRINDLECAP_LISTEN_PORT:-}" ] &&
  ! BRINDLECAP_HEADLESS=1 "$config" port 2>/dev/null | grep -q '^listen .*from the setting'; then
  export BRINDLECAP_LISTEN_PORT=1111
fi
exec "$program"
