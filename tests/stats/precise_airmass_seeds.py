#!/usr/bin/env python3
"""25 seeded nights of 300 s exposures in 2026 (J2000 coordinates, DATE-OBS at the start, the
simulator's truth by ERFA at mid-exposure with Pickering's airmass), each run with the described
and with the precise airmass: per band the mean offset of k from the truth, the scatter of k,
the mean reported standard error, and how many nights put k within one standard error.
Too slow for ctest; run by hand: precise_airmass_seeds.py BUILD_DIR [SEEDS] [simulator options]
"""
import csv
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
SEEDS = int(sys.argv[2]) if len(sys.argv) > 2 else 25
EXTRA = sys.argv[3:]
# The nights first studied: extinction 0.25, 0.18, 0.12 ln per airmass, R G B.
NIGHT = ["--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0", "--dec", "34,30,0",
         "--k", "0.25,0.18,0.12"]


def fit(folder, extra):
    subprocess.run([os.path.join(BUILD, "orvel")] + NIGHT +
                   ["--star", "352.3,216.6", "--background", "60,60", "--dir", folder] + extra,
                   check=True, capture_output=True, stdin=subprocess.DEVNULL)
    with open(os.path.join(folder, "ORVEL_fit.csv"), newline="") as f:
        return {r["band"]: (float(r["k"]), float(r["k_standard_error"])) for r in csv.DictReader(f)}


def main():
    root = tempfile.mkdtemp(prefix="orvel-seeds-")
    results = {mode: {b: [] for b in "RGB"} for mode in ("described", "precise")}
    truth = {}
    try:
        for seed in range(1, SEEDS + 1):
            folder = os.path.join(root, str(seed))
            subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder, "--seed",
                            str(seed), "--exptime", "300", "--truth-airmass", "precise"] + NIGHT +
                           EXTRA, check=True, capture_output=True)
            with open(os.path.join(folder, "truth.csv")) as f:
                for line in f.read().split("\n\n")[1].splitlines()[1:]:
                    band, k, _ = line.split(",")
                    truth[band] = float(k)
            for mode, extra in (("described", []), ("precise", ["--airmass", "precise"])):
                for band, value in fit(folder, extra).items():
                    results[mode][band].append(value)
            shutil.rmtree(folder)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print(f"{SEEDS} nights; options {' '.join(EXTRA) or '(defaults)'}")
    print("mode       band  k_true  mean(k-k_true)  scatter(k)  mean sigma(k)  nights within 1 sigma")
    for mode, bands in results.items():
        for band, values in bands.items():
            ks = [k for k, _ in values]
            sigmas = [s for _, s in values]
            inside = sum(abs(k - truth[band]) < s for k, s in values)
            print(f"{mode:10} {band:4} {truth[band]:7.3f} {statistics.mean(ks) - truth[band]:+14.5f} "
                  f"{statistics.stdev(ks):11.5f} {statistics.mean(sigmas):14.5f} "
                  f"{inside:6d}/{len(values)}")


if __name__ == "__main__":
    main()
