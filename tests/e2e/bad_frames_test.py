#!/usr/bin/env python3
"""Frames that cannot give a true point, among good ones, in one simulated night.

The simulator writes 8 frames per band with k 0.25/0.18/0.12 and spoils one frame of each kind
(a saturated star, a star hidden in a dark patch, a file cut short, a DATE-OBS when the star is
below the horizon) and writes a colour cube and a master dark beside them. truth.csv says which
file is which. The night is measured twice, on two copies of the folder:

  (a) unattended, with DISPLAY unset;
  (b) interactively on a real X display (Xvfb), the console on a pseudo-terminal and the clicks
      from xdotool, at the picture's screen position (screen factor 1).

Each run must name every spoilt or extra file exactly once, on the console and in ORVEL_LOG.txt,
in a line "File NAME is not used: REASON." whose reason begins as listed in REASONS, give it
included = 0 and the reason in its note in ORVEL_results.csv, and fit k from the good frames
alone. The two runs use the same picks, so they must give the same k.

The k of a band passes within K_TOLERANCE of the truth. A fixed tolerance rather than a multiple
of the fit's own k_standard_error: a bad frame let into the fit inflates that standard error
together with the error of k, so a tolerance drawn from it would pass the very fault looked for.
With 6 or 7 good frames per band over airmass 1 to 2.9 and about 0.5 % noise on each signal, the
standard error of k is 0.002 to 0.006 and k lands within 0.01 of the truth over many seeds, so
0.03 is at least five standard errors. Most bad points alone move k by far more than 0.03; the
cube's first plane (the red star at airmass 1 taken as blue) moves blue k by about 0.03 only,
which the count of frames analysed per band catches.

Usage: bad_frames_test.py BUILD_DIR
"""
import csv
import os
import re
import shutil
import subprocess
import sys
import tempfile

from checks import Checks
from desktop import plain_dialogue, WAIT, Stuck, Terminal, start_xvfb

BUILD = os.path.abspath(sys.argv[1])
ORVEL = os.path.join(BUILD, "orvel")
SIMULATE = os.path.join(BUILD, "orvel-simulate")
RUN_TIMEOUT = 180    # seconds allowed for a whole run or simulation
K_TOLERANCE = 0.03   # see above

STAR = (200, 120)    # image pixels, and window pixels at screen factor 1
SKY = (60, 200)
NIGHT = ["--frames", "8", "--size", "320x240", "--star", "%d,%d" % STAR, "--k", "0.25,0.18,0.12",
         "--seed", "21",
         "--saturate", "5", "--hide-star", "9", "--cut", "13", "--below-horizon", "17",
         "--cube", "--dark"]
# How each kind of file in truth.csv's note column must be reported.
REASONS = {
    "saturate": "its star is saturated",
    "hide-star": "its star signal",
    "cut": "its pixel data end after",
    "cube": "it holds 3 image planes",
    "dark": "its IMAGETYP 'Dark Frame' marks a calibration frame",
    "below-horizon": "the star is at or below the horizon",
}


check = Checks()


def read_truth(folder):
    """The files of the night with their notes, and the true k per band."""
    text = open(os.path.join(folder, "truth.csv"), newline="").read()
    files_part, bands_part = text.split("\nband,k,", 1)
    files = list(csv.DictReader(files_part.strip().splitlines()))
    k = {row[0]: float(row[1]) for row in csv.reader(bands_part.strip().splitlines()[1:])}
    return files, k


def not_used_reasons(text, name):
    """Every reason given in a "File NAME is not used: REASON" line of a console or log text."""
    return re.findall(r"(?:^|[\r\n])File " + re.escape(name) + r" is not used: ([^\r\n]*)", text)


def check_reports(run, console, log, files):
    """The "not used" lines of one run on its console and in its log."""
    for f in files:
        name, note = f["file"], f["note"]
        for where, text in (("on the console", console), ("in the log", log)):
            reasons = not_used_reasons(text, name)
            if not note:
                check(reasons == [], "%s: the good frame %s is used (%s: %r)"
                      % (run, name, where, reasons))
                continue
            check(len(reasons) == 1 and reasons[0].startswith(REASONS[note]) and
                  reasons[0].endswith("."),
                  "%s: %s (%s) named once %s as not used: %s... (got %r)"
                  % (run, name, note, where, REASONS[note], reasons))


def check_results(run, folder, files):
    """ORVEL_results.csv: the bad files left out with their reason, the good ones in."""
    path = os.path.join(folder, "ORVEL_results.csv")
    if not os.path.exists(path):
        check(False, "%s: ORVEL_results.csv written" % run)
        return
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    for f in files:
        mine = [r for r in rows if r["file"] == f["file"]]
        check(len(mine) == 1, "%s: one row of %s in ORVEL_results.csv (%d)"
              % (run, f["file"], len(mine)))
        if len(mine) != 1:
            continue
        row = mine[0]
        if f["note"]:
            check(row["included"] == "0", "%s: %s has included = 0 (got %r)"
                  % (run, f["file"], row["included"]))
            check(REASONS[f["note"]] in row["note"], "%s: the note of %s holds %r (got %r)"
                  % (run, f["file"], REASONS[f["note"]], row["note"]))
        else:
            check(row["included"] == "1", "%s: the good frame %s has included = 1 (got %r)"
                  % (run, f["file"], row["included"]))


