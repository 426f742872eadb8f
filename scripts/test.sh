#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
bash scripts/check-core-qt-free.sh
bash scripts/check-layers.sh
bash scripts/with-desktop.sh ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300
