#!/usr/bin/env python3
"""--airmass precise against astropy: simulated nights of 300 s exposures in 2026 with J2000
coordinates, run unattended; every frame's elevation in ORVEL_results.csv must equal astropy's
AltAz (same refraction choice, ICRS star, mid-exposure, UT1 = UTC) to 0.005 degrees, its airmass
must be Pickering's (2002) formula of that elevation, the log must name the fitted airmass once,
and k must come within one standard error of the simulator's truth where the described airmass
misses it by more.

astropy is taken from Debian's /usr/bin/python3 when the running interpreter has none; without
any astropy the test is skipped (exit status 77).

Usage: precise_airmass_test.py BUILD_DIR
"""
import csv
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

try:
    import warnings

    from astropy.utils import iers

    iers.conf.auto_download = False
    import astropy.units as u
    from astropy.coordinates import TETE, AltAz, EarthLocation, SkyCoord
    from astropy.time import Time, TimeDelta
except ImportError:
    # Debian's interpreter is tried once; its own path is a link, so the real paths are compared.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath(
            "/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    print("SKIP: no astropy")
    sys.exit(SKIP)

BUILD = os.path.abspath(sys.argv[1])
ORVEL = os.path.join(BUILD, "orvel")
SIMULATE = os.path.join(BUILD, "orvel-simulate")
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


def dms(text):
    """D,M,S as ORVEL reads it: the sign of the degrees is the sign of the whole."""
    d, m, s = (float(x) for x in text.split(","))
    return math.copysign(abs(d) + (m + s / 60) / 60, d if d != 0 else 1.0)


def pickering(elevation):
    """Pickering (2002), Sky & Telescope, 'The Southern Limits of the Ancient Star Catalogs'."""
    return 1.0 / math.sin(math.radians(elevation + 244.0 / (165.0 + 47.0 * elevation ** 1.1)))


def simulate(folder, night, extra=()):
    args = [SIMULATE, "--out", folder, "--lat", night["lat"], "--lon", night["lon"], "--ra",
            night["ra"], "--dec", night["dec"], "--date", night["date"], "--exptime", "300",
            "--truth-airmass", "precise"] + list(extra)
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    star = re.search(r"Star pixel position.*: ([0-9.]+), ([0-9.]+)", out)
    return f"{star.group(1)},{star.group(2)}"


def run_orvel(folder, night, star, extra=()):
    args = [ORVEL, "--lat", night["lat"], "--lon", night["lon"], "--ra", night.get("typed_ra", night["ra"]),
            "--dec", night.get("typed_dec", night["dec"]), "--star", star, "--background",
            "60,60", "--dir", folder] + list(extra)
    result = subprocess.run(args, capture_output=True, text=True, stdin=subprocess.DEVNULL,
                            timeout=300)
    check(result.returncode == 0, f"orvel {' '.join(extra)} exits 0 ({result.stderr.strip()})")
    with open(os.path.join(folder, "ORVEL_results.csv"), newline="") as f:
        frames = list(csv.DictReader(f))
    with open(os.path.join(folder, "ORVEL_fit.csv"), newline="") as f:
        bands = {r["band"]: r for r in csv.DictReader(f)}
    with open(os.path.join(folder, "ORVEL_LOG.txt"), encoding="latin-1", newline="") as f:
        log = f.read()
    return frames, bands, log


def astropy_elevation(night, date_obs, seconds_later, pressure_hpa):
    location = EarthLocation.from_geodetic(lon=dms(night["lon"]) * u.deg,
                                           lat=dms(night["lat"]) * u.deg, height=0 * u.m)
    t = Time(date_obs, scale="utc") + TimeDelta(seconds_later, format="sec")
    t.delta_ut1_utc = 0.0
    star = SkyCoord(ra=dms(night["ra"]) * 15 * u.deg, dec=dms(night["dec"]) * u.deg, frame="icrs")
    frame = AltAz(obstime=t, location=location, pressure=pressure_hpa * u.hPa,
                  temperature=10 * u.deg_C, relative_humidity=0, obswl=0.55 * u.micron)
    with warnings.catch_warnings():
        # Polar motion beyond the bundled tables is taken as its last value: a few
        # milliarcseconds, far below the tolerance.
        warnings.simplefilter("ignore")
        return star.transform_to(frame).alt.deg


def check_elevations(name, night, frames, seconds_later, pressure_hpa):
    worst = 0.0
    for row in frames:
        if not row["precise_elevation_deg"]:
            check(False, f"{name}: {row['file']} has no precise elevation")
            continue
        ours = float(row["precise_elevation_deg"])
        theirs = astropy_elevation(night, row["date_obs"], seconds_later, pressure_hpa)
        worst = max(worst, abs(ours - theirs))
        check(abs(ours - theirs) <= 0.005,
              f"{name}: {row['file']} elevation {ours:.6f} against astropy {theirs:.6f}")
        airmass = float(row["precise_airmass"])
        check(abs(airmass - pickering(ours)) <= 1e-7 * airmass,
              f"{name}: {row['file']} airmass {airmass} is Pickering's {pickering(ours)}")
    print(f"{name}: {len(frames)} frames, largest elevation difference from astropy "
          f"{worst * 3600:.2f} arcseconds")


NORTH = {"lat": "35,0,0", "lon": "-106,30,0", "ra": "9,5,0", "dec": "34,30,0",
         "date": "2026-03-15"}
