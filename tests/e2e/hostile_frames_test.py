#!/usr/bin/env python3
"""Hostile and broken compressed frames among a good night, measured by the real program.

Two nights of 6 frames per band (gzip and tile-compressed, fpack's RICE rows) are written by the
simulator into a folder named "night [2026-03-15]" (brackets are syntax to some FITS libraries),
and a plain twin of the same seed beside them. Files an attacker or a broken writer could leave
are added to each compressed night:

  gzip: a file named "payload.fits.gz(!victim.txt)" holding the gzip signature (a library that
        parses file names would write victim.txt), "<frame>.fits.gz+0" (an HDU number to such a
        library), a header without data, a gzipped table, a 1 GiB bomb whose header claims
        32768 x 16384 pixels, and a raw colour mosaic one pixel wide;
  tile: a .fz without ZIMAGE, with ZIMAGE = F, with ZTILE1 = 0, with a RICE block size of 0,
        claiming 12000 x 12000 pixels in one tile (not the night's size) and 16000 x 16000.

Each run must exit 0 without a crash, write nothing outside its own outputs (victim.txt in the
working folder stays as it was), name each bad file once on the console with the reason listed
below, and give the k of the plain twin to the last digit. Its peak memory stays far below what
any of the claims would cost (the bench measures it against the size of a frame).

Usage: hostile_frames_test.py BUILD_DIR
"""
import gzip
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import zlib

from checks import Checks

BUILD = os.path.abspath(sys.argv[1])
ORVEL = os.path.join(BUILD, "orvel")
SIMULATE = os.path.join(BUILD, "orvel-simulate")
NIGHT = ["--names", "light", "--size", "320x240", "--frames", "6", "--seed", "5",
         "--star", "160,120"]
RUN = [ORVEL, "--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0", "--dec", "34,30,0",
       "--star", "160,120", "--background", "20,20", "--frames", "*.fits*"]
PEAK_LIMIT = 120e6  # bytes: the smallest claim above would cost 576 MB decoded
check = Checks()


def card(key, value):
    """One header card, the value right-aligned to column 30 as FITS writes numbers."""
    if isinstance(value, str) and not value.startswith("'"):
        text = "%-8s= %-20s" % (key, value)
    else:
        text = "%-8s= %20s" % (key, value)
    return text.ljust(80).encode()


def header(cards):
    """Cards ended by END and padded to whole 2880-byte blocks."""
    raw = b"".join(cards) + b"END".ljust(80)
    return raw + b" " * (-len(raw) % 2880)


def primary(naxis1, naxis2, extra=()):
    return header([card("SIMPLE", "T"), card("BITPIX", 16), card("NAXIS", 2 if naxis1 else 0)] +
                  ([card("NAXIS1", naxis1), card("NAXIS2", naxis2)] if naxis1 else []) +
                  [card("FILTER", "'R'"), card("DATE-OBS", "'2026-03-16T05:00:00'")] +
                  list(extra))


