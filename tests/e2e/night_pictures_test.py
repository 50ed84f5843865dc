#!/usr/bin/env python3
"""The pictures and files beside the log, as a user gets them from the unattended program: the
labelled plot (SVG text against ORVEL_fit.csv, hollow grey marks for a removed and a left-out
frame on the PNG's pixels), the colour weights recomputed from ORVEL_fit.csv, and a log that
the new options leave byte for byte as it was.

Usage: night_pictures_test.py BUILD_DIR
"""
import csv
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pngread import read_png  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
ORVEL = os.path.join(BUILD, "orvel")
failures = []
REMOVED = "NIGHT_0008_G.fit"
SATURATED = 3  # frame number in the simulator's order: NIGHT_0003_B.fit


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


def run(folder, extra):
    args = [ORVEL, "--lat", "35,0,0", "--lon", "-106,30,0", "--ra", "9,5,0", "--dec", "34,30,0",
            "--star", "120,90", "--background", "100,60", "--remove", REMOVED, "--dir", folder]
    return subprocess.run(args + extra, cwd=folder, capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=120)


def csv_rows(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def svg_texts(path):
    """The text items of the SVG's text layer: (text, x, y)."""
    root = ET.parse(path).getroot()
    return [(t.text or "", float(t.get("x")), float(t.get("y")))
            for t in root.iter("{http://www.w3.org/2000/svg}text")]


def check_legend(texts, fit):
    """Each band's legend line gives the numbers of ORVEL_fit.csv, rounded as shown."""
    names = {"R": "RED", "G": "GREEN", "B": "BLUE"}
    for row in fit:
        want = ("%s  k = %.4f \u00b1 %.4f mag/airmass (%.4f \u00b1 %.4f ln/airmass), "
                "R\u00b2 %.5f, %d frames" % (
                    names[row["band"]], float(row["k_mag_per_airmass"]),
                    float(row["k_mag_standard_error"]), float(row["k"]),
                    float(row["k_standard_error"]), float(row["r2"]), int(row["analysed"])))
        check(want in [t[0] for t in texts], "legend of %s reads %r" % (row["band"], want))
        # mag/airmass is 2.5 / ln 10 times the ln value, worked independently here.
        check(abs(float(row["k_mag_per_airmass"]) - 2.5 / math.log(10) * float(row["k"])) < 1e-7,
              "k in mag/airmass of " + row["band"])


def scale_from_ticks(texts, pick, offset):
    """The linear map value -> picture position from two tick labels chosen by `pick`."""
    ticks = sorted(((float(t[0].replace("\u2212", "-")), pos) for t in texts
                    for pos in [pick(t)] if pos is not None), key=lambda v: v[1])
    (v0, p0), (v1, p1) = ticks[0], ticks[-1]
    return lambda v: p0 - offset + (v - v0) * (p1 - p0) / (v1 - v0)


def hollow_at(rows, x, y):
    """A grey ring about (x, y) with a centre that is not grey."""
    def grey(p):
        return abs(p[0] - 140) < 40 and p[0] == p[1] == p[2]
    centre = rows[round(y)][round(x)]
    ring = [rows[round(y + r * math.sin(a))][round(x + r * math.cos(a))]
            for r in (4.0, 4.5, 5.0) for a in [i * math.pi / 8 for i in range(16)]]
    return not grey(centre) and sum(grey(p) for p in ring) >= 8


def check_plot(folder, fit, results):
    texts = svg_texts(os.path.join(folder, "plot.svg"))
    words = [t[0] for t in texts]
    for label in ("Airmass X", "ln(signal / ADU)", "Residual (ln)", "removed (1)",
                  "left out by the program (1)"):
        check(label in words, "the SVG's text holds " + label)
    check(any("RA 09h 05m 00s, Dec +34\u00b0 30\u2032 00\u2033" in w for w in words), "title")
    check(any("Site 35\u00b0 00\u2032 00\u2033 N, 106\u00b0 30\u2032 00\u2033 W" in w and
              "2026-03-16" in w for w in words), "site and date")
    check_legend(texts, fit)
    # The hollow marks, found on the PNG at the places the SVG's ticks give.
    rows = read_png(os.path.join(folder, "plot.png"))
    check(len(rows) == 800 and len(rows[0]) == 1000, "PNG plot is 1000 x 800")
    numeric = re.compile(r"^-?[0-9.]+$")
    main_bottom = max(t[2] for t in texts if numeric.match(t[0]) and t[1] < 100) - 4
    x_at = scale_from_ticks(texts, lambda t: t[1] if numeric.match(t[0]) and t[2] > 600 and
                            t[1] > 95 else None, 0)
    y_at = scale_from_ticks(texts, lambda t: t[2] if numeric.match(t[0]) and t[1] < 100 and
                            t[2] < 480 else None, 4)
    for row in results:
        if row["file"] in (REMOVED,):
            x, y = x_at(float(row["airmass"])), y_at(float(row["magnitude_value"]))
            check(hollow_at(rows, x, y), "the removed frame is a hollow grey mark at %.0f,%.0f"
                  % (x, y))
    check(main_bottom > 0, "tick labels found")


def check_weights(folder, fit, console):
    weights = csv_rows(os.path.join(folder, "ORVEL_weights.csv"))
    altitudes = [float(w["altitude_deg"]) for w in weights]
    check(altitudes == sorted([float(a) for a in range(20, 95, 5)] + [33.3], reverse=True),
          "altitudes 90 to 20 by 5 and the asked 33.3: %r" % altitudes)
    line = {r["band"]: (float(r["intercept"]), -float(r["k"])) for r in fit}
    for w in weights:
        x = float(w["airmass"])
        # Hardie's airmass for the altitude, worked here in double precision.
        sec = 1 / math.sin(math.radians(float(w["altitude_deg"])))
        hardie = sec - 0.0018167 * (sec - 1) - 0.002875 * (sec - 1) ** 2 - 0.0008083 * (sec - 1) ** 3
        check(abs(x - hardie) < 2e-6 * hardie, "airmass at %s" % w["altitude_deg"])
        signal = {b: math.exp(a + s * x) for b, (a, s) in line.items()}
        top = max(signal.values())
        for b in "RGB":
            check(abs(float(w["weight_" + b.lower()]) - signal[b] / top) < 2e-6,
                  "weight %s at %s" % (b, w["altitude_deg"]))
            # Multiplied by its factor each band comes out at the weakest band's signal.
            weakest = min(signal.values())
            check(abs(float(w["multiply_" + b.lower()]) - weakest / signal[b]) < 2e-6,
                  "factor for white %s at %s" % (b, w["altitude_deg"]))
    zenith = weights[0]
    for r in fit:
        check(abs(float(zenith["weight_" + r["band"].lower()]) - float(r["ratio_at_x1"])) < 2e-6,
              "weights at 90 degrees equal the ratios at airmass 1 (%s)" % r["band"])
    for alt in ("90.0", "60.0", "45.0", "30.0", "20.0", "33.3"):
        check(re.search(r"^ +%s deg  X = " % re.escape(alt), console, re.M) is not None,
              "console row for %s" % alt)
    check(re.search(r"^ +55.0 deg", console, re.M) is None, "console leaves 55 to the file")


def ring_radius(pixels, cx, cy):
    """The most common whole distance of the pixels from (cx, cy): a drawn circle's radius,
    whatever labels of the same colour lie elsewhere."""
    counts = {}
    for x, y in pixels:
        d = round(math.hypot(x - cx, y - cy))
        counts[d] = counts.get(d, 0) + 1
    return max(counts, key=counts.get)


def check_field(folder):
    """The circles of the field picture have the radii logged for the first frame, measured on
    the picture's pixels against its 10-pixel scale bar."""
    log = open(os.path.join(folder, "ORVEL_LOG.txt"), encoding="latin-1").read()
    inner = float(re.search(r"Inner ring radius =\s+([0-9.]+)", log).group(1))
    outer = round(float(re.search(r"Outer ring radius =\s+([0-9.]+)", log).group(1)))
    rows = read_png(os.path.join(folder, "field.png"))
    coloured = lambda test: [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row)
                             if test(p)]
    bar = coloured(lambda p: p[0] > 230 and p[1] > 230 and p[2] < 40)
    check(bar, "the scale bar is drawn")
    if not bar:
        return
    # The bar's row is the one with the most yellow pixels (its label is yellow too).
    by_row = {}
    for x, y in bar:
        by_row.setdefault(y, []).append(x)
    xs = sorted(max(by_row.values(), key=len))
    run = 1  # the bar is the first unbroken run of the row; the label follows after a gap
    while run < len(xs) and xs[run] == xs[run - 1] + 1:
        run += 1
    zoom = run / 10.0
    red = coloured(lambda p: p[0] > 200 and p[1] < 60 and p[2] < 60)
    cyan = coloured(lambda p: p[0] < 60 and p[1] > 200 and p[2] > 200)
    cx = sum(x for x, _ in red) / len(red)
    cy = sum(y for _, y in red) / len(red)
    got_inner = ring_radius(red, cx, cy) / zoom
    got_outer = ring_radius(cyan, cx, cy) / zoom
    check(abs(got_inner - inner) <= 0.5, "aperture radius %.2f px, logged %g" % (got_inner, inner))
    check(abs(got_outer - outer) <= 0.5, "annulus radius %.2f px, logged %g" % (got_outer, outer))
    orange = coloured(lambda p: p[0] > 200 and 110 < p[1] < 170 and p[2] < 60)
    check(len(orange) > 100, "the background rectangle is drawn")


