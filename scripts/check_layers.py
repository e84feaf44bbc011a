#!/usr/bin/env python3
"""Fails when a layer includes a header of a layer it may not use.

Layers point down only. Every include of the project's own headers is written
relative to the repository root ("platform/registry/Registry.h"), so the first
path components name the layer. The table lists, for each layer, the layers it
may include besides itself.
"""
import os
import re
import sys

BASE = ["platform"]
COMMON = BASE + ["security/common"]
TRANSPORT = COMMON + ["security/common/web", "cache"]
ALLOWED = {
    "platform": [],
    "security/common": BASE,
    "security/common/web": COMMON,
    "cache": COMMON,
    "security/common/kvtrole": TRANSPORT,
    "security/common/data": TRANSPORT + ["security/common/kvtrole"],
    "audit": TRANSPORT,
    "signin": TRANSPORT + ["security/common/kvtrole", "security/common/data", "audit"],
    "console": TRANSPORT + ["security/common/kvtrole", "security/common/data", "audit", "signin"],
    "module": TRANSPORT + ["security/common/kvtrole", "security/common/data", "audit", "signin", "console"],
    # The host knows snap-in modules through the snap-in protocol alone.
    "host": BASE,
    # The reference server shares the cipher and XML layers, nothing above them.
    "server": COMMON + ["cache"],
    "tools": TRANSPORT + ["security/common/kvtrole", "security/common/data", "audit", "signin", "server"],
}
# Longest prefix first, so that security/common/web wins over security/common.
LAYERS = sorted(ALLOWED, key=len, reverse=True)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer_of(path):
    for layer in LAYERS:
        if path == layer or path.startswith(layer + "/"):
            return layer
    return None


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    faults = []
    for layer in ALLOWED:
        top = os.path.join(root, layer)
        for folder, _, files in os.walk(top):
            for name in files:
                if not name.endswith((".h", ".hpp", ".cpp", ".cc")):
                    continue
                full = os.path.join(folder, name)
                rel = os.path.relpath(full, root).replace(os.sep, "/")
                if layer_of(rel) != layer:
                    continue  # belongs to a nested layer, checked there
                with open(full, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = layer_of(m.group(1))
                        if target is None or target == layer or target in ALLOWED[layer]:
                            continue
                        faults.append(f"{rel}:{number}: {layer} may not include {m.group(1)}")
    for fault in faults:
        print(fault)
    print(f"layering: {len(faults)} violation(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
