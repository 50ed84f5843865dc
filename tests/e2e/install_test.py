#!/usr/bin/env python3
"""Installing as a user does: `cmake --install` into a scratch DESTDIR puts both programs, their
man pages and the README under the usual paths; each man page, rendered by man -l, names every
option its program's --help lists; the installed programs run; an unknown option is refused by
both programs with the same words and exit status 2. `make install`, `make deb` and
`make uninstall` in every order leave no file behind under DESTDIR; the package holds the
copyright file and its maintainer, and lintian (when installed) finds no error in it.

Usage: install_test.py BUILD_DIR
"""
import gzip
import itertools
import os
import re
import shutil
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAMS = ["orvel", "orvel-simulate"]
# Every file a run writes under its own name.
WRITTEN = ["ORVEL_LOG.txt", "ORVEL_results.csv", "ORVEL_fit.csv", "ORVEL_weights.csv",
           "ORVEL.bmp", "ORVEL_plot.png", "ORVEL_field.png"]
# make deb's Maintainer by default (the package it leaves in package/ is the one a user's
# make deb would write).
MAINTAINER = "ORVEL developers <orvel-dev@users.noreply.github.com>"
# The lists the build folder keeps of what was installed: the user's own are set aside.
KEPT = ["install_manifest.txt", "orvel_installed.txt"]


def options_of(help_text):
    """Every option named at the start of a line of --help."""
    return sorted(set(re.findall(r"^\s+(--[a-z][a-z-]*)", help_text, re.MULTILINE)))


def rendered(page):
    """The man page as man prints it, or its troff source without man."""
    if shutil.which("man"):
        out = subprocess.run(["man", "-l", page], capture_output=True, text=True,
                             env=dict(os.environ, MANWIDTH="100", MAN_KEEP_FORMATTING="0"))
        assert out.returncode == 0, out.stderr
        return re.sub(r".\x08", "", out.stdout).replace("\u2010", "-")
    return gzip.open(page, "rt").read().replace("\\-", "-")


def make(target, dest):
    """`make TARGET` over this build as it is, into DESTDIR; its output when it fails."""
    out = subprocess.run(["make", "-C", SOURCE, "--no-print-directory", target, "PREBUILT=1",
                          "BUILD_DIR=" + BUILD, "DESTDIR=" + dest],
                         capture_output=True, text=True, timeout=300)
    return "" if out.returncode == 0 else "make %s: %s%s" % (target, out.stdout, out.stderr)


def files_under(folder):
    return sorted(os.path.relpath(os.path.join(d, f), folder)
                  for d, _, names in os.walk(folder) for f in names)


def check_orders(failures):
    """Every order of install, deb and uninstall; what is left when the last uninstall came
    after the install, or after one more uninstall otherwise, is nothing."""
    steps = ["install", "deb", "uninstall"]
    if not shutil.which("dpkg-shlibdeps"):
        steps.remove("deb")
        print("dpkg-dev not installed: the orders without make deb only")
    for order in itertools.permutations(steps):
        dest = tempfile.mkdtemp(prefix="orvel-order-")
        try:
            for step in order:
                said = make(step, dest)
                if said:
                    failures.append(" then ".join(order) + ": " + said)
            installed = order.index("install") > order.index("uninstall")
            left = files_under(dest)
            if installed and "usr/local/bin/orvel" not in left:
                failures.append(" then ".join(order) + ": orvel not installed: %r" % left)
            if installed:
                make("uninstall", dest)
            left = files_under(dest)
            if left:
                failures.append(" then ".join(order) + ": left behind %r" % left)
        finally:
            shutil.rmtree(dest)


def check_package(failures):
    """The package make deb wrote: its copyright file, its maintainer, lintian's errors."""
    debs = [os.path.join(BUILD, "package", f) for f in os.listdir(os.path.join(BUILD, "package"))
            if f.endswith(".deb")] if os.path.isdir(os.path.join(BUILD, "package")) else []
    if len(debs) != 1:
        failures.append("one package in package/: %r" % debs)
        return
    maintainer = subprocess.run(["dpkg-deb", "-f", debs[0], "Maintainer"], capture_output=True,
                                text=True).stdout.strip()
    if maintainer != MAINTAINER:
        failures.append("Maintainer: %r" % maintainer)
    listing = subprocess.run(["dpkg-deb", "-c", debs[0]], capture_output=True, text=True).stdout
    if "./usr/share/doc/orvel/copyright" not in listing:
        failures.append("the package has no /usr/share/doc/orvel/copyright")
    if shutil.which("lintian"):
        out = subprocess.run(["lintian", "--fail-on", "error", debs[0]], capture_output=True,
                             text=True, timeout=300)
        if out.returncode != 0:
            failures.append("lintian: " + out.stdout + out.stderr)


