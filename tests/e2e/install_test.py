#!/usr/bin/env python3
"""Installing as a user does: `cmake --install` into a scratch DESTDIR puts both programs, their
man pages and the README under the usual paths; each man page, rendered by man -l, names every
option its program's --help lists; the installed programs run; an unknown option is refused by
both programs with the same words and exit status 2.

Usage: install_test.py BUILD_DIR
"""
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile

BUILD = os.path.abspath(sys.argv[1])
PROGRAMS = ["orvel", "orvel-simulate"]


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


def main():
    failures = []
    dest = tempfile.mkdtemp(prefix="orvel-install-")
    # The user's own `make install` record is kept: `make uninstall` reads it.
    manifest = os.path.join(BUILD, "install_manifest.txt")
    saved = open(manifest, "rb").read() if os.path.exists(manifest) else None
    try:
        subprocess.run(["cmake", "--install", BUILD, "--prefix", "/usr/local"], check=True,
                       env=dict(os.environ, DESTDIR=dest), capture_output=True)
        root = dest + "/usr/local"
        for path in ["bin/orvel", "bin/orvel-simulate", "share/man/man1/orvel.1.gz",
                     "share/man/man1/orvel-simulate.1.gz", "share/doc/orvel/README.md"]:
            if not os.path.isfile(os.path.join(root, path)):
                failures.append("not installed: " + path)
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
    finally:
        shutil.rmtree(dest)
        if saved is None:
            if os.path.exists(manifest):
                os.remove(manifest)
        else:
            open(manifest, "wb").write(saved)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
