#!/usr/bin/env python3
"""The files a run writes and the text it shows, against a folder prepared to mislead it:
symbolic and hard links left under the output names, output options that name an input frame,
the log or each other, frame names that a spreadsheet would run as formulas, and control
characters in frame names and header strings.

Plain python3, no third-party modules; every run has a time limit.

Usage: outputs_text_test.py BUILD_DIR
"""
import csv
import hashlib
import io
import os
import shutil
import subprocess
import sys
import tempfile

from checks import Checks

BUILD = os.path.abspath(sys.argv[1])
ORVEL = os.path.join(BUILD, "orvel")
SIMULATE = os.path.join(BUILD, "orvel-simulate")
TIMEOUT = 60  # seconds for any one run of the program
LOG = "ORVEL_LOG.txt"
FIXED = [LOG, "ORVEL_results.csv", "ORVEL_fit.csv", "ORVEL_weights.csv"]
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
BATCH = ["--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0", "--dec", "34,30,0",
         "--star", "176,108", "--background", "50,50"]

check = Checks()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def run(args, cwd):
    return subprocess.run([ORVEL] + args, cwd=cwd, input=b"", stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, env=ENV, timeout=TIMEOUT)


def fresh_copy(source, parent, name):
    target = os.path.join(parent, name)
    shutil.copytree(source, target, symlinks=True)
    return target


def folder_state(folder):
    """Every name of the folder with what it is: a link's target, a file's digest."""
    state = {}
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if os.path.islink(path):
            state[name] = ("link", os.readlink(path))
        elif os.path.isfile(path):
            state[name] = ("file", hashlib.sha256(read(path)).hexdigest())
        else:
            state[name] = ("other", None)
    return state


def test_links_under_the_output_names(work, ref):
    """Each output name is a symbolic link to a file of its own outside the folder: after the
    run every victim is as it was, and each name is an ordinary file holding what a run
    without the links writes there."""
    folder = fresh_copy(ref["folder"], work, "links")
    victims = os.path.join(work, "victims")
    os.mkdir(victims)
    outputs = FIXED + ["graph.png", "plot.svg", "report.html"]
    for name in outputs:
        write(os.path.join(victims, name), b"victim of " + name.encode())
        os.symlink(os.path.join(victims, name), os.path.join(folder, name))
    r = run(BATCH + ["--graph", "graph.png", "--plot", "plot.svg", "--report", "report.html"],
            folder)
    check(r.returncode == 0, "links: exit status %d %r" % (r.returncode, r.stderr))
    for name in outputs:
        check(read(os.path.join(victims, name)) == b"victim of " + name.encode(),
              "links: the target of %s unchanged" % name)
        path = os.path.join(folder, name)
        check(not os.path.islink(path) and os.path.isfile(path),
              "links: %s is now an ordinary file" % name)
    for name in FIXED:
        check(read(os.path.join(folder, name)) == ref[name], "links: %s as without links" % name)
    check(read(os.path.join(folder, "graph.png")).startswith(b"\x89PNG"), "links: graph written")
    check(not [n for n in os.listdir(folder) if n.startswith(".")], "links: no file left over")


def test_outputs_naming_inputs(work, ref):
    """An output option naming an input frame (directly, by a link or a hard link, or by a
    --frames pattern), the log, a results file or another output option: exit status 2, one
    line naming both, and the folder exactly as it was (no log begun)."""
    folder = fresh_copy(ref["done"], work, "clash")
    os.symlink("NIGHT_0002_G.fit", os.path.join(folder, "frame.png"))
    os.link(os.path.join(folder, "NIGHT_0003_B.fit"), os.path.join(folder, "hard.bmp"))
    write(os.path.join(folder, "NIGHT_notes.txt"), b"notes")
    os.mkdir(os.path.join(folder, "sub"))
    cases = [
        (BATCH + ["--graph", "NIGHT_0001_R.fit"],
         b"option --graph 'NIGHT_0001_R.fit' names the same file as the input frame "
         b"'./NIGHT_0001_R.fit'"),
        (BATCH + ["--plot", "frame.png"],
         b"option --plot 'frame.png' names the same file as the input frame "
         b"'./NIGHT_0002_G.fit'"),
        (BATCH + ["--graph", "hard.bmp"],
         b"option --graph 'hard.bmp' names the same file as the input frame "
         b"'./NIGHT_0003_B.fit'"),
        (BATCH + ["--frames", "NIGHT_*", "--report", "NIGHT_notes.txt"],
         b"option --report 'NIGHT_notes.txt' names the same file as the input frame "
         b"'./NIGHT_notes.txt'"),
        (BATCH + ["--report", LOG],
         b"option --report 'ORVEL_LOG.txt' names the same file as the log './ORVEL_LOG.txt'"),
        (BATCH + ["--graph", "./sub/../ORVEL_results.csv"],
         b"option --graph './sub/../ORVEL_results.csv' names the same file as the results file "
         b"'./ORVEL_results.csv'"),
        (BATCH + ["--plot", "new.png", "--field", "sub/../new.png"],
         b"option --field 'sub/../new.png' names the same file as option --plot 'new.png'"),
        # Interactive: the plot saved beside the graph is ORVEL_plot.png.
        (["--plot", "ORVEL_plot.png"],
         b"option --plot 'ORVEL_plot.png' names the same file as the saved plot "
         b"'./ORVEL_plot.png'"),
    ]
    before = folder_state(folder)
    for args, message in cases:
        r = run(args, folder)
        what = " ".join(args[len(BATCH):] if args[:len(BATCH)] == BATCH else args)
        check(r.returncode == 2, "%s: exit status %d" % (what, r.returncode))
        check(r.stderr == b"orvel: " + message + b"\n", "%s: said %r" % (what, r.stderr))
        check(folder_state(folder) == before, "%s: the folder unchanged" % what)
    # A fixed name this kind of run does not write is free to take.
    r = run(BATCH + ["--graph", "ORVEL.bmp"], folder)
    check(r.returncode == 0, "--graph ORVEL.bmp unattended: exit status %d" % r.returncode)