def read_fit(folder):
    path = os.path.join(folder, "ORVEL_fit.csv")
    if not os.path.exists(path):
        return {}
    with open(path, newline="") as f:
        return {row["band"]: row for row in csv.DictReader(f)}


def check_fit(run, folder, files, true_k):
    """ORVEL_fit.csv: k near the truth and only the good frames analysed, band by band."""
    fit = read_fit(folder)
    check(sorted(fit) == ["B", "G", "R"], "%s: ORVEL_fit.csv has the three bands" % run)
    for band, k in sorted(true_k.items()):
        good = sum(1 for f in files if f["band"] == band and not f["note"])
        row = fit.get(band, {})
        try:
            measured = float(row.get("k", ""))
        except ValueError:
            measured = None
        check(measured is not None and abs(measured - k) <= K_TOLERANCE,
              "%s: k of %s is %s, within %.2f of the true %.2f"
              % (run, band, row.get("k"), K_TOLERANCE, k))
        check(row.get("analysed") == str(good), "%s: %s analysed %s frames, the %d good ones"
              % (run, band, row.get("analysed"), good))


def read_log(folder):
    path = os.path.join(folder, "ORVEL_LOG.txt")
    return open(path, encoding="latin-1", newline="").read() if os.path.exists(path) else ""


def sections(log):
    """The log text of each file's pass, keyed by file name."""
    parts = re.split(r"\r\nCurrent file number = [ 0-9]+ \(", log)[1:]
    return {p.split(")", 1)[0]: p for p in parts}


def run_unattended(folder, typed, files, true_k):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    args = [ORVEL, "--lat", typed[0], "--lon", typed[1], "--ra", typed[2], "--dec", typed[3],
            "--star", "%d,%d" % STAR, "--background", "%d,%d" % SKY, "--dir", folder]
    try:
        r = subprocess.run(args, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=RUN_TIMEOUT)
    except subprocess.TimeoutExpired:
        check(False, "unattended: the run ends within %d s" % RUN_TIMEOUT)
        return
    check(r.returncode == 0, "unattended: exit status 0 (got %d; %s)"
          % (r.returncode, r.stderr.strip()))
    check_reports("unattended", r.stdout, read_log(folder), files)
    check_results("unattended", folder, files)
    check_fit("unattended", folder, files, true_k)


def run_interactive(folder, typed, files, true_k, unattended_folder):
    try:
        xvfb, display = start_xvfb()
    except (OSError, Stuck) as e:
        check(False, "interactive: an X display (%s)" % e)
        return
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "DISPLAY": display,
           "TERM": "xterm", "HOME": folder}
    term = Terminal([ORVEL], folder, env)
    try:
        status = plain_dialogue(term, display, typed, STAR, SKY)
        check(status == 0, "interactive: exit status 0 (got %d)" % status)
    except (Stuck, subprocess.SubprocessError, OSError) as e:
        check(False, "interactive: the dialogue runs to its end (%s)" % e)
    finally:
        term.stop()
        xvfb.terminate()
        xvfb.wait(timeout=WAIT)
    log = read_log(folder)
    check_reports("interactive", term.text, log, files)
    check_results("interactive", folder, files)
    check_fit("interactive", folder, files, true_k)
    mine, theirs = read_fit(folder), read_fit(unattended_folder)
    for band in ("R", "G", "B"):
        check(band in mine and band in theirs and mine[band]["k"] == theirs[band]["k"],
              "interactive: k of %s is the unattended run's (%s and %s)"
              % (band, mine.get(band, {}).get("k"), theirs.get(band, {}).get("k")))
    ours, other = sections(log), sections(read_log(unattended_folder))
    differing = sorted(n for n in set(ours) | set(other) if ours.get(n) != other.get(n))
    check(differing == [], "interactive: every frame's log lines are the unattended run's "
          "(differ: %s)" % ", ".join(differing))


def main():
    work = tempfile.mkdtemp(prefix="orvel-bad-frames-")
    try:
        night = os.path.join(work, "night")
        sim = subprocess.run([SIMULATE, "--out", night] + NIGHT, check=True, capture_output=True,
                             text=True, timeout=RUN_TIMEOUT).stdout
        typed = re.findall(r"\([DHMS],M,S\):\s+(\S+)", sim)
        files, true_k = read_truth(night)
        check(len(typed) == 4, "the simulator names the four coordinates to type")
        check(sorted(f["note"] for f in files if f["note"]) == sorted(REASONS),
              "truth.csv names one file of each kind")
        check(sorted(true_k) == ["B", "G", "R"], "truth.csv gives k for the three bands")
        folders = {}
        for run in ("unattended", "interactive"):
            folders[run] = os.path.join(work, run)
            shutil.copytree(night, folders[run])
        run_unattended(folders["unattended"], typed, files, true_k)
        run_interactive(folders["interactive"], typed, files, true_k, folders["unattended"])
    finally:
        if os.environ.get("ORVEL_KEEP") is None:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print("kept " + work)
    check.finish("bad frames")


if __name__ == "__main__":
    main()
