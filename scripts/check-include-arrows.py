#!/usr/bin/env python3
"""Checks every #include "room/..." of the source tree against the allowed arrows in
cmake/IncludeArrows.txt; prints each include that crosses a forbidden arrow and exits 1.
Usage: check-include-arrows.py SOURCE_DIR"""
import os
import re
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
allowed = {}
with open(os.path.join(root, 'cmake', 'IncludeArrows.txt'), encoding='utf-8') as rules:
    for line in rules:
        line = line.split('#', 1)[0].strip()
        if not line:
            continue
        room, _, targets = line.partition(':')
        allowed[room.strip()] = set(targets.split())

include = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/')
faults = []
checked = 0
for room in sorted(allowed):
    for folder, _, names in os.walk(os.path.join(root, room)):
        for name in sorted(names):
            if not name.endswith(('.c', '.cc', '.cpp', '.h', '.hpp', '.rc')):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding='utf-8', errors='replace') as source:
                for number, text in enumerate(source, 1):
                    match = include.match(text)
                    if not match:
                        continue
                    checked += 1
                    target = match.group(1)
                    if target == room or target in allowed[room]:
                        continue
                    if target not in allowed and not os.path.isdir(os.path.join(root, target)):
                        continue  # a generated header or a library's own folder
                    faults.append(f'{os.path.relpath(path, root)}:{number}: {room} -> {target} is not an allowed arrow')
for fault in faults:
    print(fault)
print(f'{checked} includes checked, {len(faults)} across a forbidden arrow')
sys.exit(1 if faults else 0)
