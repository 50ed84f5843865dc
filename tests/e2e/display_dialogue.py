#!/usr/bin/env python3
"""End-to-end run of the real program on a real X display (Xvfb 1920x1080).

The console runs on a pseudo-terminal, the clicks come from xdotool. A small simulated night
is measured with the whole dialogue: a rejected and an accepted star pick, a background pick,
one outlier removed after one "N" at the yellow point, the graph saved, a wrong answer and then
X at the closing question. The log, the console text and the saved BMP are checked, and the
command printed after the X is run in a copy of the frames: the same log (but for the desktop
size) and the same CSV files.

Usage: display_dialogue.py BUILD_DIR
"""
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile

from desktop import Stuck, Terminal, click, start_xvfb

BUILD = os.path.abspath(sys.argv[1])


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def log_values(log, label):
    return [float(m) for m in re.findall(re.escape(label) + r"\s*(-?[0-9.E+-]+)", log)]


def log_without_desktop(path):
    lines = open(path, "rb").read().split(b"\r\n")
    return [line for line in lines if not line.startswith(b"Width = ")]


def repeat_as_printed(console, folder):
    """The command printed after the X, run in a copy of the frames: the same log but for the
    desktop size, and the same CSV files."""
    lines = console.replace("\r\n", "\n").split("\n")
    heading = [i for i, line in enumerate(lines) if line.startswith("To repeat this run unattended")]
    if len(heading) != 1 or lines[heading[0] - 2:heading[0]] != [
            "Program is finished. Enter X to terminate. x", ""]:
        fail("no command printed after the closing answer")
    words = shlex.split(lines[heading[0] + 1])
    if words[:3] != ["orvel", "--dir", folder] or words.count("--star") != 2:
        fail("command printed: " + lines[heading[0] + 1])
    copy = tempfile.mkdtemp(prefix="orvel-e2e-again-")
    try:
        for name in os.listdir(folder):
            if name.endswith(".fit"):
                shutil.copy(os.path.join(folder, name), copy)
        words = [os.path.join(BUILD, "orvel")] + [
            w.replace(folder, copy) if w in (folder, os.path.join(folder, "ORVEL.bmp")) else w
            for w in words[1:]]
        done = subprocess.run(words, capture_output=True, env={"PATH": "/usr/bin:/bin"})
        if done.returncode != 0:
            fail("the printed command failed: %r" % done.stdout[-500:])
        if log_without_desktop(os.path.join(folder, "ORVEL_LOG.txt")) != log_without_desktop(
                os.path.join(copy, "ORVEL_LOG.txt")):
            fail("the printed command wrote another log")
        for name in ("ORVEL_results.csv", "ORVEL_fit.csv", "ORVEL_weights.csv"):
            if open(os.path.join(folder, name), "rb").read() != open(
                    os.path.join(copy, name), "rb").read():
                fail("the printed command wrote another " + name)
    finally:
        shutil.rmtree(copy, ignore_errors=True)


def main():
    try:
        run()
    except Stuck as stuck:
        fail(str(stuck))


