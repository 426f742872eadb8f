#!/usr/bin/env bash
# Sets up the machine, builds everything and starts Tavolune.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -x build/app/tavolune ]; then
  exec build/app/tavolune "$@"
fi
echo "Built the core library, tests and benchmarks in build/; the desktop application is not part of this build yet."