def gzip_bomb(path, gib=1):
    """A gzip file whose header claims 32768 x 16384 16-bit pixels, followed by that many zeros."""
    zero = bytes(1 << 24)
    out = zlib.compressobj(9, zlib.DEFLATED, 31)
    with open(path, "wb") as f:
        f.write(out.compress(primary(32768, 16384)))
        for _ in range((gib << 30) // len(zero)):
            f.write(out.compress(zero))
        f.write(out.flush())


def write_gzip_night(night):
    open(os.path.join(night, "payload.fits.gz"), "wb").write(gzip.compress(primary(0, 0)))
    open(os.path.join(night, "payload.fits.gz(!victim.txt)"), "wb").write(b"\x1f\x8b")
    open(os.path.join(night, "Light_HD1234_R_0001.fits.gz+0"), "wb").write(b"\x1f\x8b")
    open(os.path.join(night, "header_only.fits.gz"), "wb").write(gzip.compress(primary(0, 0)))
    table = header([card("XTENSION", "'BINTABLE'"), card("BITPIX", 8), card("NAXIS", 2),
                    card("NAXIS1", 4), card("NAXIS2", 1), card("PCOUNT", 0), card("GCOUNT", 1),
                    card("TFIELDS", 1), card("TFORM1", "'1J'")]) + bytes(2880)
    open(os.path.join(night, "table.fits.gz"), "wb").write(gzip.compress(primary(0, 0) + table))
    gzip_bomb(os.path.join(night, "bomb.fits.gz"))
    mosaic = primary(1, 240, [card("BAYERPAT", "'RGGB'")]) + bytes(2880)
    open(os.path.join(night, "narrow_bayer.fits"), "wb").write(mosaic)
    return {
        "payload.fits.gz": "its image size",
        "payload.fits.gz(!victim.txt)": "its gzip data ends before its header does",
        "Light_HD1234_R_0001.fits.gz+0": "its gzip data ends before its header does",
        "header_only.fits.gz": "its image size",
        "table.fits.gz": "its image size",
        "bomb.fits.gz": "its header claims more than",
        "narrow_bayer.fits[R]": "its colour mosaic is smaller than 2 x 2 pixels",
        "narrow_bayer.fits[G]": "its colour mosaic is smaller than 2 x 2 pixels",
        "narrow_bayer.fits[B]": "its colour mosaic is smaller than 2 x 2 pixels",
    }


def set_card(raw, key, value, after=0):
    """The bytes with the first card of the keyword from `after` on replaced."""
    at = after
    while True:
        at = raw.index(key.ljust(8).encode(), at)
        if at % 80 == 0:
            break
        at += 1
    return raw[:at] + card(key, value) + raw[at + 80:]


def write_tile_night(night):
    good = open(os.path.join(night, "Light_HD1234_R_0001.fits.fz"), "rb").read()
    table = 2880 * ((good.index(b"END".ljust(80)) // 2880) + 1)  # the table header's offset
    date = re.search(rb"DATE-OBS= '(\d{4})", good)
    # A year later: no variant is the same exposure as the frame it came from, and each comes
    # after the night's frames, whose first sets the size.
    good = good[:date.start(1)] + b"2027" + good[date.end(1):]
    variants = {
        "no_zimage.fits.fz": (good.replace(b"ZIMAGE  =", b"ZIMAGX  =", 1), "no FILTER card"),
        "zimage_f.fits.fz": (set_card(good, "ZIMAGE", "F", table), "ZIMAGE is not T"),
        "ztile_0.fits.fz": (set_card(good, "ZTILE1", 0, table), "no valid ZTILE1"),
        "block_0.fits.fz": (set_card(good, "ZVAL1", 0, table), "block size (ZVAL1) cannot"),
    }
    # The library takes ZVAL1 as the block size whatever ZNAME1 says (was SIGFPE), and finds a
    # keyword in lower case or ended by '=' as well.
    renamed = set_card(good, "ZNAME1", "'OTHER'", table)
    variants["named_0.fits.fz"] = (set_card(renamed, "ZVAL1", 0, table), "block size (ZVAL1)")
    zero = set_card(good, "ZVAL1", 0, table)
    at = zero.index(b"ZVAL1   =", table)
    for name, spelt in (("lower.fits.fz", b"zval1   ="), ("ended.fits.fz", b"ZVAL1=  =")):
        raw = zero[:at] + spelt + zero[at + 9:]
        variants[name] = (raw, "header card")
    for name, size, reason in (("claims_12000.fits.fz", 12000, "differs from the first image's"),
                               ("claims_16000.fits.fz", 16000, "claims more than")):
        raw = good
        for key in ("ZNAXIS1", "ZNAXIS2", "ZTILE1", "ZTILE2"):
            raw = set_card(raw, key, size, table)
        variants[name] = (set_card(raw, "NAXIS2", 1, table), reason)
    for name, (raw, _) in variants.items():
        open(os.path.join(night, name), "wb").write(raw)
    return {name: reason for name, (_, reason) in variants.items()}


def k_lines(text):
    return re.findall(r"^(?:RED|GREEN|BLUE) +k = .*$", text, re.M)


def run_night(night, cwd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    proc = subprocess.run(RUN + ["--dir", night], cwd=cwd, capture_output=True, text=True,
                          timeout=300, errors="replace")
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss * 1024
    return proc, peak if peak > before * 1024 else None


def main():
    work = tempfile.mkdtemp(prefix="orvel-hostile-")
    plain = os.path.join(work, "plain")
    subprocess.run([SIMULATE, "--out", plain] + NIGHT, check=True, capture_output=True)
    reference = subprocess.run(RUN + ["--dir", plain], cwd=work, capture_output=True, text=True)
    expected_k = k_lines(reference.stdout)
    check(len(expected_k) == 3, "the plain night gives three k lines")
    for kind, add in (("gz", write_gzip_night), ("fz", write_tile_night)):
        night = os.path.join(work, kind, "night [2026-03-15]")
        subprocess.run([SIMULATE, "--out", night, "--compress", kind] + NIGHT, check=True,
                       capture_output=True)
        bad = add(night)
        cwd = os.path.join(work, kind, "cwd")
        os.makedirs(cwd)
        victim = os.path.join(cwd, "victim.txt")
        open(victim, "w").write("keep me\n")
        proc, peak = run_night(night, cwd)
        check(proc.returncode == 0, "%s: exit status 0, not %d: %s" % (kind, proc.returncode,
                                                                        proc.stderr[-500:]))
        check(open(victim).read() == "keep me\n", "%s: victim.txt unchanged" % kind)
        check(sorted(os.listdir(cwd)) == ["victim.txt"], "%s: nothing written in the working "
              "folder: %s" % (kind, os.listdir(cwd)))
        check(k_lines(proc.stdout) == expected_k, "%s: k of the plain twin: %s against %s"
              % (kind, k_lines(proc.stdout), expected_k))
        check(peak is None or peak < PEAK_LIMIT, "%s: peak memory %s bytes" % (kind, peak))
        for name, reason in bad.items():
            lines = [l for l in proc.stdout.splitlines()
                     if l.startswith("File %s is not used: " % name)]
            check(len(lines) == 1, "%s: %s named once, not %d times" % (kind, name, len(lines)))
            check(all(reason in l for l in lines), "%s: %s for '%s': %s"
                  % (kind, name, reason, lines))
    shutil.rmtree(work)
    check.finish("hostile frames")


if __name__ == "__main__":
    main()
