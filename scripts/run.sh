#!/usr/bin/env bash
# Starts the proxy; without a display it runs headless and logs to standard output.
set -euo pipefail
program=$1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export BRINDLECAP_HEADLESS=1
fi
# Ports below 1024 need root; an ordinary user gets the high ports unless told otherwise.
if [ "$(id -u)" -ne 0 ]; then
  export BRINDLECAP_LISTEN_PORT=${BRINDLECAP_LISTEN_PORT:-1111}
  export BRINDLECAP_UPSTREAM_PORT=${BRINDLECAP_UPSTREAM_PORT:-110}
fi
exec "$program"