SOUTH = {"lat": "-33,52,7", "lon": "151,12,30", "ra": "14,39,36", "dec": "-60,50,2",
         "date": "2026-06-20"}


def case_north_to_horizon(root):
    """DATE-OBS at the start, refraction at the defaults, down to 3 degrees."""
    folder = os.path.join(root, "north")
    star = simulate(folder, NORTH, ["--min-elevation", "3"])
    frames, bands, log = run_orvel(folder, NORTH, star, ["--airmass", "precise"])
    check_elevations("north", NORTH, frames, 150.0, 1013.25)
    check(min(float(r["precise_elevation_deg"]) for r in frames) < 4.0,
          "north: the night reaches within 4 degrees of the horizon")
    fitted = [line for line in log.split("\r\n") if line.startswith("Airmass fitted = ")]
    check(len(fitted) == 1 and "J2000" in fitted[0] and "Pickering" in fitted[0],
          f"north: the log names the fitted airmass once ({fitted})")
    # The fit takes the precise airmass: its line through the CSV's precise points.
    for band in "RGB":
        xs = [float(r["precise_airmass"]) for r in frames if r["band"] == band]
        ys = [float(r["magnitude_value"]) for r in frames if r["band"] == band]
        mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
        slope = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)
        check(abs(-slope - float(bands[band]["k"])) < 1e-4,
              f"north: {band} k {bands[band]['k']} is the slope over the precise airmass {-slope}")
    _, _, described_log = run_orvel(folder, NORTH, star)
    check("Airmass fitted" not in described_log, "north: without the option the log says nothing")


def case_south_stamped_middle(root):
    """DATE-OBS in the middle, --time-ref mid, no refraction."""
    folder = os.path.join(root, "south")
    star = simulate(folder, SOUTH, ["--stamp", "middle", "--min-elevation", "15"])
    frames, _, log = run_orvel(folder, SOUTH, star,
                               ["--airmass", "precise", "--time-ref", "mid", "--pressure", "off"])
    check_elevations("south", SOUTH, frames, 0.0, 0.0)
    check("no refraction" in log, "south: the log says there is no refraction")


def case_coordinates_of_date(root):
    """--equinox date: the star typed at its apparent place of date (astropy's TETE)."""
    folder = os.path.join(root, "ofdate")
    star = simulate(folder, NORTH, ["--frames", "3"])
    t = Time("2026-03-16T06:00:00", scale="utc")
    apparent = SkyCoord(ra=dms(NORTH["ra"]) * 15 * u.deg, dec=dms(NORTH["dec"]) * u.deg,
                        frame="icrs").transform_to(TETE(obstime=t))
    ra_h = apparent.ra.deg / 15
    dec = apparent.dec.deg
    night = dict(NORTH)
    night["typed_ra"] = f"{int(ra_h)},{int((ra_h % 1) * 60)},{((ra_h * 60) % 1) * 60:.4f}"
    night["typed_dec"] = f"{int(dec)},{int((dec % 1) * 60)},{((dec * 60) % 1) * 60:.4f}"
    frames, _, log = run_orvel(folder, night, star, ["--airmass", "precise", "--equinox", "date"])
    check_elevations("of date", NORTH, frames, 150.0, 1013.25)
    check("coordinates of date" in log, "of date: the log says the coordinates are of date")


def case_k_against_truth(root):
    """Five bright nights (32-bit frames, so no star is clipped) of 300 s exposures: the mean k
    from the precise airmass within one night's standard error of the truth, the described
    airmass off by more."""
    sums = {b: {"precise": 0.0, "described": 0.0, "sigma": 0.0} for b in "RGB"}
    seeds = range(1, 6)
    truth = {}
    for seed in seeds:
        folder = os.path.join(root, f"truth{seed}")
        star = simulate(folder, NORTH, ["--seed", str(seed), "--frames", "15", "--bitpix", "-32",
                                        "--flux", "2e6,2e6,2e6", "--min-elevation", "12"])
        with open(os.path.join(folder, "truth.csv")) as f:
            for line in f.read().split("\n\n")[1].splitlines()[1:]:
                band, k, _ = line.split(",")
                truth[band] = float(k)
        _, precise, _ = run_orvel(folder, NORTH, star, ["--airmass", "precise"])
        _, described, _ = run_orvel(folder, NORTH, star)
        for band in "RGB":
            sums[band]["precise"] += float(precise[band]["k"]) - truth[band]
            sums[band]["described"] += float(described[band]["k"]) - truth[band]
            sums[band]["sigma"] += float(precise[band]["k_standard_error"])
    for band in "RGB":
        off_precise, off_described, sigma = (sums[band][key] / len(seeds)
                                             for key in ("precise", "described", "sigma"))
        print(f"{band}: k true {truth[band]}, mean offset precise {off_precise:+.5f}, described "
              f"{off_described:+.5f}, mean sigma(k) {sigma:.5f}")
        check(abs(off_precise) < sigma, f"{band}: precise k within one sigma of the truth")
        check(abs(off_described) > sigma, f"{band}: described k more than one sigma off the truth")


def main():
    root = tempfile.mkdtemp(prefix="orvel-precise-")
    try:
        case_north_to_horizon(root)
        case_south_stamped_middle(root)
        case_coordinates_of_date(root)
        case_k_against_truth(root)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    print("all precise airmass checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
