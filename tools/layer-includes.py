#!/usr/bin/env python3
"""Counts #include lines of product code that reach a folder of a higher layer
than their own file's (the base library at the bottom, the programs on top;
within the service, its rooms in their order).
Prints each one, then the count. Usage: tools/layer-includes.py [folder]"""
import os, re, subprocess, sys

LAYERS = [("common",), ("platform",), ("trelkwrap",), ("store",), ("sync",), ("service",),
          ("gui", "tray", "ieOrvexDialix", "firefox", "supportsetup", "wizard")]

# The browser stand-in plays the browser and its page: it loads the Firefox
# component and calls it through the component's own interfaces, as a
# browser's page does, so it stands on top, whatever folder holds it.
PROGRAMS_ELSEWHERE = ("platform/xpcom/xphost", "platform/xpcom/XpHost")

# The service's own rooms, bottom first: the data objects and the clients
# know nothing of the rest; tasks reach the clients; the phones post tasks;
# operations and call control work on the phones; the module and its main
# object build them all.
SERVICE_ROOMS = ["data", "clients", "tasks", "devices", "operations", "calls", "module"]

def layer_of(path):
    if path.startswith(PROGRAMS_ELSEWHERE):
        return len(LAYERS) - 1
    parts = path.split("/")
    for n, names in enumerate(LAYERS):
        if parts[0] in names:
            if parts[0] == "service" and len(parts) > 2 and parts[1] in SERVICE_ROOMS:
                # data and clients share the bottom: neither includes the other.
                return n + max(1, SERVICE_ROOMS.index(parts[1])) / 10
            return n
    return None

def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    files = subprocess.run(["git", "-C", root, "ls-files", "*.h", "*.cpp", "*.c"], capture_output=True,
                           text=True, check=True).stdout.split()
    product = [f for f in files if not re.search(r"(^|/)(tests?|bench)/", f) and layer_of(f) is not None]
    where = {}
    for f in product:
        where.setdefault(os.path.basename(f), set()).add(f)
    upward = []
    for f in product:
        own = layer_of(f)
        with open(os.path.join(root, f), encoding="utf-8", errors="replace") as text:
            for number, line in enumerate(text, 1):
                m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                if not m:
                    continue
                name = os.path.basename(m.group(1))
                candidates = where.get(name, set())
                # The header beside the file wins, as the compiler finds it first.
                if os.path.join(os.path.dirname(f), name) in candidates or not candidates:
                    continue
                layers = {layer_of(c) for c in candidates}
                if min(layers) > own:
                    upward.append(f"{f}:{number}: {m.group(1)} ({', '.join(sorted(candidates))})")
    for u in upward:
        print("  " + u)
    print(f"includes running back up a layer: {len(upward)}")

main()
