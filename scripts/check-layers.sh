#!/usr/bin/env bash
# Layers go one way: base <- text, concurrency <- model <- persistence, network
# <- media <- indexers (the EVM indexer decodes data: metadata with media's
# decoder), and app/ above the core. Fails on any include that reaches up or
# sideways, printing the offending line.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 - <<'PY'
import os, re, sys
rank = {"base": 0, "text": 1, "concurrency": 1, "model": 2,
        "persistence": 3, "network": 3, "media": 4, "indexers": 5}
include = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
bad = 0
for root, _, files in os.walk("core"):
    for name in sorted(files):
        if not name.endswith((".hpp", ".cpp")):
            continue
        path = os.path.join(root, name)
        layer = path.split(os.sep)[1]
        if layer not in rank:
            print(f"{path}: folder '{layer}' has no place in the layer order"); bad = 1; continue
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                m = include.match(line)
                if not m:
                    continue
                target = m.group(1)
                parts = target.split("/")
                if parts[0] != "core":
                    print(f"{path}:{number}: the core includes outside itself: {line.strip()}"); bad = 1; continue
                other = parts[1]
                if other == layer:
                    continue
                if other not in rank or rank[other] >= rank[layer]:
                    print(f"{path}:{number}: {layer} may not include {other}: {line.strip()}"); bad = 1
sys.exit(bad)
PY
echo "check-layers: every include goes down the layer order"
