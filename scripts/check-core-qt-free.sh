#!/usr/bin/env bash
# The core must stay usable without Qt: no Qt header, no Qt library.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=0
if grep -rnE '^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/)' core; then
  echo "check-core-qt-free: the core includes Qt headers (above)"; bad=1
fi
if grep -nE 'Qt[0-9]*::|find_package\(Qt' core/CMakeLists.txt; then
  echo "check-core-qt-free: core/CMakeLists.txt links Qt (above)"; bad=1
fi
if [ -f build/compile_commands.json ]; then
  python3 - <<'PY' || bad=1
import json, sys
cmds = json.load(open("build/compile_commands.json"))
hits = [c["file"] for c in cmds if "/core/" in c["file"] and "/tests/" not in c["file"] and "qt6" in c["command"].lower()]
for h in hits: print("compiled with Qt include paths:", h)
sys.exit(1 if hits else 0)
PY
fi
[ "$bad" -eq 0 ] && echo "check-core-qt-free: the core is free of Qt"
exit "$bad"
