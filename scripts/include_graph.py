#!/usr/bin/env python3
"""Draws the #include arrows between Krovane's libraries.

Reads every #include "..." line of src/*/ and tools/, resolves it to the file
it names, and counts the arrows that cross from one library to another. Prints
the library graph as Mermaid (default) or Graphviz dot, each edge labelled with
the number of file-to-file arrows behind it, or with --summary only the totals.
--check exits 1 when an arrow points up the layers (or sideways between
layers of the same rank).

    scripts/include_graph.py                 # Mermaid, for docs/architecture.md
    scripts/include_graph.py --dot | dot -Tsvg > includes.svg
    scripts/include_graph.py --summary --root /tmp/main   # another checkout
"""
import argparse
import collections
import pathlib
import re
import sys

# The layers from the bottom up; a library may include only layers of a lower
# rank. Layers of one rank know nothing of each other: params and formats both
# sit on platform, the log (on params) and gfx (on formats) side by side, and
# so do the console and the scene, which the render manager brings together.
RANK = {
    "platform": 0,
    "params": 1,
    "formats": 1,
    "log": 2,
    "gfx": 2,
    "console": 3,
    "scene": 3,
    "render": 4,
    "app": 5,
    "tools": 6,
}
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def library_of(root, path):
    """The library a file belongs to: its folder under src/, or tools."""
    rel = path.relative_to(root)
    if rel.parts[0] == "tools":
        return "tools"
    if rel.parts[0] == "src" and len(rel.parts) > 2:
        return rel.parts[1]
    return None


def resolve(root, including, name):
    """The file an include names: beside the including file, else under src/."""
    for base in (including.parent, root / "src"):
        candidate = (base / name).resolve()
        if candidate.is_file():
            return candidate
    return None


def include_map(root):
    """Each source file with the project files it includes directly."""
    files = [p for top in ("src", "tools") for p in sorted((root / top).rglob("*"))
             if p.suffix in SOURCE_SUFFIXES and p.is_file()]
    includes = {}
    for path in files:
        targets = []
        for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
            match = INCLUDE.match(line)
            target_path = match and resolve(root, path, match.group(1))
            if target_path:
                targets.append(target_path)
        includes[path] = targets
    return includes


def file_arrows(root):
    """Every include arrow between two files of different libraries."""
    root = root.resolve()
    arrows = []
    for path, targets in include_map(root).items():
        source = library_of(root, path)
        for target_path in targets:
            target = library_of(root, target_path)
            if source is not None and target is not None and target != source:
                arrows.append((source, target, path.relative_to(root), target_path.relative_to(root)))
    return arrows


def reach(root):
    """How many headers of other libraries each file sees through its
    includes, followed to the end, summed over all files: what a change to a
    lower layer's header costs in rebuilds and reading."""
    root = root.resolve()
    includes = include_map(root)
    total = 0
    for path in includes:
        seen, todo = set(), list(includes[path])
        while todo:
            target = todo.pop()
            if target not in seen:
                seen.add(target)
                todo.extend(includes.get(target, ()))
        source = library_of(root, path)
        total += sum(1 for t in seen if library_of(root, t) not in (None, source))
    return total


def order_key(name):
    return (RANK.get(name, 99), name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parent.parent,
                        help="the checkout to read (default: this one)")
    form = parser.add_mutually_exclusive_group()
    form.add_argument("--dot", action="store_true", help="print Graphviz dot")
    form.add_argument("--summary", action="store_true", help="print only the totals")
    form.add_argument("--files", action="store_true", help="list every crossing arrow")
    parser.add_argument("--check", action="store_true",
                        help="exit 1 when an arrow does not point down the layers")
    args = parser.parse_args()

    arrows = file_arrows(args.root)
    edges = collections.Counter((s, t) for s, t, _, _ in arrows)
    libraries = sorted({name for edge in edges for name in edge} |
                       {p.name for p in (args.root / "src").iterdir() if p.is_dir()} |
                       {"tools"}, key=order_key)
    upward = [a for a in arrows if RANK.get(a[1], 99) >= RANK.get(a[0], 99)]

    if args.summary:
        print(f"file-to-file arrows crossing libraries: {len(arrows)}")
        print(f"library-to-library edges: {len(edges)}")
        print(f"arrows not pointing down the layers: {len(upward)}")
        print(f"headers of other libraries seen through includes, summed over files: {reach(args.root)}")
    elif args.files:
        for source, target, source_file, target_file in sorted(arrows):
            print(f"{source_file} -> {target_file}")
    elif args.dot:
        print("digraph includes {")
        print("  rankdir=BT;")
        print("  node [shape=box];")
        for name in libraries:
            print(f"  {name};")
        for (source, target), count in sorted(edges.items(), key=lambda e: (order_key(e[0][0]), order_key(e[0][1]))):
            print(f'  {source} -> {target} [label="{count}"];')
        print("}")
    else:
        print("graph BT")
        for name in libraries:
            print(f"  {name}")
        for (source, target), count in sorted(edges.items(), key=lambda e: (order_key(e[0][0]), order_key(e[0][1]))):
            print(f"  {source} -->|{count}| {target}")

    for source, target, source_file, target_file in upward:
        print(f"upward include: {source_file} -> {target_file}", file=sys.stderr)
    return 1 if args.check and upward else 0


if __name__ == "__main__":
    sys.exit(main())
