#!/usr/bin/env python3
"""The unattended program as a user runs it: --help, bad options, and a simulated night with
DISPLAY unset whose two CSV files, read back with Python's csv module, agree with the log.

Usage: unattended_results.py BUILD_DIR
"""
import csv
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
ORVEL = os.path.join(BUILD, "orvel")
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


def run(args, cwd, env=None):
    return subprocess.run([ORVEL] + args, cwd=cwd, capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, env=env, timeout=120)


def listing(folder):
    return sorted((f, os.path.getsize(os.path.join(folder, f))) for f in os.listdir(folder))


def close(a, b, digits):
    """Equal to the given number of significant digits."""
    if a == b:
        return True
    return abs(a - b) <= 0.6 * 10 ** (-digits + 1) * max(abs(a), abs(b))


def number(text):
    return float(text.replace("E+", "e+").replace("E-", "e-"))


def sections(log):
    """The log text of each file's pass, keyed by file name."""
    parts = re.split(r"\r\nCurrent file number = [ 0-9]+ \(", log)[1:]
    return {p.split(")", 1)[0]: p for p in parts}


def value_after(text, label):
    m = re.search(re.escape(label) + r"\s*(-?[0-9.]+(?:E[+-][0-9]+)?)", text)
    return number(m.group(1)) if m else None


def main():
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    folder = tempfile.mkdtemp(prefix="orvel-unattended-")
    try:
        sim = subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder, "--frames",
                              "5", "--size", "240x180", "--star", "120,90", "--seed", "3"],
                             check=True, capture_output=True, text=True).stdout
        typed = re.findall(r"\([DHMS],M,S\):\s+(\S+)", sim)

        help_run = run(["--help"], folder, env)
        check(help_run.returncode == 0, "--help exits 0")
        for option in ["--lat", "--lon", "--ra", "--dec", "--star", "--background", "--remove",
                       "--graph", "--dir", "Example:"]:
            check(option in help_run.stdout, "--help mentions " + option)

        before = listing(folder)
        for bad in (["--lat", "1,2,3"], ["--bogus"], ["--lat", "1,x,3", "--lon", "0,0,0", "--ra",
                                                        "1,0,0", "--dec", "1,0,0", "--star", "1,1",
                                                        "--background", "2,2"]):
            r = run(bad, folder, env)
            check(r.returncode == 2, "bad options %r exit 2 (got %d)" % (bad, r.returncode))
            check(r.stderr.startswith("orvel: ") and r.stderr.count("\n") == 1,
                  "bad options %r give one line naming the problem: %r" % (bad, r.stderr))
        check(listing(folder) == before, "bad options leave the folder untouched")

        removed = "NIGHT_0005_G.fit"
        args = ["--lat", typed[0], "--lon", typed[1], "--ra", typed[2], "--dec", typed[3],
                "--star", "120,90", "--background", "30,30", "--remove", removed,
                "--graph", "graph.bmp", "--dir", folder]
        r = run(args, folder, env)
        check(r.returncode == 0, "the night runs with DISPLAY unset (status %d, %s)"
              % (r.returncode, r.stderr))
        check(os.path.getsize(os.path.join(folder, "graph.bmp")) == 921654, "graph saved")
        log = open(os.path.join(folder, "ORVEL_LOG.txt"), encoding="latin-1", newline="").read()
        per_file = sections(log)

        with open(os.path.join(folder, "ORVEL_results.csv"), newline="") as f:
            rows = list(csv.DictReader(f))
        check(len(rows) == 15, "one row per frame")
        for row in rows:
            text = per_file[row["file"]]
            check(row["band"] == row["file"][-5], "band of " + row["file"])
            check(close(float(row["airmass"]), value_after(text, "Optical Airmass (X) ="), 7),
                  "airmass of " + row["file"])
            check(close(float(row["elevation_deg"]),
                        value_after(text, "Stellar Elevation Angle (deg) ="), 7),
                  "elevation of " + row["file"])
            brightest = text.split("by brightest pixel:")[1]
            check(int(row["ring_column"]) == value_after(brightest, "COLUMN =") and
                  int(row["ring_row"]) == value_after(brightest, "ROW ="), "ring centre")
            check(float(row["inner_radius"]) == value_after(text, "Inner ring radius ="),
                  "inner radius of " + row["file"])
            check(close(float(row["sky_level"]), value_after(text, "Median background DC ="), 7),
                  "sky level of " + row["file"])
            check(close(float(row["integrated_dc"]),
                        value_after(text, "Integrated star DC - background ="), 7),
                  "integrated DC of " + row["file"])
            check(close(float(row["magnitude_value"]), value_after(text, "Stellar Magnitude ="), 15),
                  "magnitude value of " + row["file"])
            date = re.search(r"Year, month, day =\s+(\d+)\s+(\d+)\s+(\d+)\s*\r\nHour, minutes, "
                             r"seconds =\s+(\d+)\s+(\d+)\s+(\d+)", text).groups()
            check(row["date_obs"] == "%04d-%02d-%02dT%02d:%02d:%02d" % tuple(map(int, date)),
                  "date of " + row["file"])
            check(row["included"] == ("0" if row["file"] == removed else "1"),
                  "included flag of " + row["file"])

        final = log.split("----------  FINAL RESULTS  --------------------")[-1]
        check(log.count("FINAL RESULTS") == 2, "a report before and after the removal")
        with open(os.path.join(folder, "ORVEL_fit.csv"), newline="") as f:
            bands = list(csv.DictReader(f))
        names = {"R": ("    RED = ", "   RED Slope = ", "   RED    Y at X=1 (ADUs) = ",
                       "   RED    Y at X=0 (ADUs) = "),
                 "G": ("  GREEN = ", " GREEN Slope = ", " GREEN    Y at X=1 (ADUs) = ",
                       " GREEN    Y at X=0 (ADUs) = "),
                 "B": ("   BLUE = ", "  BLUE Slope = ", "  BLUE    Y at X=1 (ADUs) = ",
                       "  BLUE    Y at X=0 (ADUs) = ")}
        check([b["band"] for b in bands] == ["R", "G", "B"], "one row per band")
        for b in bands:
            coefficient, slope, one, zero = names[b["band"]]
            line = final.split("\r\n" + coefficient)[1].split("\r\n")[0]
            check(close(float(b["k"]), number(line.split()[0]), 7), "k of " + b["band"])
            check(int(b["files"]) == value_after(line, "# Files ="), "files of " + b["band"])
            check(int(b["analysed"]) == value_after(line, "# Analyzed ="), "analysed")
            reg = final.split("\r\n" + slope)[1].split("\r\n")[0]
            check(close(-float(b["k"]), number(reg.split()[0]), 7), "slope of " + b["band"])
            check(close(float(b["intercept"]), value_after(reg, "Y-Intercept (Mag) ="), 7),
                  "intercept of " + b["band"])
            check(close(float(b["r2"]), value_after(reg, "R2 ="), 7), "R2 of " + b["band"])
            x1 = final.split("\r\n" + one)[1].split("\r\n")[0]
            check(close(float(b["signal_at_x1_adu"]), number(x1.split()[0]), 7), "Y at X=1")
            check(close(float(b["ratio_at_x1"]), value_after(x1, "Ratio ="), 7), "ratio X=1")
            x0 = final.split("\r\n" + zero)[1].split("\r\n")[0]
            check(close(float(b["signal_at_x0_adu"]), number(x0.split()[0]), 7), "Y at X=0")
            check(close(float(b["ratio_at_x0"]), value_after(x0, "Ratio ="), 7), "ratio X=0")
            check(float(b["k_standard_error"]) > 0, "standard error of k")
        check(bands[1]["analysed"] == "4" and bands[0]["analysed"] == "5", "removal counted")

        # A folder where no frame can be measured: a non-zero status and one line saying why.
        empty = os.path.join(folder, "bad")
        os.mkdir(empty)
        open(os.path.join(empty, "x_R.fit"), "w").write("not a FITS file")
        r = run(args[:-1] + [empty], folder, env)
        check(r.returncode == 1, "no measurable frame gives status 1")
        check("no frame could be measured" in r.stdout, "and says so")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    long_night(env)
    few_frames(env)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    sys.exit(1 if failures else 0)


