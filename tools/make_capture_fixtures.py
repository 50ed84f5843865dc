#!/usr/bin/python3
"""Writes tests/data/capture/: one small simulated night as capture programs write it, with astropy.

Run from the repository after building:  /usr/bin/python3 tools/make_capture_fixtures.py
The night is made by build/orvel-simulate with the arguments in SIMULATE (its frames are kept as
classic/); astropy (a FITS writer that shares no code with ORVEL) rewrites the same pixels under
other names, containers and header conventions. The tests never need Python.
"""
import pathlib
import shutil
import subprocess
import tempfile

from astropy.io import fits
from astropy.time import Time

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT = ROOT / "tests" / "data" / "capture"
SIMULATE = ["--size", "64x48", "--frames", "3", "--star", "32.3,23.6", "--k", "0.25,0.18,0.12",
            "--seed", "7"]
WORDS = {"R": "Red", "G": "Green", "B": "Blue"}


def frames(classic):
    for path in sorted(classic.glob("NIGHT_*_?.fit")):
        band, number = path.name[-5], path.name[6:10]
        with fits.open(path) as hdul:
            yield band, number, hdul[0].header.copy(), hdul[0].data.copy()


def clean(header):
    # The structural cards are astropy's to write for the data it is given.
    for key in ("SIMPLE", "BITPIX", "NAXIS", "NAXIS1", "NAXIS2", "EXTEND", "BSCALE", "BZERO"):
        header.remove(key, ignore_missing=True)
    return header


def write_styles(classic):
    for band, number, header, data in frames(classic):
        header = clean(header)
        header["FILTER"] = WORDS[band]
        # Light_HD1234_R_0001.fits: a primary image, band in FILTER.
        fits.PrimaryHDU(data, header).writeto(OUT / "fits" / f"Light_HD1234_{band}_{number}.fits")
        # HD1234-Red-0001.fts: an empty primary, the image in the first extension.
        fits.HDUList([fits.PrimaryHDU(), fits.ImageHDU(data, header)]).writeto(
            OUT / "extension" / f"HD1234-{WORDS[band]}-{number}.fts")
        fits.PrimaryHDU(data, header).writeto(OUT / "gz" / f"Light_HD1234_{band}_{number}.fits.gz")
        fits.CompImageHDU(data, header, compression_type="RICE_1").writeto(
            OUT / "fz" / f"Light_HD1234_{band}_{number}.fit.fz")
        # Older writers: 'DD/MM/YY' with TIME-OBS for the odd frames, MJD-OBS alone for the even.
        old = header.copy()
        moment = Time(old["DATE-OBS"], scale="utc")
        del old["DATE-OBS"]
        if int(number) % 2:
            old["DATE-OBS"] = moment.strftime("%d/%m/%y")
            old["TIME-OBS"] = moment.strftime("%H:%M:%S")
        else:
            old["MJD-OBS"] = moment.mjd
        old["FILTER"] = {"R": "r'", "G": "V", "B": "b'"}[band]
        fits.PrimaryHDU(data, old).writeto(OUT / "times" / f"{WORDS[band]}_{number}.FIT")


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    for style in ("fits", "extension", "gz", "fz", "times"):
        (OUT / style).mkdir(parents=True)
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([str(ROOT / "build" / "orvel-simulate"), "--out", tmp, *SIMULATE],
                       check=True, stdout=subprocess.DEVNULL)
        shutil.copytree(tmp, OUT / "classic")
        write_styles(pathlib.Path(tmp))
    print(f"wrote {OUT.relative_to(ROOT)}")


if __name__ == "__main__":
    main()
