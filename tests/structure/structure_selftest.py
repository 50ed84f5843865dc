#!/usr/bin/env python3
"""Self-test of the structure checks: check_floors.py, check_function_size.py and check_file_size.py
are run on small trees and must fail exactly where the structure is broken and pass where it is
not.

The floors cases start from fixtures/floors/clean/src, copied to a temporary folder, and add one
fault each. The function-size cases use fixtures/function_size/{clean,offenders}/src, where each
definition carries a "// function: NAME, N lines, M parameters" comment on the line of its name
saying what the reader must find there, and small trees written by the test.

Usage: structure_selftest.py
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
FLOORS = os.path.join(HERE, "check_floors.py")
FUNCTION_SIZE = os.path.join(HERE, "check_function_size.py")
FILE_SIZE = os.path.join(HERE, "check_file_size.py")
FIXTURES = os.path.join(HERE, "fixtures")
FLOORS_CLEAN = os.path.join(FIXTURES, "floors", "clean", "src")
SIZE_CLEAN = os.path.join(FIXTURES, "function_size", "clean", "src")
SIZE_OFFENDERS = os.path.join(FIXTURES, "function_size", "offenders", "src")

MARK = re.compile(r"// function: (.+), (\d+) lines?, (\d+) parameters?\s*$")
REPORTED = re.compile(r"^(\S+):(\d+) (.+) \u2014 (\d+) lines?, (\d+) parameters?$")

CASES = []


def case(function):
    CASES.append(function)
    return function


class Failure(Exception):
    pass


def expect(condition, message, output=None):
    if not condition:
        if output is not None:
            message += "\n--- output ---\n" + output.rstrip() + "\n--------------"
        raise Failure(message)


def run(script, *args):
    done = subprocess.run([sys.executable, script, *args], capture_output=True, text=True,
                          encoding="utf-8", timeout=120)
    return done.returncode, done.stdout + done.stderr


class Tree:
    """A temporary folder holding src/, copied from a fixture or empty."""

    def __init__(self, fixture=None):
        self.root = tempfile.mkdtemp(prefix="orvel-structure-")
        self.src = os.path.join(self.root, "src")
        if fixture:
            shutil.copytree(fixture, self.src)
        else:
            os.makedirs(self.src)

    def write(self, relative, text):
        path = os.path.join(self.src, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def append(self, relative, line):
        """Adds a line at the end of a file; returns its line number."""
        path = os.path.join(self.src, relative)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        if text and not text.endswith("\n"):
            text += "\n"
        text += line + "\n"
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return text.count("\n")

    def file(self, name, text):
        """A file beside src/ (an allow-list)."""
        path = os.path.join(self.root, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.root, ignore_errors=True)


def count_files(src):
    return sum(1 for _, _, files in os.walk(src) for f in files if f.endswith((".h", ".cpp")))


# ---------------------------------------------------------------------------------------------
# Floors


def floors_fault(relative, include, *expected, violations=None, extra_files=()):
    """Adds the include to a copy of the clean tree; the check must fail naming it."""
    with Tree(FLOORS_CLEAN) as tree:
        for path, text in extra_files:
            tree.write(path, text)
        line = tree.append(relative, include)
        code, out = run(FLOORS, tree.src)
        site = "src/%s:%d: %s" % (relative, line, include)
        expect(code == 1, "exit status %d, not 1" % code, out)
        expect(any(l.startswith(site) for l in out.splitlines()), "no line starting " + site, out)
        for text in expected:
            expect(text in out, "no mention of: " + text, out)
        if violations is not None:
            expect(re.search(r"^floors: %d violations? in \d+ files$" % violations, out, re.M),
                   "not %d violations" % violations, out)
        return out


@case
def floors_pass_on_clean_tree():
    code, out = run(FLOORS, FLOORS_CLEAN)
    expect(code == 0, "exit status %d on the clean tree" % code, out)
    expect(out.strip().splitlines() == ["floors: 0 violations in %d files"
                                        % count_files(FLOORS_CLEAN)],
           "not a single summary line", out)


@case
def floors_analysis_to_platform_fails():
    out = floors_fault("analysis/background.h", '#include "platform/console.h"',
                       "analysis (floor 2) may not include platform (floor 3, higher)",
                       violations=1)
    expect("cycle" not in out, "a one-way include reported as a cycle", out)


@case
def floors_fits_to_night_fails():
    floors_fault("fits/fits_file.h", '#include "night/night_record.h"',
                 "fits (floor 1) may not include night (floor 3, higher)")


@case
def floors_base_to_platform_fails():
    floors_fault("base/number_format.cpp", '#include "platform/console.h"',
                 "base (floor 0) may not include platform")


@case
def floors_between_floor_two_folders_fails():
    floors_fault("analysis/background.cpp", '#include "observing/airmass.h"',
                 "analysis and observing are both on floor 2", violations=1)


@case
def floors_fit_to_analysis_fails():
    floors_fault("fit/band_regression.h", '#include "analysis/background.h"',
                 "fit and analysis are both on floor 2", violations=1)


@case
def floors_unknown_folder_fails():
    floors_fault("night/night_record.h", '#include "imageset/discovery.h"',
                 "the folder imageset has no floor",
                 "src/imageset/: the folder imageset has no floor",
                 violations=2,
                 extra_files=[("imageset/discovery.h",
                               '#pragma once\n#include "base/numeric.h"\n')])


@case
def floors_folder_that_does_not_exist_fails():
    floors_fault("analysis/background.cpp", '#include "tools/helper.h"',
                 "the folder tools has no floor", "there is no such header", violations=2)


@case
def floors_missing_header_fails():
    floors_fault("analysis/background.cpp", '#include "base/missing.h"',
                 "there is no such header", violations=1)


@case
def floors_include_without_folder_fails():
    floors_fault("analysis/background.cpp", '#include "background.h"', "names no folder",
                 violations=1)


@case
def floors_relative_include_fails():
    floors_fault("analysis/background.cpp", '#include "../base/numeric.h"', '".."',
                 violations=1)


@case
def floors_two_folder_cycle_is_named():
    with Tree(FLOORS_CLEAN) as tree:
        tree.append("night/night_record.h", '#include "platform/console.h"')
        tree.append("platform/console.h", '#include "night/night_record.h"')
        code, out = run(FLOORS, tree.src)
        expect(code == 1, "exit status %d, not 1" % code, out)
        expect("cycle between the folders night, platform: night -> platform -> night" in out,
               "the cycle is not named", out)


@case
def floors_cycle_outside_the_table_is_named():
    # Folders without floors: the table cannot judge these includes, the cycle search still does.
    with Tree(FLOORS_CLEAN) as tree:
        tree.write("alpha/a.h", '#pragma once\n#include "beta/b.h"\n')
        tree.write("beta/b.h", '#pragma once\n#include "gamma/c.h"\n')
        tree.write("gamma/c.h", '#pragma once\n#include "alpha/a.h"\n')
        code, out = run(FLOORS, tree.src)
        expect(code == 1, "exit status %d, not 1" % code, out)
        expect("cycle between the folders alpha, beta, gamma: alpha -> beta -> gamma -> alpha"
               in out, "the cycle is not named", out)
        expect("alpha -> beta at src/alpha/a.h:2" in out, "the include making a step is not shown",
               out)


@case
def floors_fail_on_a_missing_folder():
    code, out = run(FLOORS, os.path.join(FIXTURES, "no-such-folder"))
    expect(code not in (0, 1), "exit status %d for a folder that does not exist" % code, out)


def tools_tree(tree, main_include, folder_include):
    """A tools/ folder beside the tree's src/: a program and a file of its own folder, each with
    one include; the path of tools/."""
    tree.write("../tools/prog/part.h", '#pragma once\n#include "base/numeric.h"\n')
    tree.write("../tools/other/piece.h", "#pragma once\n")
    tree.write("../tools/prog/part.cpp", '#include "prog/part.h"\n' + folder_include + "\n")
    tree.write("../tools/prog-main.cpp", main_include + "\n")
    return os.path.join(tree.root, "tools")


@case
def floors_pass_on_programs_over_any_floor():
    with Tree(FLOORS_CLEAN) as tree:
        tools = tools_tree(tree, '#include "other/piece.h"\n#include "run/program.h"',
                           '#include "dialogue/questions.h"')
        code, out = run(FLOORS, tree.src, tools)
        expect(code == 0, "exit status %d on clean programs" % code, out)
        expect("in %d files" % (count_files(FLOORS_CLEAN) + 4) in out, "tools/ not counted", out)


@case
def floors_program_folder_including_another_fails():
    with Tree(FLOORS_CLEAN) as tree:
        tools = tools_tree(tree, "", '#include "other/piece.h"')
        code, out = run(FLOORS, tree.src, tools)
        expect(code == 1, "exit status %d, not 1" % code, out)
        expect('tools/prog/part.cpp:2: #include "other/piece.h": tools/other/ is another '
               "program's folder" in out, "the include is not named", out)


@case
def floors_program_including_what_is_nowhere_fails():
    with Tree(FLOORS_CLEAN) as tree:
        tools = tools_tree(tree, '#include "base/missing.h"', '#include "imageset/x.h"')
        tree.write("../tools/night/clash.h", "#pragma once\n")
        code, out = run(FLOORS, tree.src, tools)
        expect(code == 1, "exit status %d, not 1" % code, out)
        for text in ('tools/prog-main.cpp:1: #include "base/missing.h": there is no such header',
                     "the folder imageset has no floor", "tools/night/: has the name of the folder "
                     "src/night/"):
            expect(text in out, "no mention of: " + text, out)


# ---------------------------------------------------------------------------------------------
# Function size


def marks(src):
    """{(file, line): (name, lines, parameters)} from the "// function:" comments."""
    found = {}
    for root, _, files in os.walk(src):
        for name in files:
            path = os.path.join(root, name)
            shown = "src/" + os.path.relpath(path, src).replace(os.sep, "/")
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, start=1):
                    match = MARK.search(line)
                    if match:
                        found[(shown, number)] = (match.group(1), int(match.group(2)),
                                                  int(match.group(3)))
    return found


def reported(out):
    found = {}
    for line in out.splitlines():
        match = REPORTED.match(line)
        if match:
            found[(match.group(1), int(match.group(2)))] = (match.group(3), int(match.group(4)),
                                                           int(match.group(5)))
    return found


def difference(wanted, got):
    lines = []
    for key in sorted(set(wanted) | set(got)):
        if wanted.get(key) != got.get(key):
            lines.append("  %s:%d wanted %s, found %s" % (key[0], key[1], wanted.get(key),
                                                          got.get(key)))
    return "\n".join(lines)


def over(found):
    return {k: v for k, v in found.items() if v[1] > 50 or v[2] > 6}


def size_check(src, allowed_text="", *extra):
    with Tree() as tree:
        allowed = tree.file("allowed.txt", allowed_text)
        return run(FUNCTION_SIZE, "--allowed", allowed, *extra, src)


@case
def size_reads_every_definition_of_the_clean_tree():
    # Only the marked definitions: no if/for/while/switch/catch block, class, struct, enum,
    # namespace, extern "C" block, initializer or lambda inside a function counted on its own.
    code, out = size_check(SIZE_CLEAN, "", "--list")
    wanted, got = marks(SIZE_CLEAN), reported(out)
    expect(len(wanted) > 20, "the clean fixture has lost its marks")
    expect(wanted == got, "definitions read wrongly:\n" + difference(wanted, got), out)


@case
def size_pass_on_clean_tree():
    code, out = size_check(SIZE_CLEAN)
    expect(code == 0, "exit status %d on the clean tree" % code, out)
    expect("function size: 0 over the limits (0 allowed), 0 stale allow-list entries, in %d files"
           % count_files(SIZE_CLEAN) in out, "no clean summary", out)


@case
def size_reads_every_definition_of_the_offenders_tree():
    code, out = size_check(SIZE_OFFENDERS, "", "--list")
    wanted, got = marks(SIZE_OFFENDERS), reported(out)
    expect(wanted == got, "definitions read wrongly:\n" + difference(wanted, got), out)


@case
def size_lists_every_offender_and_nothing_else():
    code, out = size_check(SIZE_OFFENDERS)
    wanted, got = over(marks(SIZE_OFFENDERS)), reported(out)
    expect(code == 1, "exit status %d, not 1" % code, out)
    expect(len(wanted) >= 10, "the offenders fixture has lost its marks")
    expect(wanted == got, "offenders wrong:\n" + difference(wanted, got), out)


@case
def size_fails_on_a_51_line_function():
    with Tree() as tree:
        body = "".join("    total += %d;\n" % i for i in range(48))
        tree.write("base/long.cpp", "int total = 0;\n\nint longest() {\n" + body
                   + "    return total;\n}\n")
        code, out = size_check(tree.src)
        expect(code == 1, "exit status %d, not 1" % code, out)
        expect("src/base/long.cpp:3 longest \u2014 51 lines, 0 parameters" in out,
               "the 51-line function is not listed", out)


@case
def size_pass_on_a_50_line_function():
    with Tree() as tree:
        body = "".join("    total += %d;\n" % i for i in range(47))
        tree.write("base/long.cpp", "int total = 0;\n\nint longest() {\n" + body
                   + "    return total;\n}\n")
        code, out = size_check(tree.src)
        expect(code == 0, "exit status %d for 50 lines" % code, out)


@case
def size_fails_on_seven_parameters():
    with Tree() as tree:
        tree.write("base/wide.h", "#pragma once\ninline int wide(int a, int b, int c, int d, int e,"
                   " int f, int g) {\n    return a + b + c + d + e + f + g;\n}\n"
                   "inline int six(int a, int b, int c, int d, int e, int f) { return a; }\n")
        code, out = size_check(tree.src)
        expect(code == 1, "exit status %d, not 1" % code, out)
        expect("src/base/wide.h:2 wide \u2014 3 lines, 7 parameters" in out,
               "the 7-parameter function is not listed", out)
        expect(" six " not in out, "the 6-parameter function is listed", out)


def allow_all(extra=""):
    entries = ["%s::%s  # kept long for the test" % (file, name)
               for (file, _), (name, _, _) in sorted(over(marks(SIZE_OFFENDERS)).items())]
    return "# accepted\n\n" + "\n".join(sorted(set(entries))) + "\n" + extra


@case
def size_pass_when_every_offender_is_allowed():
    code, out = size_check(SIZE_OFFENDERS, allow_all())
    count = len(over(marks(SIZE_OFFENDERS)))
    expect(code == 0, "exit status %d with every offender allowed" % code, out)
    expect("%d over the limits (%d allowed)" % (count, count) in out, "not all allowed", out)


@case
def size_fails_on_a_stale_entry():
    code, out = size_check(SIZE_OFFENDERS, allow_all("src/shapes/long.cpp::fifty  # was long\n"))
    expect(code == 1, "exit status %d with a stale entry" % code, out)
    expect("src/shapes/long.cpp::fifty: listed in allowed.txt but it no longer exceeds" in out,
           "the stale entry is not named", out)
    expect("src/shapes/long.cpp:396 fifty \u2014 50 lines, 1 parameter" in out,
           "the stale function's size is not shown", out)
    expect("1 stale allow-list entry" in out, "the stale entry is not counted", out)


@case
def size_fails_on_an_entry_for_a_function_that_is_gone():
    code, out = size_check(SIZE_OFFENDERS, allow_all("src/shapes/long.cpp::removed  # was long\n"))
    expect(code == 1, "exit status %d with an entry for no function" % code, out)
    expect("src/shapes/long.cpp::removed: listed in allowed.txt but no such function is found"
           in out, "the entry is not named", out)


@case
def size_fails_on_an_entry_without_a_reason():
    code, out = size_check(SIZE_OFFENDERS,
                           allow_all().replace("  # kept long for the test", "", 1))
    expect(code == 1, "exit status %d with an entry without a reason" % code, out)
    expect("has no reason" in out, "the entry without a reason is not named", out)


@case
def size_fails_on_an_offender_left_out_of_the_list():
    allowed = "\n".join(l for l in allow_all().splitlines() if "Widget::Widget" not in l)
    code, out = size_check(SIZE_OFFENDERS, allowed + "\n")
    expect(code == 1, "exit status %d with one offender not allowed" % code, out)
    expect("src/shapes/long.cpp:18 Widget::Widget \u2014 51 lines, 2 parameters" in out,
           "the offender is not listed", out)
    expect(len(reported(out)) == 1, "allowed offenders listed as failing", out)


@case
def size_reads_every_folder_given():
    with Tree() as tree:
        body = "".join("    total += %d;\n" % i for i in range(48))
        tree.write("../tools/long.cpp", "int total = 0;\n\nint longest() {\n" + body
                   + "    return total;\n}\n")
        code, out = size_check(SIZE_CLEAN, "", os.path.join(tree.root, "tools"))
        expect(code == 1, "exit status %d, not 1" % code, out)
        expect("tools/long.cpp:3 longest \u2014 51 lines, 0 parameters" in out,
               "the function of the second folder is not listed", out)


# ---------------------------------------------------------------------------------------------
# File size


def file_size_check(allowed_text, *folders):
    with Tree() as tree:
        allowed = tree.file("allowed.txt", allowed_text)
        return run(FILE_SIZE, "--allowed", allowed, *folders)


@case
def file_size_fails_on_451_lines_only():
    # long.cpp of the offenders has 451 lines; the clean fixture's files fewer than 450.
    code, out = file_size_check("", SIZE_OFFENDERS, SIZE_CLEAN)
    expect(code == 1, "exit status %d, not 1" % code, out)
    expect("src/shapes/long.cpp \u2014 451 lines" in out, "the long file is not listed", out)
    expect("file size: 1 over 450 lines (0 allowed)" in out, "not one long file", out)
    with Tree() as tree:
        tree.write("base/full.cpp", "int x;\n" * 450)
        code, out = file_size_check("", tree.src)
        expect(code == 0, "exit status %d for 450 lines" % code, out)


@case
def file_size_allow_list_is_kept_true():
    code, out = file_size_check("src/shapes/long.cpp  # kept long for the test\n", SIZE_OFFENDERS)
    expect(code == 0, "exit status %d with the long file allowed" % code, out)
    code, out = file_size_check("src/shapes/long.cpp  # kept\nsrc/shapes/long.h  # was long\n",
                                SIZE_OFFENDERS)
    expect(code == 1 and "src/shapes/long.h: listed in allowed.txt but it has no more than 450 "
           "lines (131)" in out, "the stale entry is not named", out)
    code, out = file_size_check("src/shapes/long.cpp\n", SIZE_OFFENDERS)
    expect(code == 1 and "has no reason" in out, "the entry without a reason passes", out)


def main():
    passed = failed = 0
    for function in CASES:
        try:
            function()
        except Failure as failure:
            failed += 1
            print("FAIL %s: %s" % (function.__name__, failure))
        except Exception as error:  # a broken case is a failure, not a crash of the self-test
            failed += 1
            print("FAIL %s: %s: %s" % (function.__name__, type(error).__name__, error))
        else:
            passed += 1
            print("ok   %s" % function.__name__)
    print("structure self-test: %d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