def check_report(folder, results):
    """The report stands alone: its pictures are inlined PNGs, its tables hold every band and
    frame with the frame's note; headless Chromium (when installed) renders it."""
    import base64
    page = open(os.path.join(folder, "night.html"), encoding="utf-8").read()
    check(re.search(r"(src|href)=\"(?!data:)", page) is None, "nothing outside the file is used")
    images = re.findall(r'src="data:image/png;base64,([A-Za-z0-9+/=]+)"', page)
    check(len(images) == 2, "plot and field inlined (%d pictures)" % len(images))
    for data in images:
        check(base64.b64decode(data)[:8] == b"\x89PNG\r\n\x1a\n", "inlined picture is a PNG")
    for row in results:
        check("<td>%s</td>" % row["file"] in page, "frame row of " + row["file"])
        if row["note"]:
            note = row["note"].replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            check("<td>%s</td></tr>" % note in page, "note of " + row["file"])
    # The colour weights, every 5 degrees and the asked 33.3, with how to use them.
    altitudes = re.findall(r"<tr><td>([0-9.]+)</td><td>[0-9]\.[0-9]{4}</td>", page)
    check(altitudes == [str(a) for a in range(90, 30, -5)] + ["33.3", "30", "25", "20"],
          "the weights' rows in the report: %r" % altitudes)
    check("multiply R by" in page and "solar-type (G2V) star" in page,
          "the report says how to use the weights")
    chromium = shutil.which("chromium")
    if chromium:
        shot = os.path.join(folder, "report.png")
        subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu",
                        "--hide-scrollbars", "--window-size=1150,1800", "--screenshot=" + shot,
                        "file://" + os.path.join(folder, "night.html")], capture_output=True,
                       timeout=120)
        rows = read_png(shot)
        colours = {p for row in rows[::7] for p in row[::7]}
        check(len(colours) > 50, "the rendered report shows pictures (%d colours)" % len(colours))


