#!/usr/bin/env python3
"""A fixed aperture against photutils: simulated nights of 32-bit and 16-bit frames run with
--aperture 7.3 --annulus 12.4,20.6 (radii no pixel centre lies on), every frame's row in
ORVEL_results.csv against photutils' circular aperture and annulus (pixel centres inside, the
'center' method) about ORVEL's ring centre: the aperture's sum less its pixel count times the
sky, the sky the annulus's median (for whole-number pixels the stepped median, the median with
each whole number's pixels spread over its unit step), the sky noise astropy's mad_std of the
annulus, and the signal-to-noise ratio from those counts with a gain of 1.

photutils is taken from Debian's /usr/bin/python3 when the running interpreter has none;
without any photutils the test is skipped (exit status 77).

Usage: aperture_photutils_test.py BUILD_DIR
"""
import csv
import math
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

try:
    import numpy as np
    from astropy.io import fits
    from astropy.stats import mad_std
    from photutils.aperture import CircularAnnulus, CircularAperture, aperture_photometry
except ImportError:
    # Debian's interpreter is tried once; its own path is a link, so the real paths are compared.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath(
            "/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    print("SKIP: no photutils")
    sys.exit(SKIP)

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import Checks  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
NIGHT = ["--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0", "--dec", "34,30,0"]
RADIUS, INNER, OUTER = 7.3, 12.4, 20.6
check = Checks()


def stepped_median(values):
    """The median of whole numbers with each number's values spread over its unit step."""
    v = np.sort(values)
    m = v[(len(v) - 1) // 2]
    below = np.searchsorted(v, m, side="left")
    at = np.searchsorted(v, m, side="right") - below
    return m - 0.5 + (len(v) / 2 - below) / at


def run_night(folder, simulator):
    subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder, "--frames", "3"] +
                   NIGHT + simulator, check=True, capture_output=True)
    result = subprocess.run([os.path.join(BUILD, "orvel")] + NIGHT +
                            ["--star", "352.3,216.6", "--background", "60,60", "--dir", folder,
                             "--aperture", str(RADIUS), "--annulus", f"{INNER},{OUTER}"],
                            capture_output=True, text=True, stdin=subprocess.DEVNULL, timeout=120)
    check(result.returncode == 0, f"{simulator}: orvel exits 0 ({result.stderr.strip()})")
    with open(os.path.join(folder, "ORVEL_results.csv"), newline="") as f:
        return list(csv.DictReader(f))


def compare_frame(folder, row, whole_numbers):
    name = row["file"]
    data = fits.getdata(os.path.join(folder, name)).astype(float)
    centre = (float(row["ring_column"]), float(row["ring_row"]))
    aperture = CircularAperture(centre, r=RADIUS)
    annulus = CircularAnnulus(centre, r_in=INNER, r_out=OUTER)
    total = float(aperture_photometry(data, aperture, method="center")["aperture_sum"][0])
    pixels = float(aperture.area_overlap(data, method="center"))
    sky_values = annulus.to_mask(method="center").get_values(data)
    sky = stepped_median(sky_values) if whole_numbers else float(np.median(sky_values))
    check(abs(float(row["sky_level"]) - sky) <= 1e-6 * abs(sky),
          f"{name}: sky {row['sky_level']} is the annulus median {sky}")
    if whole_numbers:
        check(np.all(sky_values == np.floor(sky_values)), f"{name}: the pixels are whole numbers")
        check(abs(sky - np.median(sky_values)) <= 0.5, f"{name}: within half a step of the median")
    signal = total - pixels * float(row["sky_level"])
    check(abs(float(row["integrated_dc"]) - signal) <= 1e-5 * abs(signal) + 0.5,
          f"{name}: signal {row['integrated_dc']} against photutils {signal:.2f}")
    # About the plain median astropy's mad_std; about the stepped one its scaled deviations.
    noise = (1.4826 * float(np.median(np.abs(sky_values - sky))) if whole_numbers
             else float(mad_std(sky_values)))
    check(abs(float(row["sky_noise_dc"]) - noise) <= 1e-4 * noise,
          f"{name}: sky noise {row['sky_noise_dc']} against {noise}")
    spread = float(row["sky_noise_dc"])
    expected = signal / math.sqrt(signal + pixels * spread ** 2 *
                                  (1 + pixels * math.pi / (2 * len(sky_values))))
    check(abs(float(row["signal_to_noise"]) - expected) <= 1e-5 * expected,
          f"{name}: S/N {row['signal_to_noise']} against {expected}")
    return pixels, len(sky_values)


def main():
    root = tempfile.mkdtemp(prefix="orvel-photutils-")
    try:
        for simulator, whole in ((["--bitpix", "-32", "--seed", "11"], False),
                                 (["--seed", "12", "--sky-end", "1300"], True)):
            folder = os.path.join(root, "float" if not whole else "integer")
            rows = run_night(folder, simulator)
            check(len(rows) == 9, f"{simulator}: 9 frames")
            counts = {compare_frame(folder, row, whole) for row in rows}
            print(f"{' '.join(simulator)}: {len(rows)} frames; aperture and annulus pixels (177 and 840 by counting) "
                  f"{sorted(counts)}")
            check(counts == {(177.0, 840)}, f"the same counts on every frame ({counts})")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    check.finish("fixed aperture against photutils")


if __name__ == "__main__":
    main()
