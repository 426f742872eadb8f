#!/usr/bin/env bash
# Layers go one way. The core: base <- text, concurrency <- model <-
# persistence, network <- media <- indexers (the EVM indexer decodes data:
# metadata with media's decoder). The app stands on the core in floors, each
# including only floors below it and its own folder; only app/platform/ talks
# to X11, D-Bus, other processes or sysfs. Fails on any include or call out of
# place, printing the offending line.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 - <<'PY'
import os, re, sys
core_rank = {"base": 0, "text": 1, "concurrency": 1, "model": 2,
             "persistence": 3, "network": 3, "media": 4, "indexers": 5}
app_rank = {"qt": 0, "render": 0, "platform": 1, "stage": 1, "model": 2, "style": 3,
            "components": 4, "desktop": 5, "library": 5,
            "inspector": 6, "screensaver": 6, "onboarding": 6,
            "menubar": 7, "settings": 7, "shell": 8, "main.cpp": 9}
include = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
platform_only = re.compile(r'#\s*include\s*<(xcb/|X11/)|\bQDBus|\bQProcess\b|"/sys/')
bad = 0

def sources(top):
    for root, _, files in os.walk(top):
        for name in sorted(files):
            if name.endswith((".hpp", ".cpp")):
                yield os.path.join(root, name)

def includes(path):
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            yield number, line, include.match(line)

for path in sources("core"):
    layer = path.split(os.sep)[1]
    if layer not in core_rank:
        print(f"{path}: folder '{layer}' has no place in the layer order"); bad = 1; continue
    for number, line, m in includes(path):
        if not m:
            continue
        parts = m.group(1).split("/")
        if parts[0] != "core":
            print(f"{path}:{number}: the core includes outside itself: {line.strip()}"); bad = 1; continue
        other = parts[1]
        if other != layer and (other not in core_rank or core_rank[other] >= core_rank[layer]):
            print(f"{path}:{number}: {layer} may not include {other}: {line.strip()}"); bad = 1

for path in sources("app"):
    parts = path.split(os.sep)
    floor = parts[1] if len(parts) > 2 else parts[1]
    if floor not in app_rank:
        print(f"{path}: folder '{floor}' has no place in the layer order"); bad = 1; continue
    for number, line, m in includes(path):
        if floor != "platform" and platform_only.search(line):
            print(f"{path}:{number}: only app/platform/ may do this: {line.strip()}"); bad = 1
        if not m:
            continue
        target = m.group(1).split("/")
        if target[0] == "core" or target[0] != "app" or len(target) < 3:
            continue  # the core, or a generated header at the app's top
        other = target[1]
        if other != floor and (other not in app_rank or app_rank[other] >= app_rank[floor]):
            print(f"{path}:{number}: {floor} may not include {other}: {line.strip()}"); bad = 1
sys.exit(bad)
PY
echo "check-layers: every include goes down the layer order"
