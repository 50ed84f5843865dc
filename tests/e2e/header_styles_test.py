#!/usr/bin/env python3
"""Nights whose headers hold the time, the site and the star as capture programs write them.

(1) For each --header-style of orvel-simulate, the night measured without --lat/--lon/--ra/--dec
    (with --lat/--lon for sharpcap, which writes no site) gives the k of the same night with the
    simulator's place-of-date coordinates typed, to 1e-3 in every band; the console names the
    cards each value came from (and, for seestar, that its GAIN is a setting). "zeros" (site and star cards of zeros) exits 2 naming the four
    options.
(2) The local-time night (DATE-OBS local with its offset, UT-OBS, MJD-OBS, west-positive
    LONGITUD, TELALT) gives the date_obs and airmass of its UTC twin, the same night with plain
    UTC cards, frame by frame, and says where its times came from.
    With --airmass precise the star is taken as J2000 (SharpCap's JNow cards brought back).
    A frame whose site differs from the first frame's is named.
(3) A typed longitude of the wrong sign on a night with CENTALT is warned about; the local-time
    night's LONGITUD is taken turned and the console says so, by its DATE-OBS zone where the
    frames carry no altitude.

The expected values come from the simulator: its coordinates, and the twin night's airmasses.

Usage: header_styles_test.py BUILD_DIR
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
TYPED = {"--lat": "35,0,0", "--lon": "-106,30,0", "--ra": "9,5,0", "--dec": "34,30,0"}
PICKS = ["--star", "60,45", "--background", "15,15"]
K_TOLERANCE = 1e-3
# The cards each style's values are named by on the console.
STYLES = {
    "nina": ["SITELAT", "SITELONG", "OBJCTRA, J2000 brought to the date", "OBJCTDEC"],
    "sgp": ["SITELAT", "SITELONG", "OBJCTRA, J2000", "OBJCTDEC"],
    "sharpcap": ["OBJCTRA", "OBJCTDEC"],
    "seestar": ["SITELAT", "SITELONG", "RA, J2000", "DEC"],
    "ekos": ["SITELAT", "SITELONG", "OBJCTRA", "OBJCTDEC"],
    "maxim": ["SITELAT", "SITELONG", "OBJCTRA", "OBJCTDEC"],
    "theskyx": ["OBSGEO-B", "OBSGEO-L", "OBJCTRA", "OBJCTDEC"],
    "apt": ["SITELAT", "SITELONG", "OBJCTRA", "OBJCTDEC"],
    "pixinsight": ["OBSGEO-B", "OBSGEO-L", "RA, J2000", "DEC"],
    "local-time": ["LATITUDE", "LONGITUD, west positive", "RA, J2000", "DEC"],
}

check = Checks()


def simulate(folder, style, extra=()):
    args = [SIMULATE, "--out", folder, "--frames", "4", "--size", "120x90", "--star", "60,45"]
    args += list(extra)
    if style:
        args += ["--header-style", style]
    subprocess.run(args, check=True, capture_output=True)


def orvel(folder, coordinates, extra=()):
    args = [ORVEL, "--dir", folder] + PICKS + list(extra)
    for option in coordinates:
        args += [option, TYPED[option]]
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    return subprocess.run(args, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, timeout=120)


def rows(folder, name):
    with open(os.path.join(folder, name), newline="") as f:
        return list(csv.DictReader(f))


def ks(folder):
    return {r["band"]: float(r["k"]) for r in rows(folder, "ORVEL_fit.csv")}


def check_style(work, style, cards):
    folder = os.path.join(work, style)
    simulate(folder, style)
    site = ["--lat", "--lon"] if style == "sharpcap" else []
    own = orvel(folder, site)
    check(own.returncode == 0, "%s: no coordinates typed: exit %d %s" %
          (style, own.returncode, own.stdout[-300:]))
    for card in cards:
        check(" taken from " + card in own.stdout, "%s: the console names %s" % (style, card))
    # A GAIN setting without EGAIN is not taken as electrons per ADU.
    gain_note = "The frames' GAIN (80) is the camera's setting, not electrons per ADU"
    check((gain_note in own.stdout) == (style == "seestar"), "%s: the gain note" % style)
    from_frames = ks(folder)
    typed = orvel(folder, list(TYPED))
    check(typed.returncode == 0, "%s: typed coordinates: exit %d" % (style, typed.returncode))
    check(" taken from OB" not in typed.stdout and " taken from RA" not in typed.stdout and
          " taken from SITE" not in typed.stdout, "%s: typed values are not said taken" % style)
    given = ks(folder)
    notes = [r["note"] for r in rows(folder, "ORVEL_results.csv")]
    check(not any("differs from the telescope's" in n for n in notes),
          "%s: the right coordinates agree with the altitudes: %s" % (style, notes))
    for band in "RGB":
        diff = abs(from_frames[band] - given[band])
        check(diff <= K_TOLERANCE, "%s %s: k %.5f from the frames, %.5f typed" %
              (style, band, from_frames[band], given[band]))


def check_precise(work):
    """--airmass precise takes J2000: NINA's cards as they are, SharpCap's JNow brought back."""
    for style, how in [("nina", "OBJCTRA\n"), ("sharpcap", "OBJCTRA, of date brought to J2000")]:
        folder = os.path.join(work, "precise-" + style)
        simulate(folder, style, ["--truth-airmass", "precise"])
        own = orvel(folder, ["--lat", "--lon"], ["--airmass", "precise"])
        check("Star right ascension taken from " + how in own.stdout,
              "precise %s: the console names %s" % (style, how.strip()))
        from_frames = ks(folder)
        orvel(folder, list(TYPED), ["--airmass", "precise"])
        given = ks(folder)
        for band in "RGB":
            check(abs(from_frames[band] - given[band]) <= K_TOLERANCE,
                  "precise %s %s: k %.5f from the frames, %.5f typed" %
                  (style, band, from_frames[band], given[band]))


def check_disagreement(work):
    """A frame whose SITELAT differs from the first frame's by a degree is named."""
    folder, other = os.path.join(work, "nina"), os.path.join(work, "north")
    simulate(other, "nina", ["--lat", "36,0,0"])
    shutil.copy(os.path.join(other, "NIGHT_0005_G.fit"), folder)
    run = orvel(folder, [])
    check("Warning: the frames disagree on the site or the star: NIGHT_0005_G.fit holds SITELAT "
          "36, unlike the first frame." in run.stdout, "the disagreeing frame is named")


