#!/usr/bin/env python3
"""The star on frames as real telescopes make them, measured unattended: hot pixels and cosmic
rays near the star, a brighter neighbour, a field that drifts, flips at the meridian or turns.
Each night is written by orvel-simulate, whose truth.csv gives the true k and the star's place
in every frame; k must come within max(2 sigma, 0.01) of the truth in every band, and every
frame must be measured on the star (its ring centre within 1.5 px of the true place).

Usage: real_star_test.py BUILD_DIR
"""
import csv
import os
import random
import subprocess
import sys
import tempfile

from checks import Checks

BUILD = os.path.abspath(sys.argv[1])
TRUE_K = {"R": 0.25, "G": 0.18, "B": 0.12}  # every night's extinction (--k), ln per airmass
STAR = (180, 150)
check = Checks()


def night(folder, *options):
    """Writes a night with the star at STAR and runs orvel on it with the truth's coordinates."""
    subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder, "--star",
                    "%d,%d" % STAR, "--k", ",".join(str(TRUE_K[b]) for b in "RGB")] + list(options),
                   check=True, capture_output=True)
    result = subprocess.run(
        [os.path.join(BUILD, "orvel"), "--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0",
         "--dec", "34,30,0", "--star", "%d,%d" % STAR, "--background", "100,100"],
        cwd=folder, capture_output=True, text=True, stdin=subprocess.DEVNULL, timeout=120)
    check(result.returncode == 0, "%s: exit %d" % (folder, result.returncode))
    return result


def rows(folder, name):
    with open(os.path.join(folder, name), newline="") as f:
        return list(csv.DictReader(f))


def check_k(folder, what):
    for row in rows(folder, "ORVEL_fit.csv"):
        k, sigma = float(row["k"]), float(row["k_standard_error"])
        truth = TRUE_K[row["band"]]
        check(abs(k - truth) <= max(2 * sigma, 0.01),
              "%s: %s k %.4f +- %.4f, truth %.2f" % (what, row["band"], k, sigma, truth))


def check_on_star(folder, what):
    """Every frame with the star on the chip measured, its ring centre on the star."""
    truth = {r["file"]: r for r in rows(folder, "truth.csv")}
    for r in rows(folder, "ORVEL_results.csv"):
        t = truth[r["file"]]
        if not r["ring_column"]:
            check(False, "%s: %s not measured: %s" % (what, r["file"], r["note"]))
            continue
        # The truth gives the star's place when the field moves; else it stays where put.
        place = (float(t.get("star_column") or STAR[0]), float(t.get("star_row") or STAR[1]))
        dc = float(r["ring_column"]) - place[0]
        dr = float(r["ring_row"]) - place[1]
        check(abs(dc) <= 1.5 and abs(dr) <= 1.5,
              "%s: %s ring centre %s,%s, star at %.1f,%.1f" % (what, r["file"], r["ring_column"],
                                                              r["ring_row"], place[0], place[1]))


def notes(folder):
    return {r["file"]: r["note"] for r in rows(folder, "ORVEL_results.csv")}


def main():
    with tempfile.TemporaryDirectory() as work:
        # A hot pixel in the search square, 3 to 8 px from the star, five ways.
        for seed in range(1, 6):
            rnd = random.Random(seed)
            hot = (STAR[0] + rnd.choice([-1, 1]) * rnd.randint(2, 6),
                   STAR[1] + rnd.choice([-1, 1]) * rnd.randint(2, 6))
            folder = os.path.join(work, "hot%d" % seed)
            night(folder, "--seed", str(seed), "--hot-pixel", "%d,%d" % hot)
            what = "hot pixel at %d,%d (seed %d)" % (hot + (seed,))
            check_k(folder, what)
            check_on_star(folder, what)
            named = "the hot pixel at %d, %d" % hot
            check(all(named in n for n in notes(folder).values()), what + ": not in every note")
        # Cosmic rays in the aperture (2 px from the star) and in the sky annulus (8 px).
        folder = os.path.join(work, "rays")
        hits = {4: (STAR[0] + 2, STAR[1] - 1), 7: (STAR[0] - 6, STAR[1] + 5),
                13: (STAR[0] + 1, STAR[1] + 2), 20: (STAR[0] + 8, STAR[1])}
        night(folder, "--seed", "7",
              *sum((["--cosmic-ray", "%d:%d,%d" % ((n,) + p)] for n, p in hits.items()), []))
        check_k(folder, "cosmic rays")
        check_on_star(folder, "cosmic rays")
        by_number = {int(f.split("_")[1]): n for f, n in notes(folder).items()}
        for n, p in hits.items():
            check("at %d, %d was replaced" % p in by_number[n],
                  "cosmic ray of frame %d not named: %r" % (n, by_number[n]))
        # A neighbour three times as bright 12 px away.
        folder = os.path.join(work, "neighbour")
        night(folder, "--seed", "3", "--neighbour", "12,600000")
        check_k(folder, "neighbour")
        check_on_star(folder, "neighbour")
        check("brighter than the one picked" in notes(folder)["NIGHT_0001_R.fit"],
              "neighbour: no warning on the first frame")
        # The field moving: 300 px of drift in steps of about 10 px, a meridian flip at
        # mid-night, 30 degrees of turn, and all of them with field stars about.
        # The frames whose star moved 2 px or more are said to be followed in the log.
        for name, followed, options in (
                ("drift", 28, ["--drift", "50,8"]),
                ("flip", 15, ["--meridian-flip", "3"]),
                ("turn", 20, ["--rotation", "5"]),
                ("all", 28, ["--drift", "30,-10", "--meridian-flip", "3", "--rotation", "5",
                             "--field-stars", "30", "--neighbour", "12,600000",
                             "--hot-pixels", "20", "--cosmic-rays", "3"])):
            folder = os.path.join(work, name)
            result = night(folder, "--seed", "4", *options)
            check_k(folder, name)
            check_on_star(folder, name)
            log = open(os.path.join(folder, "ORVEL_LOG.txt"), encoding="latin-1").read()
            check(log.count("Star followed to COLUMN = ") >= followed,
                  "%s: %d frames followed" % (name, log.count("Star followed to")))
            check(result.stdout.count("is not used") == 0, name + ": frames left out")
    check.finish("real star")


main()
