#!/usr/bin/env python3
"""Checks that the folders under src/ depend one way, from the bottom up.

The order of the layers is the numbered list under "## Layers" in ARCHITECTURE.md. Every
folder under src/ must be listed there, the libraries in CMakeLists.txt (KELVO_LAYERS) must
follow the same order above the first, and every #include "folder/..." of a file under src/ must name its own
folder or one below it. The graph of the folders must have no cycle. Exit status 1 lists what
is wrong."""

import argparse
import os
import re
import sys

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+)"', re.MULTILINE)
LAYER_LINE = re.compile(r"^\d+\.\s+`([a-z]+)/`", re.MULTILINE)
# A folder that stands beside the top of the list, not on it, names the folders below it that
# it must never include: "never including `cmdline/` or `drivers/`".
NEVER = re.compile(r"^\d+\.\s+`([a-z]+)/`[^\n]*?never including ([^\n:]*)", re.MULTILINE)


def layers_of(architecture):
    """The folders of the numbered list under "## Layers", bottom first."""
    with open(architecture, encoding="utf-8") as f:
        text = f.read()
    section = re.search(r"^## Layers\n(.*?)(?=^## |\Z)", text, re.MULTILINE | re.DOTALL)
    if not section:
        return None
    return LAYER_LINE.findall(section.group(1))


def forbidden_of(architecture):
    """For each folder that stands beside the list's top, the folders it must never include."""
    with open(architecture, encoding="utf-8") as f:
        text = f.read()
    section = re.search(r"^## Layers\n(.*?)(?=^## |\Z)", text, re.MULTILINE | re.DOTALL)
    if not section:
        return {}
    return {folder: set(re.findall(r"`([a-z]+)/`", rest))
            for folder, rest in NEVER.findall(section.group(1))}


def cmake_layers(cmakelists):
    with open(cmakelists, encoding="utf-8") as f:
        found = re.search(r"set\(KELVO_LAYERS ([^)]*)\)", f.read())
    return found.group(1).split() if found else None


def includes(source_dir):
    """(file, line number, folder of the file, folder included) for every quoted include."""
    for root, _, files in os.walk(source_dir):
        for name in sorted(files):
            path = os.path.join(root, name)
            folder = os.path.relpath(path, source_dir).split(os.sep)[0]
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for match in INCLUDE.finditer(text):
                line = text.count("\n", 0, match.start()) + 1
                target = match.group(1)
                yield path, line, folder, target.split("/")[0] if "/" in target else None


def cycle(graph):
    """A cycle of the graph as a list of nodes, or None."""
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        stack.pop()
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def check(root):
    source_dir = os.path.join(root, "src")
    problems = []
    order = layers_of(os.path.join(root, "ARCHITECTURE.md"))
    if not order:
        return ["ARCHITECTURE.md: no numbered list of folders under \"## Layers\""]
    rank = {folder: i for i, folder in enumerate(order)}
    folders = sorted(d for d in os.listdir(source_dir) if os.path.isdir(os.path.join(source_dir, d)))
    for folder in folders:
        if folder not in rank:
            problems.append(f"src/{folder}/ is not among the layers of ARCHITECTURE.md")
    for folder in order:
        if folder not in folders:
            problems.append(f"ARCHITECTURE.md names {folder}/, which src/ does not have")
    forbidden = forbidden_of(os.path.join(root, "ARCHITECTURE.md"))
    libraries = cmake_layers(os.path.join(root, "CMakeLists.txt"))
    # The bottom layer is built apart, and so is a folder beside the top; the libraries of the
    # others follow the list.
    stacked = [folder for folder in order[1:] if folder not in forbidden]
    if libraries != stacked:
        problems.append(f"CMakeLists.txt: KELVO_LAYERS {libraries} is not the order of "
                        f"ARCHITECTURE.md above {order[0]}/: {stacked}")

    graph = {}
    for path, line, folder, target in includes(source_dir):
        where = f"{os.path.relpath(path, root)}:{line}"
        if target is None:
            problems.append(f"{where}: a quoted include must name its folder")
            continue
        if target not in rank:
            problems.append(f"{where}: includes from {target}/, which is no layer")
            continue
        if target != folder:
            graph.setdefault(folder, set()).add(target)
        if folder in rank and rank[target] > rank[folder]:
            problems.append(f"{where}: {folder}/ includes from {target}/, a higher layer")
        elif target in forbidden.get(folder, ()):
            problems.append(f"{where}: {folder}/ includes from {target}/, which it stands beside")
    found = cycle(graph)
    if found:
        problems.append("the folders depend on each other in a cycle: " + " -> ".join(found))
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root", nargs="?",
                        default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."),
                        help="the source tree (default: the one holding this script)")
    problems = check(os.path.abspath(parser.parse_args().root))
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        return 1
    print("layers: every include goes to its own folder or one below it")
    return 0


if __name__ == "__main__":
    sys.exit(main())