def check_zeros(work):
    folder = os.path.join(work, "zeros")
    simulate(folder, "zeros")
    run = orvel(folder, [])
    check(run.returncode == 2, "zeros: exit %d, not 2" % run.returncode)
    check("--lat, --lon, --ra, --dec" in run.stdout, "zeros names the options: " + run.stdout)


def check_local_time(work):
    local, twin = os.path.join(work, "local-time"), os.path.join(work, "twin")
    simulate(twin, "")
    run = orvel(local, [])
    check("Frame times (UTC) taken from UT-OBS (DATE-OBS is local time, -0700)." in run.stdout,
          "local-time: the console names the time cards: " + run.stdout[:400])
    check("agrees with the telescope's altitude only as west positive" in run.stdout,
          "local-time: the turned longitude is said")
    orvel(twin, list(TYPED))
    mine, theirs = rows(local, "ORVEL_results.csv"), rows(twin, "ORVEL_results.csv")
    check(len(mine) == len(theirs) == 12, "local-time: 12 frames each")
    for a, b in zip(mine, theirs):
        check(a["date_obs"] == b["date_obs"], "%s: date_obs %s, twin %s" %
              (a["file"], a["date_obs"], b["date_obs"]))
        check(a["airmass"] == b["airmass"], "%s: airmass %s, twin %s" %
              (a["file"], a["airmass"], b["airmass"]))


def check_zone_turns(work):
    """Without TELALT, the local-time night's LONGITUD is turned by its DATE-OBS zone (-0700)."""
    folder = os.path.join(work, "no-altitude")
    shutil.copytree(os.path.join(work, "local-time"), folder)
    for name in os.listdir(folder):
        if name.endswith(".fit"):
            path = os.path.join(folder, name)
            data = open(path, "rb").read()
            # The TELALT card becomes a COMMENT card of the same length.
            data = data.replace(b"TELALT  = ", b"COMMENT   ")
            open(path, "wb").write(data)
    run = orvel(folder, [])
    check("The frames' LONGITUD agrees with the DATE-OBS time zone only as west positive" in
          run.stdout, "no TELALT: the zone turns LONGITUD: " + run.stdout[:500])
    k_local = ks(os.path.join(work, "local-time"))
    k_here = ks(folder)
    check(all(abs(k_local[b] - k_here[b]) <= K_TOLERANCE for b in "RGB"),
          "no TELALT: k %s, with TELALT %s" % (k_here, k_local))


def check_wrong_sign(work):
    folder = os.path.join(work, "nina")
    args = dict(TYPED)
    TYPED["--lon"] = "106,30,0"
    try:
        run = orvel(folder, list(TYPED))
    finally:
        TYPED.update(args)
    check("Warning: the star's computed elevations differ from the telescope's CENTALT" in
          run.stdout and "the likely cause: the longitude's sign" in run.stdout,
          "nina with an east longitude typed: the altitude check warns: " + run.stdout[:600])
    check("Warning: the site longitude typed differs from the frames' (SITELONG" in run.stdout,
          "nina with an east longitude typed: the frames' value is named")
    # Each frame's note in the results file says how far it is from CENTALT.
    notes = [r["note"] for r in rows(folder, "ORVEL_results.csv")]
    check(all("differs from the telescope's CENTALT" in n for n in notes),
          "nina with an east longitude typed: every frame's note names CENTALT: %s" % notes[:2])


def main():
    with tempfile.TemporaryDirectory() as work:
        for style, cards in STYLES.items():
            check_style(work, style, cards)
        check_precise(work)
        check_zeros(work)
        check_local_time(work)
        check_zone_turns(work)
        check_wrong_sign(work)
        check_disagreement(work)
    check.finish("header styles")


main()
