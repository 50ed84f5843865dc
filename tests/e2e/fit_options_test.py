#!/usr/bin/env python3
"""A night with a clouded frame, growing seeing and a rising extinction, measured with one
aperture, the noise-weighted fit and the rejection: run unattended and interactively (on Xvfb,
the star and the sky clicked), both give the same results, the clouded frame is the one
rejected, and the drift is told. Usage: fit_options_test.py BUILD_DIR"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile

from checks import Checks
from desktop import Stuck, Terminal, plain_dialogue, start_xvfb

BUILD = os.path.abspath(sys.argv[1])
ORVEL = os.path.join(BUILD, "orvel")
SIMULATE = os.path.join(BUILD, "orvel-simulate")
TYPED = ["35,0,0", "-106,30,0", "9,5,0", "34,30,0"]
STAR = (161, 117)
SKY = (40, 40)
OPTIONS = ["--aperture", "auto", "--weighted", "--reject", "5"]
CLOUDED = "NIGHT_0014_G.fit"
check = Checks()


def simulate(folder, flux):
    subprocess.run([SIMULATE, "--out", folder, "--size", "320x240", "--star", "%d,%d" % STAR,
                    "--frames", "30", "--seed", "4", "--seeing-power", "0.6", "--k", "0.25,0.18,0.12",
                    "--k-end", "0.33,0.26,0.20", "--flux", flux], check=True, capture_output=True,
                   timeout=180)


def rows(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def unattended(folder):
    args = [ORVEL, "--lat", TYPED[0], "--lon", TYPED[1], "--ra", TYPED[2], "--dec", TYPED[3],
            "--star", "%d,%d" % STAR, "--background", "%d,%d" % SKY] + OPTIONS
    done = subprocess.run(args, cwd=folder, capture_output=True, text=True, timeout=180,
                          stdin=subprocess.DEVNULL)
    check(done.returncode == 0, "unattended: exit 0 (%s)" % done.stderr[-300:])
    return done.stdout


def interactive(folder):
    xvfb, display = start_xvfb()
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "DISPLAY": display,
           "TERM": "xterm", "HOME": folder}
    term = Terminal([ORVEL] + OPTIONS, folder, env)
    try:
        shot = os.environ.get("ORVEL_SHOT")
        status = plain_dialogue(term, display, TYPED, STAR, SKY, lambda: shot and subprocess.run(
            ["import", "-display", display, "-window", "root", shot], check=False, timeout=60))
        check(status == 0, "interactive: exit 0")
    finally:
        term.stop()
        xvfb.terminate()
        xvfb.wait(timeout=30)
    return term.text


def check_run(name, folder, console):
    check(console.count("Rejected ") == 1 and
          ("Rejected %s: " % CLOUDED) in console and "from the GREEN line; left out." in console,
          "%s: the clouded frame, and only it, is rejected and named" % name)
    check(all(("%s: extinction drifted by +" % band) in console for band in
              ("RED", "GREEN", "BLUE")), "%s: every band's rising extinction is told" % name)
    fit = {r["band"]: r for r in rows(os.path.join(folder, "ORVEL_fit.csv"))}
    check([fit[b]["analysed"] for b in "RGB"] == ["30", "29", "30"],
          "%s: 30, 29 and 30 frames analysed" % name)
    check(all(fit[b]["weighted"] == "1" for b in "RGB"), "%s: every band weighted" % name)
    # The simulator's change per hour, found within three of its standard errors.
    truth = open(os.path.join(folder, "truth.csv")).read().split("\n\n")[1].splitlines()[1:]
    per_hour = {line.split(",")[0]: float(line.split(",")[3]) for line in truth}
    for band in "RGB":
        drift, error = float(fit[band]["drift_per_hour"]), float(fit[band]["drift_error"])
        check(abs(drift - per_hour[band]) < 3 * error, "%s: %s drift %.4f per hour, the truth "
              "%.4f within 3 x %.4f" % (name, band, drift, per_hour[band], error))
    results = rows(os.path.join(folder, "ORVEL_results.csv"))
    noted = [r["file"] for r in results if r["note"].startswith("rejected: ")]
    check(noted == [CLOUDED], "%s: the results note the rejected frame (%s)" % (name, noted))
    check(all(r["fwhm_px"] and r["ln_signal_error"] and r["time_hours"] for r in results),
          "%s: every frame has its width, error and time" % name)
    log = open(os.path.join(folder, "ORVEL_LOG.txt"), encoding="latin-1").read()
    check(log.count("Aperture = auto") == 1 and log.count("Fit weighted") == 1 and
          log.count("Rejected %s" % CLOUDED) == 1,
          "%s: the log names the aperture, the weighting and the rejection once" % name)


def main():
    work = tempfile.mkdtemp(prefix="orvel-fit-options-")
    try:
        night, cloud = os.path.join(work, "night"), os.path.join(work, "cloud")
        simulate(night, "200000,250000,150000")
        # The same exposures with green at half its light: one of them is clouded.
        simulate(cloud, "200000,125000,150000")
        shutil.copyfile(os.path.join(cloud, CLOUDED), os.path.join(night, CLOUDED))
        batch = os.path.join(work, "unattended")
        shutil.copytree(night, batch)
        check_run("unattended", batch, unattended(batch))
        if shutil.which("Xvfb") and shutil.which("xdotool"):
            shown = os.path.join(work, "interactive")
            shutil.copytree(night, shown)
            try:
                console = interactive(shown)
                check_run("interactive", shown, console)
                for name in ("ORVEL_fit.csv", "ORVEL_results.csv"):
                    check(rows(os.path.join(shown, name)) == rows(os.path.join(batch, name)),
                          "interactive: %s equals the unattended run's" % name)
            except (Stuck, OSError, subprocess.SubprocessError) as e:
                check(False, "interactive: the dialogue runs to its end (%s)" % e)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    check.finish("fit options")


if __name__ == "__main__":
    main()
