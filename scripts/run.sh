#!/usr/bin/env bash
# Sets up the machine, builds the program (not the tests) and starts Tavolune.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); to try Tavolune on a virtual display run: xvfb-run -s \"-screen 0 1920x1080x24\" bash scripts/run.sh" >&2
  exit 1
fi
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -- --target tavolune
exec build/app/tavolune "$@"