def night_run(env, frames, extra=()):
    """A simulated night of small frames run unattended; the two CSV files read back."""
    folder = tempfile.mkdtemp(prefix="orvel-night-")
    try:
        sim = subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder, "--frames",
                              str(frames), "--size", "64x48", "--star", "32,24", "--fwhm", "2.5",
                              "--seed", "5"] + list(extra),
                             check=True, capture_output=True, text=True).stdout
        typed = re.findall(r"\([DHMS],M,S\):\s+(\S+)", sim)
        r = run(["--lat", typed[0], "--lon", typed[1], "--ra", typed[2], "--dec", typed[3],
                 "--star", "32,24", "--background", "8,8", "--dir", folder], folder, env)
        check(r.returncode == 0, "a night of %d frames per band runs (%d)" % (frames, r.returncode))
        with open(os.path.join(folder, "ORVEL_results.csv"), newline="") as f:
            rows = list(csv.DictReader(f))
        with open(os.path.join(folder, "ORVEL_fit.csv"), newline="") as f:
            bands = {b["band"]: b for b in csv.DictReader(f)}
        return rows, bands
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def long_night(env):
    """333 frames per band: R2 lies in 0..1 and equals a double-precision R2 of the same points."""
    rows, bands = night_run(env, 333)
    for band in "RGB":
        points = [(float(r["airmass"]), f32(float(r["magnitude_value"])))
                  for r in rows if r["band"] == band and r["included"] == "1"]
        n = len(points)
        mx = sum(x for x, _ in points) / n
        my = sum(y for _, y in points) / n
        cxx = sum((x - mx) ** 2 for x, _ in points)
        cyy = sum((y - my) ** 2 for _, y in points)
        cxy = sum((x - mx) * (y - my) for x, y in points)
        r2 = float(bands[band]["r2"])
        check(n == 333, "333 frames of %s fitted" % band)
        check(0.0 <= r2 <= 1.0, "R2 of %s within 0..1: %r" % (band, r2))
        check(abs(r2 - cxy * cxy / (cxx * cyy)) < 1e-5,
              "R2 of %s %r against %r in double precision" % (band, r2, cxy * cxy / (cxx * cyy)))


def few_frames(env):
    """One frame per band fits no line: every number of the band is an empty field; two frames
    leave no residual for the error."""
    _, bands = night_run(env, 1)
    for band, b in bands.items():
        empty = [k for k in ("k", "k_standard_error", "intercept", "r2", "signal_at_x1_adu",
                             "signal_at_x0_adu", "ratio_at_x1", "ratio_at_x0") if b[k] != ""]
        check(not empty, "one frame of %s: %s should be empty" % (band, empty))
        check(b["files"] == "1" and b["analysed"] == "1", "one frame of %s counted" % band)
    _, bands = night_run(env, 2)
    for band, b in bands.items():
        check(b["k_standard_error"] == "" and b["k"] != "" and b["r2"] != "",
              "two frames of %s: k and R2, no error" % band)


if __name__ == "__main__":
    main()
