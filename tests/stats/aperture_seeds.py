#!/usr/bin/env python3
"""Seeded simulated nights of difficult stars, each measured with the described ring growth
and with one aperture for the night (--aperture auto): per scenario and band the mean offset of
k from the simulator's truth (with its standard error over the nights), the scatter of k, the
mean reported standard error of k (ORVEL_fit.csv k_standard_error, from the residuals), their
ratio, and the ratio an ideal measurement would give: a Monte Carlo of the same unweighted fit
over the night's airmasses with each frame's error 1/(S/N), S/N as ORVEL_results.csv reports it.

The scenarios, all with seeing that grows with airmass (FWHM x X^0.6):
  faint      a star of S/N about 20 in the automatic aperture
  wide       FWHM 14 px
  neighbour  a second star 8 px away with half the first one's red flux

With --compare the nights are also measured with the rules an automatic aperture could follow
instead: the radius from the curve of growth of the first frame (where it reaches 99% of its
plateau, and where its S/N peaks, both computed here with numpy), and 1.5, 2 and 2.5 times the
median FWHM (given as fixed radii); the root-mean-square error of k shows which rule is best.

Too slow for ctest; run by hand with Debian's python (numpy, astropy):
  /usr/bin/python3 tests/stats/aperture_seeds.py BUILD_DIR [SEEDS] [--compare]
      [--scenario NAME] [simulator options added to every night]
"""
import csv
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

import numpy as np

# The nights behind the numbers in the README: extinction 0.25, 0.18, 0.12 ln per airmass, R G B.
NIGHT = ["--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0", "--dec", "34,30,0",
         "--k", "0.25,0.18,0.12"]
PICKS = ["--star", "352.3,216.6", "--background", "60,60"]
SEEING = ["--seeing-power", "0.6"]
SCENARIOS = {
    "faint": SEEING + ["--flux", "17600,22000,13200"],
    "wide": SEEING + ["--fwhm", "14"],
    "neighbour": SEEING + ["--neighbour", "8,100000"],
}
BIAS_LIMIT = 0.01
RATIO_LIMIT = 1.5


def arguments(argv):
    build = os.path.abspath(argv[1])
    rest = argv[2:]
    seeds = 25
    if rest and rest[0].isdigit():
        seeds = int(rest.pop(0))
    compare = "--compare" in rest
    rest = [a for a in rest if a != "--compare"]
    chosen = list(SCENARIOS)
    if "--scenario" in rest:
        i = rest.index("--scenario")
        chosen = [rest[i + 1]]
        del rest[i:i + 2]
    return build, seeds, compare, chosen, rest


def measure(build, folder, options):
    subprocess.run([os.path.join(build, "orvel")] + NIGHT + PICKS + ["--dir", folder] + options,
                   check=True, capture_output=True, stdin=subprocess.DEVNULL)
    with open(os.path.join(folder, "ORVEL_fit.csv"), newline="") as f:
        fit = {r["band"]: (float(r["k"]), float(r["k_standard_error"])) for r in csv.DictReader(f)}
    with open(os.path.join(folder, "ORVEL_results.csv"), newline="") as f:
        frames = [r for r in csv.DictReader(f) if r["included"] == "1"]
    return fit, frames


def growth_curve_radii(folder, first):
    """The first frame's curve of growth about ORVEL's ring centre, sky from 6 to 8 FWHM: the
    radius where it reaches 99% of its plateau (4 to 6 FWHM), and where its S/N peaks."""
    from astropy.io import fits

    data = fits.getdata(os.path.join(folder, first["file"])).astype(float)
    xc, yc, fwhm = int(first["ring_column"]), int(first["ring_row"]), float(first["fwhm_px"])
    y, x = np.indices(data.shape)
    d = np.hypot(x - xc, y - yc)
    annulus = data[(d > 6 * fwhm) & (d <= 8 * fwhm)]
    sky = np.median(annulus)
    noise = 1.4826 * np.median(np.abs(annulus - sky))
    radii = np.arange(1.0, 6 * fwhm, 0.25)
    flux = np.array([np.sum(data[d <= r] - sky) for r in radii])
    pixels = np.array([np.sum(d <= r) for r in radii])
    plateau = np.mean(flux[radii >= 4 * fwhm])
    r99 = radii[np.argmax(flux >= 0.99 * plateau)]
    ratio = flux / np.sqrt(np.maximum(flux, 0) + pixels * noise ** 2)
    return r99, radii[np.argmax(ratio)]


