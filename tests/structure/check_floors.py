#!/usr/bin/env python3
"""The floors of src/: which folder may include which.

Every quoted include in a .h or .cpp file under SRC_DIR names a folder of src ("folder/file.h").
The folders stand on floors; a file may include headers of its own folder and of folders on a
strictly lower floor, nothing else. Files directly in SRC_DIR (main.cpp) stand above every floor.

Reported, each with file:line and the include:
  - an include of a folder on a higher floor, or of another folder on the same floor;
  - an include of a folder that has no floor in FLOORS below (a new folder must be given one),
    and once per folder, a folder of SRC_DIR that has no floor;
  - an include without a folder, or with "." or ".." in its path;
  - an include of a header that does not exist under SRC_DIR.
Independently of FLOORS, the folder-to-folder include graph is searched for cycles, and each
cycle is reported with its folders and one include for each of its steps.

Each PROGRAMS_DIR (tools/) holds programs over the library, each a file directly in it with the
rest of its files in a folder of its own (tools/simulate/). They stand on the top floor with
main.cpp: a quoted include names a folder of SRC_DIR, of any floor, or a folder of the same
PROGRAMS_DIR ("simulate/night_plan.h"). Reported besides:
  - an include of another program's folder from a program's folder;
  - a folder of PROGRAMS_DIR with the name of a folder of SRC_DIR (the two could not be told
    apart in an include);
  - an include of a header that exists in neither.

Angle-bracket includes are system headers and are ignored, as are includes inside comments and
inside "#if 0" blocks. Other conditional blocks are read as if every branch were compiled.

Usage: check_floors.py SRC_DIR [PROGRAMS_DIR...]
Exit status: 0 when clean, 1 on any violation, 2 when SRC_DIR cannot be read.
"""
import os
import re
import sys

# The floors, lowest first. A folder may include only its own folder and lower floors.
FLOORS = [
    # floor 0: base owns numeric rules, number formats, the log sink, typed-line rules
    ["base"],
    # floor 1: fits owns reading FITS files
    ["fits"],
    # floor 2: analysis owns statistics, background, star and photometry; observing owns coordinates, calendar, time and airmass; fit owns the band regression
    ["analysis", "observing", "fit"],
    # floor 3: night owns discovery, the frame pipeline, the night record and its log lines; platform owns console and window services
    ["night", "platform"],
    # floor 4: graph owns the graph's ranges, drawing and files; report owns the fit report and the results files
    # picture owns the labelled plot, the field picture and the night report drawn with cairo
    ["graph", "report", "picture"],
    # floor 5: dialogue owns questions, picks and the outlier dialogue
    ["dialogue"],
    # floor 6: run owns options, the two flows and the entry
    ["run"],
]

SOURCE_SUFFIXES = (".h", ".cpp")
TOP_FLOOR = len(FLOORS)  # files directly in SRC_DIR
TOP = "(top)"            # the folder name given to files directly in SRC_DIR

FLOOR_OF = {folder: floor for floor, folders in enumerate(FLOORS) for folder in folders}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"\n]*)"')
IF_OPEN = re.compile(r"^\s*#\s*if(?:def|ndef)?\b")
IF_ZERO = re.compile(r"^\s*#\s*if\s+0\s*$")
ELSE = re.compile(r"^\s*#\s*(?:else|elif)\b")
ENDIF = re.compile(r"^\s*#\s*endif\b")


def _in_number(text, i):
    """Whether the quote at i sits inside a number literal (a digit separator)."""
    j = i
    while j > 0 and (text[j - 1].isalnum() or text[j - 1] in "_.'"):
        j -= 1
    return text[j].isdigit()


