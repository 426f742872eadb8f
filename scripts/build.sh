#!/usr/bin/env bash
# Configures and builds one build tree:
#   build.sh DIR [cmake options...] [-- cmake --build arguments...]
# (everything when no build arguments are given, say `-- --target tavolune`).
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$1"; shift
configure=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do configure+=("$1"); shift; done
[ $# -gt 0 ] && shift  # the "--"
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja "${configure[@]}"
else
  cmake "$dir" "${configure[@]}" >/dev/null
fi
cmake --build "$dir" "$@"
