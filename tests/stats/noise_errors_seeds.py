#!/usr/bin/env python3
"""Seeded simulated nights against the errors the fit reports.

1. Ordinary nights: per band the scatter of k over the seeds against the mean reported standard
   error, both the one from the residuals (k_standard_error) and the one propagated from each
   frame's photon, sky and read noise (k_propagated_error), plain and with --weighted.
2. The extinction drift: nights whose k rises by 0.05 from the first frame to the last, and
   steady nights, counted where some band's drift lies beyond 3 standard errors.
Too slow for ctest; run by hand:
  noise_errors_seeds.py BUILD_DIR [SEEDS] [FRAMES_PER_BAND] [simulator options]
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
FRAMES = sys.argv[3] if len(sys.argv) > 3 else "10"
EXTRA = sys.argv[4:]
# The nights behind the numbers in the README: extinction 0.25, 0.18, 0.12 ln per airmass, R G B.
NIGHT = ["--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0", "--dec", "34,30,0",
         "--k", "0.25,0.18,0.12"]
BANDS = "RGB"


def simulate(folder, seed, extra):
    subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder, "--seed", str(seed),
                    "--frames", FRAMES] + NIGHT + EXTRA + extra, check=True, capture_output=True)
    with open(os.path.join(folder, "truth.csv")) as f:
        rows = f.read().split("\n\n")[1].splitlines()[1:]
    return {line.split(",")[0]: float(line.split(",")[1]) for line in rows}


def fit(folder, extra):
    subprocess.run([os.path.join(BUILD, "orvel")] + NIGHT +
                   ["--star", "352.3,216.6", "--background", "60,60", "--dir", folder] + extra,
                   check=True, capture_output=True, stdin=subprocess.DEVNULL)
    with open(os.path.join(folder, "ORVEL_fit.csv"), newline="") as f:
        return {r["band"]: r for r in csv.DictReader(f)}


def error_table(root):
    print(f"{SEEDS} ordinary nights, {FRAMES} frames per band; simulator options "
          f"{' '.join(EXTRA) or '(defaults)'}")
    print("fit       band  scatter(k)  mean residual sigma  ratio  mean propagated sigma  ratio"
          "  mean chi2/dof")
    runs = {"plain": [], "weighted": ["--weighted"]}
    values = {mode: {b: [] for b in BANDS} for mode in runs}
    for seed in range(1, SEEDS + 1):
        folder = os.path.join(root, f"steady{seed}")
        simulate(folder, seed, [])
        for mode, extra in runs.items():
            for band, row in fit(folder, extra).items():
                values[mode][band].append(row)
        shutil.rmtree(folder)
    for mode, bands in values.items():
        for band, rows in bands.items():
            scatter = statistics.stdev(float(r["k"]) for r in rows)
            residual = statistics.mean(float(r["k_standard_error"]) for r in rows)
            propagated = statistics.mean(float(r["k_propagated_error"]) for r in rows)
            chi = statistics.mean(float(r["reduced_chi2"]) for r in rows)
            print(f"{mode:9} {band:4} {scatter:11.5f} {residual:20.5f} {scatter / residual:6.2f} "
                  f"{propagated:22.5f} {scatter / propagated:6.2f} {chi:14.3f}")


def drift_counts(root):
    print(f"\nDrift beyond 3 sigma in any band, {SEEDS} nights each, {FRAMES} frames per band:")
    for label, extra in (("k rising by 0.05", ["--k-end", "0.30,0.23,0.17"]), ("steady", [])):
        found = 0
        significance = []
        for seed in range(1, SEEDS + 1):
            folder = os.path.join(root, f"drift{seed}")
            simulate(folder, 100 + seed, extra)
            rows = fit(folder, [])
            sig = [abs(float(r["drift_per_hour"])) / float(r["drift_error"]) for r in rows.values()]
            significance.append(sig)
            found += any(s > 3 for s in sig)
            shutil.rmtree(folder)
        per_band = [statistics.mean(s[i] for s in significance) for i in range(3)]
        print(f"  {label:17} {found:3d}/{SEEDS}   mean |drift|/sigma R {per_band[0]:.2f}, "
              f"G {per_band[1]:.2f}, B {per_band[2]:.2f}")


def main():
    root = tempfile.mkdtemp(prefix="orvel-errors-")
    try:
        error_table(root)
        drift_counts(root)
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
