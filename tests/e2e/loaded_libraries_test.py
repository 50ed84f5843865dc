#!/usr/bin/env python3
"""Which libraries the programs load, as the dynamic loader reports it (LD_DEBUG=files): an
unattended night of plain frames loads neither cairo and pango, nor SDL2, nor CFITSIO; asking
for a plot loads cairo and pango and writes the plot; a night of tile-compressed frames loads
CFITSIO and is measured; the simulator loads CFITSIO only when it compresses.

Usage: loaded_libraries_test.py BUILD_DIR
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import Checks  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
CAIRO, PANGO, SDL, FITS = "libcairo.so", "libpangocairo-1.0.so", "libSDL2-2.0.so", "libcfitsio.so"
check = Checks()


def loaded(argv, cwd):
    """Exit status and the names of the shared objects the run loaded."""
    env = dict(os.environ, LD_DEBUG="files")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    out = subprocess.run(argv, cwd=cwd, env=env, capture_output=True, text=True,
                         stdin=subprocess.DEVNULL, timeout=120)
    names = {word[len("file="):] for line in out.stderr.splitlines() for word in line.split()
             if word.startswith("file=")}
    return out.returncode, names


def has(names, library):
    return any(name.startswith(library) for name in names)


def simulate(folder, extra):
    status, names = loaded([os.path.join(BUILD, "orvel-simulate"), "--out", folder,
                            "--frames", "4", "--star", "320,240"] + extra, folder)
    check(status == 0, "orvel-simulate %s exits 0" % " ".join(extra))
    return names


def orvel(folder, extra):
    return loaded([os.path.join(BUILD, "orvel"), "--lat", "35,0,0", "--lon", "-106,30,0",
                   "--ra", "9,5,0", "--dec", "34,30,0", "--star", "320,240", "--background",
                   "100,100", "--dir", folder] + extra, folder)


def main():
    with tempfile.TemporaryDirectory(prefix="orvel-libraries-") as scratch:
        plain = os.path.join(scratch, "plain")
        os.makedirs(plain)
        names = simulate(plain, [])
        check(not has(names, FITS), "the simulator writing plain frames loads no CFITSIO")
        status, names = orvel(plain, [])
        check(status == 0, "the plain night exits 0")
        for library in (CAIRO, PANGO, SDL, FITS):
            check(not has(names, library), "the plain night loads no " + library)
        plot = os.path.join(plain, "plot.svg")
        status, names = orvel(plain, ["--plot", plot])
        check(status == 0 and os.path.getsize(plot) > 0, "the plot is written")
        check(has(names, CAIRO) and has(names, PANGO), "the plot loads cairo and pango")
        check(not has(names, SDL), "the plot loads no SDL2")

        packed = os.path.join(scratch, "packed")
        os.makedirs(packed)
        names = simulate(packed, ["--names", "light", "--compress", "fz"])
        check(has(names, FITS), "the simulator compressing loads CFITSIO")
        status, names = orvel(packed, ["--frames", "*.fits.fz"])
        check(status == 0, "the compressed night exits 0")
        check(has(names, FITS), "the compressed night loads CFITSIO")
        fit = open(os.path.join(packed, "ORVEL_fit.csv")).read().splitlines()
        check(len(fit) == 4 and all(row.split(",")[1] for row in fit[1:]),
              "the compressed night fits k in every band: %r" % fit)
    check.finish("loaded libraries")


if __name__ == "__main__":
    main()
