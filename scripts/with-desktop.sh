#!/usr/bin/env bash
# Runs a command inside a virtual X display (Xvfb, 1920x1080 with RandR) and a
# private D-Bus session bus, for the tests that need real desktop components:
#   with-desktop.sh COMMAND [ARGS...]
# Where DISPLAY is already set and TAVOLUNE_USE_DISPLAY=1, that display is used.
set -euo pipefail
if [ "${TAVOLUNE_USE_DISPLAY:-}" != "1" ] || [ -z "${DISPLAY:-}" ]; then
  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 +extension RANDR -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
  read -r -t 20 number <"$fifo" || { echo "with-desktop: Xvfb did not start"; exit 1; }
  export DISPLAY=":$number"
fi
# A fresh bus per run, and no user settings leaking in.
export XDG_CONFIG_HOME="${XDG_CONFIG_HOME:-$(mktemp -d)}"
dbus-run-session -- "$@"