def strip_comments(text):
    """Blanks out // and /* */ comments, keeping line breaks and string and char literals."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c == "/" and text.startswith("//", i):
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    i += 1  # a // comment continued onto the next line
                i += 1
            out.append(" ")
        elif c == "/" and text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif c == "'" and i > 0 and text[i - 1].isalnum() and _in_number(text, i):
            out.append(c)  # a digit separator, as in 1'000'000
            i += 1
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(text[i:j + 1])
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def quoted_includes(text):
    """(line number, path) of each quoted include outside comments and "#if 0" blocks."""
    found = []
    dead = []  # for each open conditional: True while its current branch is "#if 0"
    for number, line in enumerate(strip_comments(text).split("\n"), start=1):
        if IF_ZERO.match(line):
            dead.append(True)
            continue
        if IF_OPEN.match(line):
            dead.append(False)
            continue
        if ELSE.match(line):
            if dead:
                dead[-1] = False
            continue
        if ENDIF.match(line):
            if dead:
                dead.pop()
            continue
        if any(dead):
            continue
        match = INCLUDE.match(line)
        if match:
            found.append((number, match.group(1)))
    return found


def source_files(src_dir):
    for root, dirs, files in os.walk(src_dir):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(root, name)


def floor_name(floor):
    return "the top" if floor == TOP_FLOOR else "floor %d" % floor


def shortest_cycle(edges, members, start):
    """The shortest way from start back to start through the given folders only."""
    previous = {start: None}
    frontier = [start]
    while frontier:
        following = []
        for node in frontier:
            for child in sorted(edges.get(node, ())):
                if child not in members:
                    continue
                if child == start:
                    path = [node]
                    while previous[path[-1]] is not None:
                        path.append(previous[path[-1]])
                    return list(reversed(path)) + [start]
                if child not in previous:
                    previous[child] = node
                    following.append(child)
        frontier = following
    raise AssertionError("no cycle through " + start)


def find_cycles(edges):
    """Cycles between folders: for each group of folders that reach each other, enough shortest
    cycles that every folder of the group is on one of them."""
    index, low, on_stack, stack, groups = {}, {}, set(), [], []
    counter = [0]

    def visit(node):
        # Iterative Tarjan: the folder graph is small, but recursion limits are not worth a thought.
        work = [(node, iter(sorted(edges.get(node, ()))))]
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        while work:
            current, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges.get(child, ())))))
                    advanced = True
                    break
                if child in on_stack:
                    low[current] = min(low[current], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[current])
            if low[current] == index[current]:
                group = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.append(member)
                    if member == current:
                        break
                if len(group) > 1:
                    groups.append(sorted(group))

    for node in sorted(edges):
        if node not in index:
            visit(node)

    cycles = []
    for group in sorted(groups):
        members = set(group)
        covered = set()
        for start in group:
            if start in covered:
                continue
            path = shortest_cycle(edges, members, start)
            covered.update(path)
            cycles.append(path)
    return cycles


def check_programs(programs_dir, src_dir, violations):
    """Adds the violations of the files of a folder of programs; the number of its files."""
    shown_root = os.path.basename(programs_dir)
    files = list(source_files(programs_dir))
    for folder in sorted(os.listdir(programs_dir)):
        if os.path.isdir(os.path.join(programs_dir, folder)) and \
                os.path.isdir(os.path.join(src_dir, folder)):
            violations.append("%s/%s/: has the name of the folder %s/%s/; an include could not "
                              "tell them apart" % (shown_root, folder,
                                                   os.path.basename(src_dir), folder))
    for path in files:
        relative = os.path.relpath(path, programs_dir).replace(os.sep, "/")
        shown = shown_root + "/" + relative
        own = relative.split("/")[0] if "/" in relative else TOP
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        for line, target in quoted_includes(text):
            site = '%s:%d: #include "%s"' % (shown, line, target)
            parts = target.split("/")
            if len(parts) < 2 or "" in parts or "." in parts or ".." in parts:
                violations.append('%s: write it as "folder/file.h", from %s or from %s'
                                  % (site, os.path.basename(src_dir), shown_root))
                continue
            folder = parts[0]
            if os.path.isdir(os.path.join(programs_dir, folder)):
                if own != TOP and folder != own:
                    violations.append("%s: %s/%s/ is another program's folder"
                                      % (site, shown_root, folder))
                where = programs_dir
            else:
                if folder not in FLOOR_OF:
                    violations.append("%s: the folder %s has no floor (a new folder must be given "
                                      "one in FLOORS)" % (site, folder))
                where = src_dir
            if not os.path.isfile(os.path.join(where, *parts)):
                violations.append("%s: there is no such header under %s or %s"
                                  % (site, os.path.basename(src_dir), shown_root))
    return len(files)


def main(argv):
    if len(argv) < 2:
        print("usage: check_floors.py SRC_DIR [PROGRAMS_DIR...]", file=sys.stderr)
        return 2
    for programs in argv[2:]:
        if not os.path.isdir(programs):
            print("floors: %s is not a folder" % programs, file=sys.stderr)
            return 2
    src_dir = os.path.abspath(argv[1])
    if not os.path.isdir(src_dir):
        print("floors: %s is not a folder" % argv[1], file=sys.stderr)
        return 2
    shown_root = os.path.basename(src_dir)
    files = list(source_files(src_dir))
    if not files:
        print("floors: no .h or .cpp files under %s" % argv[1], file=sys.stderr)
        return 2

    violations = []
    edges = {}      # folder -> set of folders it includes
    edge_site = {}  # (folder, folder) -> first "file:line: #include" that makes the edge
    unfloored = set()

    for path in files:
        relative = os.path.relpath(path, src_dir).replace(os.sep, "/")
        shown = shown_root + "/" + relative
        own = relative.split("/")[0] if "/" in relative else TOP
        if own == TOP:
            own_floor = TOP_FLOOR
        else:
            own_floor = FLOOR_OF.get(own)
            if own_floor is None and own not in unfloored:
                unfloored.add(own)
                violations.append("%s/%s/: the folder %s has no floor; give it one in FLOORS of %s"
                                  % (shown_root, own, own, os.path.basename(__file__)))
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
        except OSError as error:
            violations.append("%s: cannot be read (%s)" % (shown, error.strerror))
            continue

        for line, target in quoted_includes(text):
            site = '%s:%d: #include "%s"' % (shown, line, target)
            parts = target.split("/")
            if len(parts) < 2 or "" in parts:
                violations.append('%s: names no folder of src; write it as "folder/file.h"' % site)
                continue
            if "." in parts or ".." in parts:
                violations.append("%s: has \".\" or \"..\" in its path; write it from src as "
                                  "\"folder/file.h\"" % site)
                continue
            folder = parts[0]
            if not os.path.isfile(os.path.join(src_dir, *parts)):
                violations.append("%s: there is no such header under %s" % (site, shown_root))
            if folder != own and own != TOP:
                edges.setdefault(own, set()).add(folder)
                edge_site.setdefault((own, folder), site)
            if folder == own:
                continue
            floor = FLOOR_OF.get(folder)
            if floor is None:
                violations.append("%s: the folder %s has no floor (a new folder must be given one "
                                  "in FLOORS)" % (site, folder))
                continue
            if own_floor is None:
                continue  # the folder itself has no floor: reported once above
            if floor == own_floor:
                violations.append("%s: %s and %s are both on floor %d; folders of one floor do not "
                                  "include each other" % (site, own, folder, floor))
            elif floor > own_floor:
                violations.append("%s: %s (%s) may not include %s (floor %d, higher)"
                                  % (site, own, floor_name(own_floor), folder, floor))

    for path in find_cycles(edges):
        violations.append("cycle between the folders %s: %s"
                          % (", ".join(sorted(set(path))), " -> ".join(path)))
        for a, b in zip(path, path[1:]):
            violations.append("    %s -> %s at %s" % (a, b, edge_site[(a, b)]))

    checked = len(files)
    for programs in argv[2:]:
        checked += check_programs(os.path.abspath(programs), src_dir, violations)

    for violation in violations:
        print(violation)
    count = sum(1 for v in violations if not v.startswith("    "))
    print("floors: %d violation%s in %d files" % (count, "" if count == 1 else "s", checked))
    return 1 if count else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
