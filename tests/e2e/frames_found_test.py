#!/usr/bin/env python3
"""Which frames of a folder are measured: one exposure found twice, and frames whose band only
their name tells.

(1) The same exposure twice. A night of orvel-simulate, and the same night with a byte-identical
    copy of one frame under another FITS name (as fpack leaves x.fits beside x.fits.fz): by the
    classic names (Z_copy_R.fit) and with --frames (NIGHT_0004_R.fts). The copy is said once,
    "File NAME is not used: the same exposure as NIGHT_0004_R...", on the console and in the log,
    its row in ORVEL_results.csv is left out with that note, every other row and every fitted
    number equal the night's without the copy (the band's file count holds the copy).
(2) Frames without FILTER. The same night written with its filter in another card (FILTNAME),
    renamed ..._R.fits, ..._G.fts, ..._B.fit and found with --frames: each is measured in the
    band of the letter before its extension, the rows and the fit equal the classic night's, and
    the console says once how many frames took their band from their name (not the log).

Usage: frames_found_test.py BUILD_DIR
"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile

from checks import Checks

BUILD = os.path.abspath(sys.argv[1])
ORVEL = os.path.join(BUILD, "orvel")
SIMULATE = os.path.join(BUILD, "orvel-simulate")
RUN_TIMEOUT = 180
TYPED = ["--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0", "--dec", "34,30,0"]
PICKS = ["--star", "80,60", "--background", "20,20"]
FRAMES = ["--frames", "*.fit*", "--frames", "*.fts"]
NIGHT = ["--size", "160x120", "--frames", "4", "--star", "80,60", "--seed", "2"]

check = Checks()


def simulate(folder, extra=()):
    subprocess.run([SIMULATE, "--out", folder] + NIGHT + list(extra), check=True,
                   capture_output=True, timeout=RUN_TIMEOUT)
    os.remove(os.path.join(folder, "truth.csv"))


def unattended(folder, extra=()):
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    return subprocess.run([ORVEL] + TYPED + PICKS + ["--dir", folder] + list(extra), env=env,
                          stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          timeout=RUN_TIMEOUT)


def rows(folder, name):
    with open(os.path.join(folder, name), newline="") as f:
        return list(csv.DictReader(f))


def read_log(folder):
    return open(os.path.join(folder, "ORVEL_LOG.txt"), encoding="latin-1", newline="").read()


def without(row, *columns):
    return {k: v for k, v in row.items() if k not in columns}


def check_copy(title, base, folder, copy, kept, extra):
    """A run over `folder` (base plus `copy`, the same bytes as `kept`) against the base run."""
    r = unattended(folder, extra)
    check(r.returncode == 0, "%s: exit 0 (%s)" % (title, r.stderr))
    line = "File %s is not used: the same exposure as %s." % (copy, kept)
    check(r.stdout.count(line) == 1, "%s: %r once on the console" % (title, line))
    check(read_log(folder).count("\r\n" + line + "\r\n") == 1, "%s: once in the log" % title)
    mine = {row["file"]: row for row in rows(folder, "ORVEL_results.csv")}
    left = mine.pop(copy, {})
    check(left.get("included") == "0" and left.get("note") == line[len("File %s is not used: "
                                                                       % copy):-1],
          "%s: the copy's row is left out with its reason (%s)" % (title, left))
    theirs = {row["file"]: row for row in rows(base, "ORVEL_results.csv")}
    check(mine == theirs, "%s: every other row equals the night's without the copy" % title)
    fit, base_fit = rows(folder, "ORVEL_fit.csv"), rows(base, "ORVEL_fit.csv")
    check([without(b, "files") for b in fit] == [without(b, "files") for b in base_fit],
          "%s: k and every fitted number equal the night's without the copy" % title)
    files = {b["band"]: b["files"] for b in fit}
    check(files == {"R": "5", "G": "4", "B": "4"}, "%s: the copy counts as a red file (%s)"
          % (title, files))


def check_same_exposure(work, night):
    classic = os.path.join(work, "classic")
    shutil.copytree(night, classic)
    r = unattended(classic)
    check(r.returncode == 0 and "same exposure" not in r.stdout, "classic night: exit 0")
    folder = os.path.join(work, "classic-copy")
    shutil.copytree(night, folder)
    shutil.copyfile(os.path.join(folder, "NIGHT_0004_R.fit"), os.path.join(folder, "Z_copy_R.fit"))
    check_copy("classic names", classic, folder, "Z_copy_R.fit", "NIGHT_0004_R.fit", [])

    chosen = os.path.join(work, "frames")
    shutil.copytree(night, chosen)
    for name in os.listdir(chosen):
        os.rename(os.path.join(chosen, name), os.path.join(chosen, name[:-4] + ".fits"))
    r = unattended(chosen, FRAMES)
    check(r.returncode == 0 and "same exposure" not in r.stdout, "--frames night: exit 0")
    folder = os.path.join(work, "frames-copy")
    shutil.copytree(chosen, folder)
    shutil.copyfile(os.path.join(folder, "NIGHT_0004_R.fits"),
                    os.path.join(folder, "NIGHT_0004_R.fts"))
    check_copy("--frames", chosen, folder, "NIGHT_0004_R.fts", "NIGHT_0004_R.fits", FRAMES)


def check_bands_from_names(work, night):
    classic = os.path.join(work, "classic")
    folder = os.path.join(work, "no-filter")
    simulate(folder, ["--filter-card", "FILTNAME"])
    ending = {"R": ".fits", "G": ".fts", "B": ".fit"}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            check(b"FILTER  =" not in f.read(2880), "%s has no FILTER card" % name)
        os.rename(os.path.join(folder, name),
                  os.path.join(folder, name[:-4] + ending[name[-5]]))
    r = unattended(folder, FRAMES)
    check(r.returncode == 0, "no FILTER: exit 0 (%s)" % r.stderr)
    note = ("12 frames without a FILTER card take their band from the letter before the "
            "extension.\n")
    check(r.stdout.count(note) == 1, "no FILTER: the console says %r once" % note)
    check("letter before the extension" not in read_log(folder), "no FILTER: not in the log")
    mine = rows(folder, "ORVEL_results.csv")
    check(len(mine) == 12 and all(row["included"] == "1" and row["band"] ==
                                  row["file"].split(".")[0][-1] for row in mine),
          "no FILTER: every frame measured in the band its name ends in")
    base = rows(classic, "ORVEL_results.csv")
    check([without(row, "file") for row in mine] == [without(row, "file") for row in base],
          "no FILTER: the rows equal the classic night's but for the names")
    check(rows(folder, "ORVEL_fit.csv") == rows(classic, "ORVEL_fit.csv"),
          "no FILTER: the fit equals the classic night's")


def check_nothing_found(work, night):
    """A folder without frames says so on the console, and which FITS frames it does hold."""
    empty = os.path.join(work, "empty")
    os.mkdir(empty)
    r = unattended(empty)
    check("No frames found in %s: no file name ends in R.fit, G.fit or B.fit." % empty
          in r.stdout, "empty folder: the console says why (%r)" % r.stdout[-300:])
    r = unattended(night, ["--frames", "*.fits"])
    check("no file matches the --frames patterns" in r.stdout,
          "no match: the console says why (%r)" % r.stdout[-300:])


def main():
    work = tempfile.mkdtemp(prefix="orvel-frames-found-")
    try:
        night = os.path.join(work, "night")
        simulate(night)
        check_same_exposure(work, night)
        check_bands_from_names(work, night)
        check_nothing_found(work, night)
    finally:
        if os.environ.get("ORVEL_KEEP") is None:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print("kept " + work)
    check.finish("frames found")


if __name__ == "__main__":
    main()
