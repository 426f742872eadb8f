#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
bash scripts/check-core-qt-free.sh
bash scripts/check-layers.sh
# The web tier takes turns on a display of its own while the rest run beside
# it: it is the longest chain, and waiting for it alone would double the run.
# Two cores stay with the web engine, whose tests measure their own waits.
run=(ctest --test-dir build --output-on-failure --timeout 300)
jobs=$(($(nproc) > 3 ? $(nproc) - 2 : 1))
bash scripts/with-desktop.sh "${run[@]}" -L tier3 >build/tier3.log 2>&1 &
web=$!
status=0
bash scripts/with-desktop.sh "${run[@]}" -j "$jobs" -LE tier3 || status=$?
wait "$web" || status=$?
cat build/tier3.log
exit "$status"
