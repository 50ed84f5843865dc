#!/usr/bin/env python3
"""Writes into FOLDER the two hostile files of the bench's (h): Light_bomb.fits.gz, a 1 MB gzip file
whose header claims 32768 x 16384 16-bit pixels followed by 1 GiB of zeros, and Light_claims.fits.fz,
a tile-compressed header claiming 16000 x 16000 pixels in one tile. Both say FILTER 'R'.

Usage: bombs.py FOLDER
"""
import os
import sys
import zlib


def card(key, value):
    return ("%-8s= %20s" % (key, value)).ljust(80).encode()


def header(cards):
    raw = b"".join(cards) + b"END".ljust(80)
    return raw + b" " * (-len(raw) % 2880)


folder = sys.argv[1]
primary = header([card("SIMPLE", "T"), card("BITPIX", 16), card("NAXIS", 2),
                  card("NAXIS1", 32768), card("NAXIS2", 16384), card("FILTER", "'R'"),
                  card("DATE-OBS", "'2026-03-16T05:00:00'")])
out = zlib.compressobj(9, zlib.DEFLATED, 31)
zero = bytes(1 << 24)
with open(os.path.join(folder, "Light_bomb.fits.gz"), "wb") as f:
    f.write(out.compress(primary))
    for _ in range(64):
        f.write(out.compress(zero))
    f.write(out.flush())
empty = header([card("SIMPLE", "T"), card("BITPIX", 16), card("NAXIS", 0)])
table = header([card("XTENSION", "'BINTABLE'"), card("BITPIX", 8), card("NAXIS", 2),
                card("NAXIS1", 8), card("NAXIS2", 1), card("PCOUNT", 16), card("GCOUNT", 1),
                card("TFIELDS", 1), card("TTYPE1", "'COMPRESSED_DATA'"), card("TFORM1", "'1PB(16)'"),
                card("ZIMAGE", "T"), card("ZBITPIX", 16), card("ZNAXIS", 2),
                card("ZNAXIS1", 16000), card("ZNAXIS2", 16000), card("ZTILE1", 16000),
                card("ZTILE2", 16000), card("ZCMPTYPE", "'RICE_1'"), card("FILTER", "'R'"),
                card("DATE-OBS", "'2026-03-16T05:10:00'")])
with open(os.path.join(folder, "Light_claims.fits.fz"), "wb") as f:
    f.write(empty + table + bytes(2880))
