#!/usr/bin/python3
"""Writes the small FITS fixtures in tests/data/ with astropy, a writer independent of ORVEL.

Run once from anywhere:  /usr/bin/python3 tools/make_fits_fixtures.py
The C++ tests read the files it leaves behind and hold the same values in their own code,
so the tests themselves never need Python.
"""
import pathlib

import numpy as np
from astropy.io import fits

DATA = pathlib.Path(__file__).resolve().parent.parent / "tests" / "data"


def write(name, hdu):
    path = DATA / name
    hdu.writeto(path, overwrite=True, output_verify="exception")
    print(f"wrote {path.relative_to(DATA.parent.parent)}")


def unsigned16():
    # Unsigned 16-bit pixels are stored by astropy as BITPIX 16 with BZERO 32768, BSCALE 1.
    data = np.array([[0, 65535, 32768, 1],
                     [2, 32767, 40000, 12345],
                     [65534, 100, 200, 300]], dtype=np.uint16)
    hdu = fits.PrimaryHDU(data=data)
    hdu.header["DATE-OBS"] = "2022-04-01T03:04:05.250"
    hdu.header["EXPTIME"] = (30.0, "exposure time in seconds")
    write("astropy_u16.fit", hdu)


def float32():
    data = np.array([[1.0, -2.5, np.nan],
                     [0.001, -1.0e6, 0.0]], dtype=np.float32)
    hdu = fits.PrimaryHDU(data=data)
    hdu.header["DATE-OBS"] = "2021-11-05T22:10:00"
    hdu.header["EXPTIME"] = 12.5
    write("astropy_f32.fit", hdu)


def long_header():
    # Forty HISTORY cards push the END card into the second header block.
    data = np.arange(20, dtype=np.int16).reshape(4, 5) * 3 - 7
    hdu = fits.PrimaryHDU(data=data)
    for n in range(40):
        hdu.header.add_history(f"processing step {n + 1}")
    hdu.header["DATE-OBS"] = "2020-02-29T23:59:58"
    hdu.header["EXPTIME"] = 60.0
    write("astropy_two_blocks.fit", hdu)


if __name__ == "__main__":
    DATA.mkdir(parents=True, exist_ok=True)
    unsigned16()
    float32()
    long_header()