def methods(folder, auto_frames, compare):
    """The ORVEL options of every rule measured on this night."""
    out = {"grow": [], "auto": ["--aperture", "auto"]}
    if not compare:
        return out
    median = statistics.median(float(r["fwhm_px"]) for r in auto_frames if r["fwhm_px"])
    for multiple in (1.5, 2.0, 2.5):
        out[f"{multiple:g} x median FWHM"] = ["--aperture", f"{multiple * median:.4f}"]
    r99, best = growth_curve_radii(folder, auto_frames[0])
    out["first-frame CoG 99%"] = ["--aperture", f"{r99:.4f}"]
    out["first-frame CoG S/N"] = ["--aperture", f"{best:.4f}"]
    return out


def ideal_ratio(frames, band, rng, trials=4000):
    """Scatter over mean standard error of an unweighted line through points at these airmasses
    whose errors are 1/(S/N): what the residual form gives for a perfect measurement."""
    rows = [r for r in frames if r["band"] == band and r["signal_to_noise"]]
    x = np.array([float(r["airmass"]) for r in rows])
    sigma = 1.0 / np.array([float(r["signal_to_noise"]) for r in rows])
    design = np.vstack([x, np.ones_like(x)]).T
    y = rng.normal(0.0, sigma, size=(trials, len(x)))
    coefficients = np.linalg.lstsq(design, y.T, rcond=None)[0]
    residuals = y - (design @ coefficients).T
    spread = np.sum((x - x.mean()) ** 2)
    errors = np.sqrt(np.sum(residuals ** 2, axis=1) / (len(x) - 2) / spread)
    return float(np.std(coefficients[0]) / np.mean(errors))


def night_truth(folder):
    with open(os.path.join(folder, "truth.csv")) as f:
        lines = f.read().split("\n\n")[1].splitlines()[1:]
    return {band: float(k) for band, k, _ in (line.split(",") for line in lines)}


def run_scenario(build, name, seeds, compare, extra):
    rng = np.random.default_rng(1)
    results, ideal, ratios, truth = {}, {}, {}, {}
    root = tempfile.mkdtemp(prefix=f"orvel-aperture-{name}-")
    try:
        for seed in range(1, seeds + 1):
            folder = os.path.join(root, str(seed))
            subprocess.run([os.path.join(build, "orvel-simulate"), "--out", folder, "--seed",
                            str(seed)] + NIGHT + SCENARIOS[name] + extra,
                           check=True, capture_output=True)
            truth = night_truth(folder)
            _, auto_frames = measure(build, folder, ["--aperture", "auto"])
            for method, options in methods(folder, auto_frames, compare).items():
                fit, frames = measure(build, folder, options)
                for band, value in fit.items():
                    results.setdefault(method, {}).setdefault(band, []).append(value)
                    ideal.setdefault(method, {}).setdefault(band, []).append(
                        ideal_ratio(frames, band, rng))
                ratios.setdefault(method, []).extend(
                    float(r["signal_to_noise"]) for r in frames if r["signal_to_noise"])
            shutil.rmtree(folder)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return results, ideal, ratios, truth


def report(name, seeds, extra, results, ideal, ratios, truth):
    print(f"\n{name}: {seeds} nights; {' '.join(SCENARIOS[name] + extra)}")
    print(f"{'method':21} band  k_true  mean(k)-k_true   scatter  mean sigma  ratio  ideal  "
          f"rms error  median S/N  within limits")
    failures = []
    for method, bands in results.items():
        for band in "RGB":
            ks = [k for k, _ in bands[band]]
            sigmas = [s for _, s in bands[band]]
            bias = statistics.mean(ks) - truth[band]
            scatter = statistics.stdev(ks)
            ratio = scatter / statistics.mean(sigmas)
            rms = math.sqrt(statistics.mean([(k - truth[band]) ** 2 for k in ks]))
            ok = abs(bias) < BIAS_LIMIT and ratio <= RATIO_LIMIT
            if method == "auto" and not ok:
                failures.append(f"{name} {band}")
            print(f"{method:21} {band:4} {truth[band]:7.3f} {bias:+8.4f} ± {scatter / math.sqrt(len(ks)):.4f}"
                  f" {scatter:9.4f} {statistics.mean(sigmas):11.4f} {ratio:6.2f} "
                  f"{statistics.mean(ideal[method][band]):6.2f} {rms:10.4f} "
                  f"{statistics.median(ratios[method]):11.1f}  {'yes' if ok else 'no'}")
    return failures


def main():
    build, seeds, compare, chosen, extra = arguments(sys.argv)
    failures = []
    for name in chosen:
        failures += report(name, seeds, extra, *run_scenario(build, name, seeds, compare, extra))
    print(f"\nlimits for auto: |mean(k) - k_true| < {BIAS_LIMIT}, scatter <= {RATIO_LIMIT} x "
          f"mean sigma; outside them: {', '.join(failures) or 'none'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
