#!/usr/bin/python3
"""Independent reader for the compound-file tests: lists every element of FILE with olefile
as "PATH<TAB>storage|stream<TAB>SIZE<TAB>SHA1" lines, sorted by path, and fails (exit 2)
when a storage's directory tree is not a sorted, valid red-black tree."""
import hashlib
import sys

import olefile

RED, BLACK = 0, 1  # colour byte of a directory entry

def key(name):
    # The format's order: length first, then the upper-cased name (ASCII and Latin-1).
    return (len(name), name.upper())


def check_tree(ole, entry, where):
    """Walks one storage's tree iteratively; checks order, colours and black heights."""
    root = entry.sid_child
    if root == olefile.NOSTREAM:
        return
    if ole.direntries[root] is None or ole.direntries[root].color != BLACK:
        sys.exit(f"{where}: tree root is not black")
    # (sid, low, high, blacks so far)
    stack = [(root, None, None, 0)]
    heights = set()
    while stack:
        sid, low, high, blacks = stack.pop()
        node = ole.direntries[sid]
        name = key(node.name)
        if (low is not None and not low < name) or (high is not None and not name < high):
            sys.exit(f"{where}: {node.name!r} out of order")
        blacks += node.color == BLACK
        for child in (node.sid_left, node.sid_right):
            if child == olefile.NOSTREAM:
                heights.add(blacks)
                continue
            if node.color == RED and ole.direntries[child].color == RED:
                sys.exit(f"{where}: red node {node.name!r} has a red child")
        if node.sid_left != olefile.NOSTREAM:
            stack.append((node.sid_left, low, name, blacks))
        if node.sid_right != olefile.NOSTREAM:
            stack.append((node.sid_right, name, high, blacks))
    if len(heights) != 1:
        sys.exit(f"{where}: black heights differ: {sorted(heights)}")


def main():
    ole = olefile.OleFileIO(sys.argv[1])
    lines = []
    storages = [(ole.root, [])]
    while storages:
        entry, path = storages.pop()
        check_tree(ole, entry, "/".join(path) or "<root>")
        for kid in entry.kids:
            kid_path = path + [kid.name]
            joined = "/".join(kid_path)
            if kid.entry_type == olefile.STGTY_STORAGE:
                lines.append(f"{joined}\tstorage\t0\t-")
                storages.append((kid, kid_path))
            else:
                digest = hashlib.sha1()
                with ole.openstream(kid_path) as stream:
                    while True:
                        chunk = stream.read(1 << 24)
                        if not chunk:
                            break
                        digest.update(chunk)
                lines.append(f"{joined}\tstream\t{kid.size}\t{digest.hexdigest()}")
    for line in sorted(lines):
        print(line)


main()