def run():
    xvfb, display = start_xvfb()
    folder = tempfile.mkdtemp(prefix="orvel-e2e-")
    try:
        sim = subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder,
                              "--frames", "3", "--size", "320x240", "--star", "200,120",
                              "--seed", "7"], check=True, capture_output=True, text=True)
        typed = re.findall(r"\([DHMS],M,S\):\s+(\S+)", sim.stdout)
        if len(typed) != 4:
            fail("simulator output not understood:\n" + sim.stdout)

        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "DISPLAY": display,
               "TERM": "xterm", "HOME": folder}
        term = Terminal([os.path.join(BUILD, "orvel")], folder, env)
        term.wait_for("Do you want to continue (Enter Y or N)? ")
        term.type("y")
        for value in typed:
            term.wait_for("- \r\n")
            term.type(value)

        term.wait_for("put the cursor on the target star and left-click.")
        click(display, 40, 40)
        term.wait_for("Is the target star within the red circle (Enter Y or N)? ")
        term.type("N")
        term.wait_for("put the cursor on the target star and left-click.")
        click(display, 200, 120)
        term.wait_for("Is the target star within the red circle (Enter Y or N)? ")
        term.type("y")
        term.wait_for("that is mostly background and left-click.")
        click(display, 60, 200)
        term.wait_for("Does the red rectangle contain mostly background (Enter Y or N)? ")
        term.type("y")

        term.wait_for("Do you want to remove outliers from the data (Enter Y or N)? ")
        log = open(os.path.join(folder, "ORVEL_LOG.txt"), encoding="latin-1", newline="").read()
        x_from, x_to = log_values(log, "Min X Value =")[0], log_values(log, "Max X Value =")[0]
        y_from, y_to = log_values(log, "Min Y Value =")[0], log_values(log, "Max Y Value =")[0]
        airmass = log_values(log, "Optical Airmass (X) =")
        magnitude = log_values(log, "Stellar Magnitude =")
        # Frames are listed red first: the second red frame is removed.
        x = round((airmass[1] - x_from) / (x_to - x_from) * 640)
        y = round(480 - (magnitude[1] - y_from) / (y_to - y_from) * 480)
        term.type("y")
        term.wait_for("of the band you want to edit: ")
        term.type("1")
        term.wait_for("representing the data point you want to remove and left-click.")
        click(display, x, y)
        term.wait_for("Is this the point (yellow) you want to remove (Enter Y or N)? ")
        term.type("N")
        term.wait_for("Try again-")
        term.wait_for("representing the data point you want to remove and left-click.")
        click(display, x, y)
        term.wait_for("Is this the point (yellow) you want to remove (Enter Y or N)? ")
        term.type("Y")
        term.wait_for("Data point has been removed and extinction coefficient re-calculated.")
        term.wait_for("Do you want to remove more outliers from the data (Enter Y or N)? ")
        term.type("n")
        term.wait_for("Do you want to save the graph to a BMP file (Enter Y or N)? ")
        term.type("y")
        term.wait_for("Graph will be saved to file ORVEL.bmp")
        term.wait_for("Program is finished. Enter X to terminate. ")
        term.type("Q")
        term.wait_for("Program is finished. Enter X to terminate. ")
        term.type("x")
        status = term.finish()
        if status != 0:
            fail("exit status %d" % status)

        console = term.text
        log = open(os.path.join(folder, "ORVEL_LOG.txt"), encoding="latin-1", newline="").read()
        checks = [
            (log.count("Initial target star position:") == 2, "two star picks in the log"),
            ("   COLUMN =  200 \r\n      ROW =  120 \r\n" in log, "the accepted star click"),
            (log.count("Initial background rectangle position:") == 1, "one background pick"),
            (log.count("----------  FINAL RESULTS  --------------------") == 2, "two reports"),
            ("    RED = " in log and "# Analyzed =  2 " in log, "red refitted without one point"),
            ("Width =  1920      Height =  1080 " in log, "desktop size of the display"),
            (console.count("PROCESSING FILE ") == 9, "nine files announced"),
            ("Band Ratios (equivalent to Weight Factors for G2V stars)-" in console, "ratios"),
        ]
        for ok, what in checks:
            if not ok:
                fail(what)

        bmp = open(os.path.join(folder, "ORVEL.bmp"), "rb").read()
        if len(bmp) != 921654 or bmp[:2] != b"BM":
            fail("graph file is %d bytes" % len(bmp))
        width, height, planes, bits = struct.unpack("<iihh", bmp[18:30])
        if (width, height, planes, bits) != (640, 480, 1, 24):
            fail("BMP header %r" % ((width, height, planes, bits),))

        def pixel(px, py):  # window coordinates; rows are stored bottom first, BGR
            offset = 54 + (479 - py) * 1920 + px * 3
            b, g, r = bmp[offset:offset + 3]
            return (r, g, b)

        if pixel(0, 0) != (0, 0, 0) or pixel(639, 479) != (0, 0, 0):
            fail("frame corners are not black")
        # The removed point's circle is gone: its left edge pixel is not red.
        if pixel(x - 5, y) == (255, 0, 0):
            fail("the removed point is still drawn")
        # Another red point is still circled.
        x0 = round((airmass[0] - x_from) / (x_to - x_from) * 640)
        y0 = round(480 - (magnitude[0] - y_from) / (y_to - y_from) * 480)
        ring = [pixel(x0 + dx, y0 + dy) for dx in range(-6, 7) for dy in range(-6, 7)
                if 0 <= x0 + dx < 640 and 0 <= y0 + dy < 480]
        if (255, 0, 0) not in ring:
            fail("the first red point is not drawn")
        repeat_as_printed(console, folder)
        print("1 passed, 0 failed")
    finally:
        xvfb.terminate()
        xvfb.wait()
        if os.environ.get("ORVEL_KEEP") is None:
            shutil.rmtree(folder, ignore_errors=True)
        else:
            print("kept " + folder)


if __name__ == "__main__":
    main()
