#!/usr/bin/env python3
"""Fails when the modules of a source folder include each other in a cycle.

Usage: check-include-cycles.py SRC_ROOT [FOLDER]

A module is a header and its implementation counted as one (runtime/window_table.h and
runtime/window_table.cpp are the module runtime/window_table). Every file below
SRC_ROOT/FOLDER (all of SRC_ROOT without FOLDER) belongs to one. Both paths may be given in
any form ("src/", "./src", "runtime/"): they are normalised before any comparison. A quoted #include is resolved against SRC_ROOT (the form the
project uses, "runtime/text.h") or else against the including file's folder; includes that
lead outside FOLDER are ignored. The modules that include each other in a cycle are listed
with the include lines that close it, and the exit code is 1; otherwise it is 0.
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".cc")


def module_of(path, src_root):
    return os.path.splitext(os.path.relpath(path, src_root))[0]


def read_edges(src_root, top):
    """Module -> {included module: [(file, line number), ...]} for the files below top."""
    edges = {}
    for dirpath, _, names in os.walk(top):
        for name in sorted(names):
            if not name.endswith(SOURCE_ENDINGS):
                continue
            path = os.path.join(dirpath, name)
            module = module_of(path, src_root)
            targets = edges.setdefault(module, {})
            with open(path, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    included = None
                    for base in (src_root, dirpath):
                        candidate = os.path.normpath(os.path.join(base, match.group(1)))
                        if os.path.isfile(candidate):
                            included = candidate
                            break
                    if included is None or os.path.commonpath([included, top]) != top:
                        continue
                    target = module_of(included, src_root)
                    if target != module:
                        where = (os.path.relpath(path, src_root), number)
                        targets.setdefault(target, []).append(where)
    return edges


def strongly_connected(edges):
    """Tarjan's algorithm, without recursion; yields the components of two or more modules."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = 0
    for start in sorted(edges):
        if start in index:
            continue
        work = [(start, iter(sorted(edges.get(start, {}))))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges.get(child, {})))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))
    return found


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    # abspath normalises: a trailing "/" or "./" left in top would make every include look
    # as if it led outside it, and every cycle would go unseen.
    src_root = os.path.abspath(argv[1])
    top = os.path.abspath(os.path.join(src_root, argv[2] if len(argv) == 3 else "."))
    folder = os.path.relpath(top, os.path.dirname(src_root))
    if not os.path.isdir(top) or os.path.commonpath([top, src_root]) != src_root:
        print(f"no folder {folder} below {src_root}", file=sys.stderr)
        return 2
    edges = read_edges(src_root, top)
    cycles = strongly_connected(edges)
    for component in cycles:
        print("include cycle: " + ", ".join(component))
        members = set(component)
        for module in component:
            for target, places in sorted(edges[module].items()):
                if target in members:
                    for path, number in places:
                        print(f"  {path}:{number} includes {target}")
    if cycles:
        return 1
    print(f"no include cycles among the {len(edges)} modules of {folder}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
