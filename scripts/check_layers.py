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

# Each layer, lowest first, with the layers it may include besides itself.
BASE = ["platform"]
COMMON = BASE + ["common"]
TRANSPORT = COMMON + ["web", "cache"]
RECORDS = TRANSPORT + ["roles", "records"]
ALLOWED = {
    # Stand-ins for the platform: registry store, COM basics, text, identity, UI service.
    "platform": [],
    # Configuration, trace, string table, request frame, XML access.
    "common": BASE,
    # The HTTP carriers and the reachability probe.
    "web": COMMON,
    # The text cipher, the two cache files, and the access rule over their roles
    # and lists that the authorization component and the server share.
    "cache": COMMON,
    # Roles and their members.
    "roles": TRANSPORT,
    # Applications, groups, objects, logs, export and import, and the change rules
    # and domain flows that the console and zyrsec share.
    "records": TRANSPORT + ["roles"],
    # Compliance flag, audit guard, audit texts and events.
    "audit": TRANSPORT,
    # Sign-in and find-user decisions, and the framework components.
    "signin": TRANSPORT,
    # The node logic and snap-in objects: no toolkit (see NO_QT).
    "console": COMMON + ["roles", "records"],
    # The Qt pages and dialogs of the nodes.
    "pages": COMMON + ["roles", "records", "audit", "signin", "console"],
    # The snap-in module: installs the pages behind the console's hooks.
    "module": COMMON + ["roles", "records", "audit", "console", "pages"],
    # The host knows snap-in modules through the snap-in protocol alone.
    "host": BASE,
    # The reference server shares the platform helpers, the cipher layer and its
    # access rule, nothing else.
    "server": ["platform", "cache"],
    # zyrsec and the other tools: every layer up to sign-in, never the console or Qt.
    "tools": RECORDS + ["audit", "signin"],
}
# Layers whose files may not include a Qt header.
NO_QT = ["platform", "common", "web", "cache", "roles", "records", "audit", "signin", "console", "server",
         "tools"]
QT_INCLUDE = re.compile(r'^\s*#\s*include\s+<Q[A-Za-z]+')
# Longest prefix first, so that web wins over common.
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
                        if layer in NO_QT and QT_INCLUDE.match(line):
                            faults.append(f"{rel}:{number}: {layer} may not include Qt ({line.strip()})")
                            continue
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