def main():
    folder = tempfile.mkdtemp(prefix="orvel-pictures-")
    plain = tempfile.mkdtemp(prefix="orvel-pictures-plain-")
    try:
        for f in (folder, plain):
            subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", f, "--frames", "6",
                            "--size", "240x180", "--star", "120,90", "--seed", "5",
                            "--saturate", str(SATURATED)], check=True, capture_output=True)
        r = run(folder, ["--plot", "plot.svg", "--weights-at", "33.3"])
        check(r.returncode == 0, "SVG run succeeds (%s)" % r.stderr)
        r2 = run(folder, ["--plot", "plot.png", "--weights-at", "33.3", "--field", "field.png", "--report", "night.html"])
        check(r2.returncode == 0, "PNG run succeeds (%s)" % r2.stderr)
        r3 = run(folder, ["--plot", "plot.pdf", "--plot-y", "mag", "--weights-at", "33.3"])
        check(r3.returncode == 0 and open(os.path.join(folder, "plot.pdf"), "rb").read(5) ==
              b"%PDF-", "PDF plot written")
        fit = csv_rows(os.path.join(folder, "ORVEL_fit.csv"))
        results = csv_rows(os.path.join(folder, "ORVEL_results.csv"))
        check_plot(folder, fit, results)
        check_weights(folder, fit, r2.stdout)
        check_field(folder)
        check_report(folder, results)
        # The options add files; the log is the log of the run without them.
        p = run(plain, [])
        check(p.returncode == 0, "plain run succeeds")
        log = lambda d: open(os.path.join(d, "ORVEL_LOG.txt"), "rb").read()
        check(log(folder) == log(plain), "the log is byte-identical with and without the options")
        check(re.search(r"^GREEN  k = [0-9.]+ \u00b1 [0-9.]+ mag/airmass \([0-9.]+ ln/airmass\), "
                        r"R2 [0-9.]+, 5 frames$", p.stdout, re.M) is not None, "console k line")
        check("The band ratios above are at airmass 1; at airmass 0" in p.stdout, "ratios said")
    finally:
        shutil.rmtree(folder, ignore_errors=True) if not os.environ.get("KEEP") else print(folder)
        shutil.rmtree(plain, ignore_errors=True)
    if failures:
        print("%d failure(s)" % len(failures))
        return 1
    print("night pictures: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
