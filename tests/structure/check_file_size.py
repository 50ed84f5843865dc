#!/usr/bin/env python3
"""Files too long in src/ and tools/.

Lists every .h or .cpp file under the folders given that has more than MAX_FILE_LINES lines (a
last line without a line feed counts). Accepted exceptions are listed in file_size_allowed.txt
beside this script (or the file given with --allowed), one per line, written as the check prints
them, with the reason after a "#":
    src/folder/file.cpp  # why it stays long
The check fails on a long file that is not listed, on a listed file that is no longer long (or no
longer exists), and on an entry without a reason, so the list cannot go stale.

Usage: check_file_size.py [--allowed FILE] DIR...
(each file is shown from its DIR's name: src/..., tools/...)
Exit status: 0 when clean, 1 on a long file or a bad allow-list entry, 2 on a usage error.
"""
import os
import re
import sys

MAX_FILE_LINES = 450

SOURCE_SUFFIXES = (".h", ".cpp")
DEFAULT_ALLOWED = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                               "file_size_allowed.txt")


def source_files(root):
    for folder, dirs, files in os.walk(root):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(folder, name)


def line_count(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    return text.count("\n") + (1 if text and not text.endswith("\n") else 0)


def read_allowed(path):
    """({"file": line of the entry}, [problems])."""
    entries, problems = {}, []
    if not os.path.exists(path):
        return entries, problems
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, start=1):
            text = raw.strip()
            if not text or text.startswith("#"):
                continue
            entry, _, why = text.partition("#")
            entry = entry.strip()
            where = "%s:%d" % (os.path.basename(path), number)
            if not re.match(r"^\S+\.(?:h|cpp)$", entry):
                problems.append("%s: \"%s\" is not a .h or .cpp file" % (where, entry))
            elif not why.strip():
                problems.append("%s: %s has no reason; add one after a \"#\"" % (where, entry))
            elif entry in entries:
                problems.append("%s: %s is listed twice" % (where, entry))
            else:
                entries[entry] = number
    return entries, problems


def main(argv):
    args = argv[1:]
    allowed_path = DEFAULT_ALLOWED
    if len(args) > 2 and args[0] == "--allowed":
        allowed_path, args = args[1], args[2:]
    if not args or any(a.startswith("--") for a in args):
        print("usage: check_file_size.py [--allowed FILE] DIR...", file=sys.stderr)
        return 2
    sizes = {}  # file as shown -> lines
    for folder in args:
        root = os.path.abspath(folder)
        if not os.path.isdir(root):
            print("file size: %s is not a folder" % folder, file=sys.stderr)
            return 2
        for path in source_files(root):
            shown = os.path.basename(root) + "/" + os.path.relpath(path, root).replace(os.sep, "/")
            sizes[shown] = line_count(path)
    if not sizes:
        print("file size: no .h or .cpp files under %s" % " ".join(args), file=sys.stderr)
        return 2
    allowed, problems = read_allowed(allowed_path)

    long_files = [f for f in sorted(sizes) if sizes[f] > MAX_FILE_LINES]
    failing = [f for f in long_files if f not in allowed]
    stale = [f for f in sorted(allowed, key=allowed.get) if f not in long_files]
    if failing:
        print("Files longer than %d lines (split them, or list them with a reason in %s):"
              % (MAX_FILE_LINES, os.path.basename(allowed_path)))
        for f in failing:
            print("%s \u2014 %d lines" % (f, sizes[f]))
    for f in stale:
        print("%s: listed in %s but %s; remove the entry"
              % (f, os.path.basename(allowed_path),
                 "no such file is found" if f not in sizes
                 else "it has no more than %d lines (%d)" % (MAX_FILE_LINES, sizes[f])))
    for problem in problems:
        print(problem)
    print("file size: %d over %d lines (%d allowed), %d stale allow-list entr%s, in %d files"
          % (len(long_files), MAX_FILE_LINES, len(long_files) - len(failing), len(stale),
             "y" if len(stale) == 1 else "ies", len(sizes)))
    return 1 if failing or stale or problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