def check_copyright(text, failures):
    """Debian's machine-readable format: its header, one Files paragraph for all, and the
    licence text of LICENSE, every line indented and an empty line as a lone dot."""
    licence = open(os.path.join(SOURCE, "LICENSE")).read()
    terms = licence[licence.index("Redistribution"):].strip().split("\n")
    body = "\n".join(" " + (line if line else ".") for line in terms)
    wanted = ["Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n",
              "\nFiles: *\nCopyright: 2026 The ORVEL developers\nLicense: BSD-3-Clause\n",
              "\n\nLicense: BSD-3-Clause\n" + body + "\n"]
    for part in wanted:
        if part not in text:
            failures.append("copyright file lacks %r" % part[:60])
    if not text.startswith(wanted[0]) or not text.endswith(wanted[2]):
        failures.append("copyright file out of order")
    if "Copyright (c) 2026, The ORVEL developers" not in licence or "BSD 3-Clause" not in licence:
        failures.append("LICENSE is not the BSD 3-Clause licence of the ORVEL developers")


def main():
    failures = []
    dest = tempfile.mkdtemp(prefix="orvel-install-")
    # The user's own `make install` record is kept: `make uninstall` reads it.
    saved = {}
    for name in KEPT:
        path = os.path.join(BUILD, name)
        if os.path.exists(path):
            saved[path] = open(path, "rb").read()
            os.remove(path)
    try:
        subprocess.run(["cmake", "--install", BUILD, "--prefix", "/usr/local"], check=True,
                       env=dict(os.environ, DESTDIR=dest), capture_output=True)
        root = dest + "/usr/local"
        for path in ["bin/orvel", "bin/orvel-simulate", "share/man/man1/orvel.1.gz",
                     "share/man/man1/orvel-simulate.1.gz", "share/doc/orvel/README.md",
                     "share/doc/orvel/copyright"]:
            if not os.path.isfile(os.path.join(root, path)):
                failures.append("not installed: " + path)
        if os.path.isfile(os.path.join(root, "share/doc/orvel/copyright")):
            check_copyright(open(os.path.join(root, "share/doc/orvel/copyright")).read(),
                            failures)
        for program in PROGRAMS:
            installed = os.path.join(root, "bin", program)
            help_text = subprocess.run([installed, "--help"], capture_output=True,
                                       text=True).stdout
            page = os.path.join(root, "share/man/man1", program + ".1.gz")
            if not os.path.isfile(page):
                continue
            text = rendered(page)
            if "EXIT STATUS" not in text.upper() and "Exit status" not in text:
                failures.append(program + "(1) has no exit status")
            # A shell command continued over lines stays so: no backslash inside a line.
            for line in text.splitlines():
                if re.search(r"\\\s+\S", line):
                    failures.append("%s(1) runs a continued line on: %r" % (program, line))
            if program == "orvel":
                files = text[text.find("FILES"):text.find("EXAMPLES", text.find("FILES"))]
                for name in WRITTEN:
                    if not re.search(r"^\s+" + re.escape(name) + r"$", files, re.MULTILINE):
                        failures.append("orvel(1)'s FILES leaves out " + name)
            for option in options_of(help_text):
                if not re.search(re.escape(option) + r"\b", text):
                    failures.append("%s(1) does not name %s" % (program, option))
            version = subprocess.run([installed, "--version"], capture_output=True, text=True)
            if version.returncode != 0 or not version.stdout.startswith(program + " "):
                failures.append(program + " --version: " + repr(version.stdout))
            bad = subprocess.run([installed, "--frobnicate"], capture_output=True, text=True,
                                 stdin=subprocess.DEVNULL)
            if bad.returncode != 2 or \
                    bad.stderr != program + ": unknown option --frobnicate (see --help)\n":
                failures.append("%s --frobnicate: status %d, %r" % (program, bad.returncode,
                                                                     bad.stderr))
        check_orders(failures)
        if shutil.which("dpkg-shlibdeps"):
            check_package(failures)
    finally:
        shutil.rmtree(dest)
        for name in KEPT:
            path = os.path.join(BUILD, name)
            if path in saved:
                open(path, "wb").write(saved[path])
            elif os.path.exists(path):
                os.remove(path)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
