#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while:
# fuzz.sh [seconds per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
bash scripts/setup.sh
CC=clang-14 CXX=clang++-14 bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVOLUNE_FUZZ=ON
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds+=("fuzz/seeds/$name")
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" "${seeds[@]}" 2>"build-fuzz/$name.log" \
    || { tail -50 "build-fuzz/$name.log"; echo "fuzz: $name failed"; exit 1; }
done
echo "fuzz: all targets ran clean"