def test_formula_names_in_the_csv(work, ref):
    """Frames named like spreadsheet formulas: each name's cell in ORVEL_results.csv starts
    with an apostrophe, and the negative numbers of numeric cells stay numbers."""
    folder = fresh_copy(ref["folder"], work, "formulas")
    renamed = {"NIGHT_0004_R.fit": "=1+2_R.fit", "NIGHT_0005_G.fit": "@SUM(A1)_G.fit",
               "NIGHT_0006_B.fit": "+cmd|calc_B.fit", "NIGHT_0007_R.fit": "-2,x_R.fit"}
    for old, new in renamed.items():
        os.rename(os.path.join(folder, old), os.path.join(folder, new))
    r = run(BATCH, folder)
    check(r.returncode == 0, "formulas: exit status %d" % r.returncode)
    text = read(os.path.join(folder, "ORVEL_results.csv")).decode()
    rows = list(csv.reader(io.StringIO(text, newline="")))
    files = [row[0] for row in rows[1:]]
    for name in renamed.values():
        check("'" + name in files, "formulas: %s written as '%s" % (name, name))
    check("NIGHT_0001_R.fit" in files, "formulas: an ordinary name as it is")
    check('"\'-2,x_R.fit"' in text, "formulas: the apostrophe inside the quotes")
    residuals = [row[rows[0].index("residual")] for row in rows[1:]]
    check(any(v.startswith("-") for v in residuals), "formulas: negative residuals unguarded")
    numeric = [cell for row in rows[1:] for cell in row[2:12] + row[13:]]
    check(not any(cell.startswith("'") for cell in numeric), "formulas: numbers unguarded")


def test_control_characters_on_the_console(work, ref):
    """A FILTER holding ESC [ 3 1 m and BEL, and a frame name holding ESC [ 2 J: the console
    and the log show them as \\x1b, \\x07; no raw ESC or BEL reaches either."""
    folder = fresh_copy(ref["folder"], work, "controls")
    frame = bytearray(read(os.path.join(folder, "NIGHT_0004_R.fit")))
    at = frame.find(b"FILTER  = 'R")
    frame[at:at + 80] = b"FILTER  = 'Ha\x1b[31m\x07'".ljust(80)
    write(os.path.join(folder, "NIGHT_0004_R.fit"), bytes(frame))
    write(os.path.join(os.fsencode(folder), b"bad\x1b[2J_B.fit"), b"SIMPLE  = T")
    r = run(BATCH + ["--frames", "*.fit"], folder)
    check(r.returncode == 0, "controls: exit status %d" % r.returncode)
    out = r.stdout + r.stderr
    check(b"File NIGHT_0004_R.fit is not used: its FILTER 'Ha\\x1b[31m\\x07' names no band"
          in out, "controls: the FILTER escaped on the console")
    check(b"File bad\\x1b[2J_B.fit is not used: " in out, "controls: the name escaped")
    check(b"\x1b" not in out and b"\x07" not in out, "controls: no raw ESC or BEL on the console")
    log = read(os.path.join(folder, LOG))
    check(b"'Ha\\x1b[31m\\x07'" in log, "controls: the header card escaped in the log")
    check(b"\x1b" not in log and b"\x07" not in log, "controls: no raw ESC or BEL in the log")


def make_reference(work):
    ref = {"folder": os.path.join(work, "night")}
    subprocess.run([SIMULATE, "--out", ref["folder"], "--frames", "4", "--size", "320x240",
                    "--no-noise"], check=True, stdout=subprocess.DEVNULL, timeout=TIMEOUT)
    os.remove(os.path.join(ref["folder"], "truth.csv"))
    ref["done"] = fresh_copy(ref["folder"], work, "reference-run")
    r = run(BATCH, ref["done"])
    if r.returncode != 0:
        print("FAIL: the reference run failed:\n" + r.stdout.decode() + r.stderr.decode())
        sys.exit(1)
    for name in FIXED:
        ref[name] = read(os.path.join(ref["done"], name))
    return ref


def main():
    work = tempfile.mkdtemp(prefix="orvel-outputs-")
    try:
        ref = make_reference(work)
        for test in (test_links_under_the_output_names, test_outputs_naming_inputs,
                     test_formula_names_in_the_csv, test_control_characters_on_the_console):
            print("-- " + test.__name__, flush=True)
            test(work, ref)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    check.finish()


if __name__ == "__main__":
    main()
