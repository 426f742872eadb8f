#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while, several
# at once: fuzz.sh [seconds per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
bash scripts/setup.sh
# Line tables are all a crash report needs; unity batches, as in the sanitizer build.
CC=clang-14 CXX=clang++-14 bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -gline-tables-only -DNDEBUG" -DTAVOLUNE_FUZZ=ON \
  -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16

run_one() {
  local target="$1" seconds="$2"
  local name corpus
  name="$(basename "$target")"
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  local seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds+=("fuzz/seeds/$name")
  if "$target" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="build-fuzz/$name-" \
      "$corpus" "${seeds[@]}" >"build-fuzz/$name.log" 2>&1; then
    echo "fuzz: $name ran clean for ${seconds}s"
  else
    tail -50 "build-fuzz/$name.log"
    echo "fuzz: $name FAILED"
    return 1
  fi
}
export -f run_one

# Each target is one busy process: one per core.
jobs=$(nproc)
[ "$jobs" -ge 1 ] || jobs=1
ls build-fuzz/fuzz/fuzz_* | xargs -P "$jobs" -I{} bash -c 'run_one "$1" "$2"' _ {} "$seconds" \
  || { echo "fuzz: a target failed"; exit 1; }
echo "fuzz: all targets ran clean"
