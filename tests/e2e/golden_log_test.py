#!/usr/bin/env python3
"""The whole log of a small night, byte for byte, against an expectation built here.

The script writes a night of nine tiny frames (100 x 50 pixels: four red and two blue frames
as BITPIX 16 with BZERO 32768, three green frames as BITPIX -32), runs the unattended program
on it with DISPLAY unset, and rebuilds ORVEL_LOG.txt line by line from what the log is meant to
hold: the log's number formats, 32-bit storage of every measured value, the first image's
statistics, the picks, background, star position, rings, sky level, integrated DC, magnitude
value, elevation and airmass, the graph ranges and the results block. Nothing of the
expectation is taken from the program's output or its code: every value is recomputed here
with the Python standard library, 32-bit rounding done with struct.

It also checks the standard error of k in ORVEL_fit.csv against the residuals of the
program's own line through the points of ORVEL_results.csv, and that the graph's Y range is
the magnitude range padded by 0.1 on each side.

Usage: golden_log_test.py BUILD_DIR
"""
import csv
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
from decimal import Decimal

BUILD = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else None
ORVEL = os.path.join(BUILD, "orvel") if BUILD else None
TIMEOUT = 60  # seconds for the one run of the program
CRLF = "\r\n"
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


# ---------------------------------------------------------------------------------------------
# 32-bit storage and the log's number formats
# ---------------------------------------------------------------------------------------------

def f32(x):
    """x stored as a 32-bit float (round to nearest, halves to even), given back as a double."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def number(x, p):
    """A number as the log writes it with p significant digits: a sign position (blank or
    minus), the digits in fixed or scientific form, one trailing blank."""
    if x == 0 or math.isnan(x):
        return " 0 "
    sign = "-" if x < 0 else " "
    if math.isinf(x):
        return sign + "9." + "9" * (p - 1) + "E+998 "
    exact = abs(Decimal(x)).as_tuple()  # the exact binary value in decimal
    digits = "".join(map(str, exact.digits)).lstrip("0")
    e = len("".join(map(str, exact.digits))) + exact.exponent  # |x| = 0.d1d2... x 10^e
    if len(digits) > p:
        # Only the digit after the p-th decides; an exact 5 goes to the even p-th digit.
        head, after = int(digits[:p]), int(digits[p])
        if after > 5 or (after == 5 and head % 2 == 1):
            head += 1
        if head == 10 ** p:  # carry out of the first digit
            head //= 10
            e += 1
        digits = str(head)
    digits = digits.rstrip("0")
    k = len(digits)
    if k <= e and e <= p:
        body = digits + "0" * (e - k)
    elif k > e and k - e <= p:
        body = digits[:e] + "." + digits[e:] if e > 0 else "." + "0" * (-e) + digits
    else:
        body = digits[0] + ("." + digits[1:] if k > 1 else "")
        body += "E+%d" % (e - 1) if e >= 1 else "E-%d" % (1 - e)
    return sign + body + " "


def short(x):
    """The 7-digit (single-precision) number format."""
    return number(x, 7)


def long_(x):
    """The 15-digit (double-precision) number format."""
    return number(x, 15)


def check_number_format():
    """The formatter of this script against hand-written examples of the log's number format,
    so that a mistake here cannot hide behind an agreeing program."""
    for value, p, text in [(0, 7, " 0 "), (-0.0, 7, " 0 "), (1920, 7, " 1920 "),
                           (-33, 7, "-33 "), (0.5, 7, " .5 "), (-0.25, 7, "-.25 "),
                           (12.375, 7, " 12.375 "), (1234567, 7, " 1234567 "),
                           (12345678, 7, " 1.234568E+7 "), (10000000, 7, " 1E+7 "),
                           (0.0001234, 7, " .0001234 "), (0.00001234, 7, " 1.234E-5 "),
                           (f32(0.1), 15, " .100000001490116 "), (12345678, 15, " 12345678 "),
                           (0.125, 2, " .12 "), (0.375, 2, " .38 "), (1.2500001, 2, " 1.2 "),
                           (9999999.6, 7, " 1E+7 "), (99.999999, 7, " 100 "),
                           (float("inf"), 7, " 9.999999E+998 "),
                           (float("-inf"), 7, "-9.999999E+998 "), (float("nan"), 7, " 0 ")]:
        check(number(value, p) == text,
              "number format of %r with %d digits: %r, not %r" % (value, p, number(value, p),
                                                                 text))


# ---------------------------------------------------------------------------------------------
# The night: site, star, frames (all chosen here)
# ---------------------------------------------------------------------------------------------

LAT, LON, RA, DEC = "35,5,30", "-106,30,15", "6,10,30", "20,15,0"
COLUMNS, ROWS = 100, 50
SKY = 1000.0
STAR = (50, 25)          # column, row of the star's brightest pixel, also the --star pick
BACKGROUND = (10, 10)    # the --background pick
EXPTIME = 30.0

# Pixels that differ from the flat sky in every frame: the patch under the background pick
# (its first eight pixels in row order are what the background statistics see: 997..1004,
# median 1000.5), two outliers just past those eight (1500 at column 11 of row 10 and 500 in row
# 11, which the rectangle must not take), and one zero pixel that the first image's statistics
# must leave out.
SKY_PATTERN = {(8, 9): 998, (9, 9): 1001, (10, 9): 1003, (11, 9): 999, (12, 9): 1000,
               (8, 10): 1002, (9, 10): 997, (10, 10): 1004, (11, 10): 1500, (12, 10): 1000,
               (8, 11): 500, (99, 49): 0}

# The star above the sky, per unit of brightness, by offset (column, row) from its centre: a
# bright core, a slightly brighter pixel to the right (so that the centroid is off the centre),
# and a faint second ring, so that the ring medians settle at ring 5.
def star_profile():
    profile = {(0, 0): 8000.0}
    for dc, dr in [(1, 0), (-1, 0), (0, 1), (0, -1)]:
        profile[(dc, dr)] = 4400.0 if (dc, dr) == (1, 0) else 4000.0
    for dc, dr in [(1, 1), (1, -1), (-1, 1), (-1, -1)]:
        profile[(dc, dr)] = 2000.0
    for dc in range(-2, 3):
        for dr in range(-2, 3):
            if dc * dc + dr * dr in (4, 5):
                profile[(dc, dr)] = 600.0 if dc * dc + dr * dr == 4 else 300.0
    return profile


# Frames: name, BITPIX, DATE-OBS, band's extinction used to dim the star, and a small scatter so
# that the fitted lines do not pass through every point.
FRAMES = [
    ("NIGHT_0001_R.fit", 16, "2022-03-15T03:10:00", 0.12, 1.000),
    ("NIGHT_0004_R.fit", 16, "2022-03-15T04:20:00", 0.12, 1.012),
    ("NIGHT_0007_R.fit", 16, "2022-03-15T05:30:00", 0.12, 0.991),
    ("NIGHT_0010_R.fit", 16, "2022-03-15T06:25:00", 0.12, 1.004),
    ("NIGHT_0002_G.fit", -32, "2022-03-15T03:12:30", 0.20, 1.000),
    ("NIGHT_0005_G.fit", -32, "2022-03-15T04:22:30", 0.20, 0.985),
    ("NIGHT_0008_G.fit", -32, "2022-03-15T05:32:30", 0.20, 1.010),
    ("NIGHT_0003_B.fit", 16, "2022-03-15T03:15:00", 0.30, 1.000),
    ("NIGHT_0009_B.fit", 16, "2022-03-15T05:35:00", 0.30, 0.996),
]


def frame_pixels(bitpix, brightness):
    """Rows of pixel values: flat sky, the fixed pattern, the star scaled by brightness. The
    star's excess is whole for BITPIX 16 and a multiple of 1/4 for BITPIX -32, so every value
    and every sum below stays exact in 32 bits where it should."""
    step = 1.0 if bitpix == 16 else 0.25
    image = [[SKY] * COLUMNS for _ in range(ROWS)]
    for (c, r), v in SKY_PATTERN.items():
        image[r][c] = float(v)
    for (dc, dr), v in star_profile().items():
        image[STAR[1] + dr][STAR[0] + dc] = SKY + round(v * brightness / step) * step
    return image


# ---------------------------------------------------------------------------------------------
# FITS bytes, written with struct only
# ---------------------------------------------------------------------------------------------

def card(key, value):
    """One 80-character card; numbers right-aligned to column 30, strings from column 11."""
    if isinstance(value, str):
        text = key.ljust(8) + "= " + "'" + value + "'"
    else:
        text = key.ljust(8) + "= " + str(value).rjust(20)
    return text.ljust(80)


def fits_bytes(bitpix, date_obs, image):
    cards = ["SIMPLE  =                    T".ljust(80), card("BITPIX", bitpix),
             card("NAXIS", 2), card("NAXIS1", COLUMNS), card("NAXIS2", ROWS),
             card("BSCALE", 1.0), card("BZERO", 32768.0 if bitpix == 16 else 0.0)]
    cards += [card("DATE-OBS", date_obs), card("EXPTIME", EXPTIME), card("OBJECT", "GOLDEN"),
              "END".ljust(80)]
    header = "".join(cards)
    header += " " * (-len(header) % 2880)
    values = [v for row in image for v in row]  # column fastest, row 0 first
    if bitpix == 16:
        data = struct.pack(">%dh" % len(values), *[int(v) - 32768 for v in values])
    else:
        data = struct.pack(">%df" % len(values), *values)
    data += b"\0" * (-len(data) % 2880)
    return header.encode("ascii"), data


# ---------------------------------------------------------------------------------------------
# Independent computation of every logged value
# ---------------------------------------------------------------------------------------------

def median_of(values):
    """Median of a list: the middle value, or (a + b) x 0.5 of the two middle ones, stored."""
    s = sorted(values)
    n = len(s)
    return s[n // 2] if n % 2 else f32((s[n // 2 - 1] + s[n // 2]) * 0.5)


def decimal_angle(text, signed=True):
    """The typed fields d,m,s (each stored in 32 bits) and the decimal value; the sign of the
    whole angle comes from the degrees field alone (none for the right ascension)."""
    d, m, s = [f32(float(t)) for t in text.split(",")]
    sign = 1.0
    if signed and d < 0:
        sign, d = -1.0, -d
    return f32(sign * (d + (m + s / 60.0) / 60.0)), sign, d, m, s


COMMON_YEAR = [0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334]
LEAP_YEAR = [0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335]
# Days from J2000.0 (2000 January 1, 12h UT) to 0h UT of January 0 of each year.
YEAR_START = dict(zip(range(1998, 2023), [
    -731.5, -366.5, -1.5, 364.5, 729.5, 1094.5, 1459.5, 1825.5, 2190.5, 2555.5, 2920.5, 3286.5,
    3651.5, 4016.5, 4381.5, 4747.5, 5112.5, 5477.5, 5842.5, 6208.5, 6573.5, 6938.5, 7303.5,
    7669.5, 8034.5]))
F_100_46 = f32(100.46)
RAD = math.pi / 180


def days_since_j2000(date_obs):
    """UT in hours and days since J2000.0 from a DATE-OBS text, leap years every fourth."""
    y, mo, d = int(date_obs[0:4]), int(date_obs[5:7]), int(date_obs[8:10])
    h, mi, s = int(date_obs[11:13]), int(date_obs[14:16]), int(date_obs[17:19])
    ut = f32(h + (mi + s / 60.0) / 60.0)
    table = LEAP_YEAR if (y // 4) * 4 == y else COMMON_YEAR
    dn = f32(d + table[mo - 1])
    return ut, f32(ut / 24 + dn + YEAR_START[y])


def geometry(date_obs, lat, lon, ra, dec):
    """Elevation and Hardie airmass, each working value stored in 32 bits: sidereal time,
    hour angle (each brought back into range once only), sines and cosines, elevation, zenith
    angle in radians, sec z, the airmass polynomial in sec z - 1."""
    ut, days = days_since_j2000(date_obs)
    theta = f32(0.985647 * days + F_100_46 + lon + 15 * ut)
    if theta > 360:
        theta = f32(theta - 360)
    if theta < 0:
        theta = f32(theta + 360)
    hour_angle = f32(theta - ra * 360 / 24)
    if hour_angle > 360:
        hour_angle = f32(hour_angle - 360)
    if hour_angle < 0:
        hour_angle = f32(hour_angle + 360)
    sin_lat, cos_lat = f32(math.sin(lat * RAD)), f32(math.cos(lat * RAD))
    sin_dec, cos_dec = f32(math.sin(dec * RAD)), f32(math.cos(dec * RAD))
    cos_h = f32(math.cos(hour_angle * RAD))
    sin_el = f32(sin_lat * sin_dec + cos_lat * cos_dec * cos_h)
    elevation = f32(math.atan(sin_el / math.sqrt(1 - sin_el * sin_el)) * 180 / math.pi)
    zenith_rad = f32((90 - elevation) * math.pi / 180)
    sec_z = f32(1 / math.cos(zenith_rad))
    u = sec_z - 1
    airmass = f32(sec_z - 0.0018167 * u - 0.002875 * u * u - 0.000808 * u * u * u)
    return elevation, airmass


def setup():
    lat = decimal_angle(LAT)[0]
    lon = decimal_angle(LON)[0]
    ra = decimal_angle(RA, signed=False)[0]
    dec = decimal_angle(DEC)[0]
    return lat, lon, ra, dec


def distance(c, r, xc, yc):
    return f32(math.sqrt((r - yc) ** 2 + (c - xc) ** 2))


def visit(image, xc, yc, half, take):
    """Pixels of the square about (xc, yc), rows then columns ascending, that `take` accepts."""
    return [image[r][c] for r in range(yc - half, yc + half + 1)
            for c in range(xc - half, xc + half + 1) if take(distance(c, r, xc, yc))]


# ---------------------------------------------------------------------------------------------
# The expected log, one function per section
# ---------------------------------------------------------------------------------------------

class Log:
    def __init__(self):
        self.lines = []

    def line(self, *items):
        self.lines.append("".join(items))

    def empty(self):
        self.lines.append("")

    def text(self):
        return "".join(l + CRLF for l in self.lines)


def title_and_screen(log, screen):
    """Title and desktop size. The desktop is an input of the run, not a measurement (a run
    without a window has no display to measure), so its two whole numbers come from the run;
    their long-form layout is still checked here."""
    log.line("ORVEL LOG")
    log.empty()
    log.line("Monitor Screen Size (Width, Height in pixels)-")
    log.line("Width = ", long_(screen[0]), "     Height = ", long_(screen[1]))


def coordinates_section(log):
    log.empty()
    for label, text, signed in [("Site Latitude (d,m,s) = ", LAT, True),
                                ("Site Longitude (d,m,s) = ", LON, True),
                                ("Star RA (h,m,s) = ", RA, False),
                                ("Star Dec (d,m,s) = ", DEC, True)]:
        _, sign, d, m, s = decimal_angle(text, signed)
        log.line(label, short(sign * d), ", ", short(m), ", ", short(s))


def ordered_names():
    """The list as the program gives it: red, then green, then blue, each band in name order."""
    return [name for band in "RGB" for name in sorted(n for n, *_ in FRAMES if n[-5] == band)]


def discovery_section(log, names):
    log.empty()
    log.line("Total Number of Image Files Read = ", short(len(names)))
    log.empty()
    log.line("List of Image Files Read-")
    for name in names:
        log.line(name)
    log.empty()
    for label, band in [("# Red Files = ", "R"), ("# Green Files = ", "G"),
                        ("# Blue Files = ", "B")]:
        log.line(label, short(sum(1 for n in names if n[-5] == band)))


def file_header_section(log, index, name, header, bitpix, date_obs):
    log.empty()
    log.line("Current file number = ", short(index), "  (", name, ")")
    log.empty()
    log.line("File type = ", short("RGB".index(name[-5]) + 1))
    log.empty()
    log.line("ORIGINAL FILE HEADER:")
    log.line(header.decode("ascii"))
    log.empty()
    log.line("From FITS image header:")
    log.line("Image type (BITPIX) = ", short(bitpix))
    log.empty()
    columns = "Columns in image = " + short(COLUMNS)
    columns += " " * (14 - len(columns) % 14)  # to the next print zone of 14 characters
    log.line(columns, " Rows in image = ", short(ROWS))
    log.empty()
    log.line("Value of BSCALE = ", short(1.0))
    log.empty()
    log.line("Value of BZERO = ", short(32768.0 if bitpix == 16 else 0.0))
    log.empty()
    log.line("Year, month, day = ", short(int(date_obs[0:4])), short(int(date_obs[5:7])),
             short(int(date_obs[8:10])))
    log.line("Hour, minutes, seconds = ", short(int(date_obs[11:13])),
             short(int(date_obs[14:16])), short(int(date_obs[17:19])))
    log.empty()
    log.line("Exposure time (sec) = ", short(EXPTIME))


def pixel_count_section(log, bitpix):
    log.empty()
    size = 2 if bitpix == 16 else 4
    log.line("Number of %d-byte data strings read from file = " % size, long_(COLUMNS * ROWS))


def first_image_section(log, image):
    """Statistics of the non-zero pixels of the first frame, running sums in double precision
    (mean and variance each rounded to 32 bits), then the screen factor (0: a run without a window works at a factor of 1)."""
    included, total, squares = [], 0.0, 0.0
    largest, smallest = -64000.0, 64000.0
    for row in image:
        for v in row:
            if v == 0 or math.isnan(v):
                continue
            included.append(v)
            largest, smallest = max(largest, v), min(smallest, v)
            total += v
            squares += v * v
    n = len(included)
    mean = f32(total / n)
    variance = f32(squares / n - (total / n) ** 2)
    deviation = f32(math.sqrt(variance)) if variance >= 0 else variance
    ordered = sorted(included)
    low = ordered[round(f32(0.01) * n) - 1]
    high = ordered[round(f32(0.999) * n) - 1]
    log.empty()
    log.line("Scale first image for display- ")
    log.line("# pixels in image = ", long_(COLUMNS * ROWS))
    log.line("# pixels included in analysis = ", long_(n))
    log.line("Largest pixel value in image  = ", short(largest))
    log.line("Smallest pixel value (>0) in image = ", short(smallest))
    log.line("Average DC = ", short(mean))
    log.line("STD DEV DC = ", short(deviation))
    log.line("Median pixel value = ", short(median_of(included)))
    log.line("1 Percentile DC value =    ", short(low))
    log.line("99.9 Percentile DC value = ", short(high))
    log.empty()
    log.line("Screen Factor = ", short(0))


def picks_section(log):
    log.empty()
    log.line("Initial target star position:")
    log.line("   COLUMN = ", short(STAR[0]))
    log.line("      ROW = ", short(STAR[1]))
    log.empty()
    log.line("Initial background rectangle position:")
    log.line("   COLUMN = ", short(BACKGROUND[0]))
    log.line("      ROW = ", short(BACKGROUND[1]))


def background_rectangle():
    """Corners about the background pick: half-sizes NAXIS1/50 and NAXIS2/50, clipped."""
    hw = f32(COLUMNS / 50)
    hh = f32(ROWS * hw / COLUMNS)
    x1, x2 = max(f32(BACKGROUND[0] - hw), 1.0), min(f32(BACKGROUND[0] + hw), COLUMNS)
    y1, y2 = max(f32(BACKGROUND[1] - hh), 1.0), min(f32(BACKGROUND[1] + hh), ROWS)
    return x1, y1, x2, y2


def background_section(log, image):
    """The first n pixels of the rectangle in row order, n = height x truncated width."""
    x1, y1, x2, y2 = background_rectangle()
    n = round((y2 - y1) * math.trunc(x2 - x1))
    taken = [image[r][c] for r in range(math.trunc(y1), math.trunc(y2) + 1)
             for c in range(math.trunc(x1), math.trunc(x2) + 1)][:n]
    total, squares = 0.0, 0.0
    for v in taken:
        total += v
        squares += v * v
    mean = f32(total / n)
    variance = f32(squares / n - (total / n) ** 2)
    deviation = f32(math.sqrt(variance)) if variance >= 0 else variance
    level = median_of(taken)
    log.empty()
    log.line("Largest pixel value in background rectangle  = ", short(max([-64000.0] + taken)))
    log.line("Smallest pixel value in background rectangle = ", short(min([64000.0] + taken)))
    log.line("Average background rectangle DC = ", short(mean))
    log.line("STD DEV background rectangle DC = ", short(deviation))
    log.line("Median pixel value in background rectangle (background)= ", short(level))
    return level


def star_position_section(log, image, level):
    """Brightest pixel of the 21 x 21 square about the pick (first of equal maxima in row
    order), then the background-weighted centroid of the same square."""
    xs, ys, h = STAR[0], STAR[1], 10
    brightest, bc, br = -64000.0, 0, 0
    s = sx = sy = 0.0
    for r in range(ys - h, ys + h + 1):
        for c in range(xs - h, xs + h + 1):
            v = image[r][c]
            if v > brightest:
                brightest, bc, br = v, c, r
            s = f32(s + (v - level))
            sx = f32(sx + (v - level) * c)
            sy = f32(sy + (v - level) * r)
    log.empty()
    log.line("Target star position in original image by brightest pixel:")
    log.line("   COLUMN = ", short(bc))
    log.line("      ROW = ", short(br))
    log.line("Maximum pixel DC = ", short(brightest))
    log.line("Target star position in original image by centroid method:")
    log.line("   COLUMN = ", short(f32(sx / s)))
    log.line("      ROW = ", short(f32(sy / s)))
    return bc, br


def rings_section(log, image, xc, yc):
    """Rings one pixel wide until two successive medians change by less than 1%, the annulus
    out to sqrt(2) times the stopping ring for the sky level, the aperture sum, ln of it."""
    log.empty()
    log.line("Data for rings:")
    old = old2 = 0.0
    limit = f32(0.01)
    radius = 101
    for k in range(1, 101):
        ring = visit(image, xc, yc, k, lambda d: k - 0.5 < d < k + 0.5)
        m = median_of(ring)
        log.line("  Ring # ", short(k), " pixels in ring = ", long_(len(ring)), " median DC = ",
                 short(m), " old median = ", short(old), " old median 2 = ", short(old2))
        if k >= 3:
            r1 = f32(abs(m - old) / old) if old else float("inf")
            r2 = f32(abs(m - old2) / old2) if old2 else float("inf")
            if r1 < limit and r2 < limit:
                radius = k
                break
        old2, old = (old, m) if k >= 2 else (old2, m)
    inner = float(radius)
    outer = f32(math.sqrt(2 * inner * inner))
    reach = round(outer)
    log.empty()
    log.line("Inner ring radius = ", short(inner))
    log.line("Outer ring radius = ", short(outer))
    annulus = visit(image, xc, yc, reach, lambda d: radius < d <= reach)
    sky = median_of(annulus)
    log.line("Number of pixels in outer ring = ", long_(len(annulus)))
    log.line("Median background DC = ", short(sky))
    integrated = 0.0
    for v in visit(image, xc, yc, radius, lambda d: d <= radius):
        integrated = f32((v + integrated) - sky)
    log.line("Integrated star DC - background = ", short(integrated))
    magnitude = math.log(integrated) if integrated > 0 else 0.0
    log.line("Stellar Magnitude = ", long_(magnitude))
    return f32(magnitude)


def airmass_section(log, date_obs, coordinates):
    elevation, airmass = geometry(date_obs, *coordinates)
    log.empty()
    log.line("Stellar Elevation Angle (deg) = ", short(elevation))
    log.line("Stellar Zenith Angle (deg) = ", long_(90 - elevation))
    log.line("Optical Airmass (X) = ", short(airmass))
    return airmass


def graph_ranges(observations):
    xs = [x for _, x, _ in observations]
    ys = [y for _, _, y in observations]
    largest_x = max([0.0] + xs)
    return (1.0, f32(1 + math.trunc(largest_x)),
            f32(min([9999.0] + ys) - f32(0.1)), f32(max([0.0] + ys) + f32(0.1)))


def graph_ranges_section(log, observations):
    x_from, x_to, y_from, y_to = graph_ranges(observations)
    log.empty()
    log.line("For graphing array-")
    log.line("  Columns = ", short(640), "  Min X Value = ", short(x_from), "  Max X Value = ",
             short(x_to))
    log.line("     Rows = ", short(480), "  Min Y Value = ", short(y_from), "  Max Y Value = ",
             short(y_to))


def band_fit(points):
    """Least squares of magnitude value on airmass in 32-bit sums: the means first, then slope,
    intercept and R2 = Cxy^2 / (Cxx Cyy) from sums about the means."""
    n = len(points)
    sx = sy = 0.0
    for x, y in points:
        sx, sy = f32(sx + x), f32(sy + y)
    mx, my = f32(sx / n), f32(sy / n)
    cxy = cxx = cyy = 0.0
    for x, y in points:
        cxy = f32(cxy + (y - my) * (x - mx))
        cxx = f32(cxx + (x - mx) * (x - mx))
        cyy = f32(cyy + (y - my) * (y - my))
    slope = f32(cxy / cxx)
    intercept = f32(my - mx * slope)
    r2 = f32(cxy * cxy / (cxx * cyy))
    return slope, intercept, r2


def final_results_section(log, observations):
    log.empty()
    log.line("----------  FINAL RESULTS  --------------------")
    log.empty()
    log.line("Extinction Coefficients:")
    labels = {"R": ("    RED = ", "   RED Slope = ", "   RED    Y at X="),
              "G": ("  GREEN = ", " GREEN Slope = ", " GREEN    Y at X="),
              "B": ("   BLUE = ", "  BLUE Slope = ", "  BLUE    Y at X=")}
    fits = {}
    for band in "RGB":
        points = [(x, y) for b, x, y in observations if b == band]
        fits[band] = band_fit(points)
        log.line(labels[band][0], short(-fits[band][0]), "  # Files = ", short(len(points)),
                 "  # Analyzed = ", short(len(points)))
    log.empty()
    log.line("Regression parameters-")
    for band in "RGB":
        slope, intercept, r2 = fits[band]
        log.line(labels[band][1], short(slope), "   Y-Intercept (Mag) = ", short(intercept),
                 "   R2 = ", short(r2))
    one = {b: f32(math.exp(fits[b][1] + fits[b][0])) for b in "RGB"}
    zero = {b: f32(math.exp(fits[b][1])) for b in "RGB"}
    for title, at, signal in [("One-atmosphere Results (optical thickness X=1)-", "1", one),
                              ("Exoatmospheric Results (optical thickness X=0)-", "0", zero)]:
        log.empty()
        log.line(title)
        top = max(signal.values())
        for band in "RGB":
            log.line(labels[band][2], at, " (ADUs) = ", short(signal[band]), "   Ratio = ",
                     short(f32(signal[band] / top)))
    return fits


def expected_log(frames, screen):
    """The whole log of the night, in the order the program writes it."""
    log = Log()
    coordinates = setup()
    title_and_screen(log, screen)
    coordinates_section(log)
    names = ordered_names()
    discovery_section(log, names)
    observations = []
    for index, name in enumerate(names, 1):
        bitpix, date_obs, image, header = frames[name]
        file_header_section(log, index, name, header, bitpix, date_obs)
        pixel_count_section(log, bitpix)
        if index == 1:
            first_image_section(log, image)
            picks_section(log)
        level = background_section(log, image)
        xc, yc = star_position_section(log, image, level)
        magnitude = rings_section(log, image, xc, yc)
        airmass = airmass_section(log, date_obs, coordinates)
        observations.append((name[-5], airmass, magnitude))
    graph_ranges_section(log, observations)
    final_results_section(log, observations)
    return log.text(), observations


def check_ring_geometry():
    """The ring membership rule against the pixel counts known for a centre far from the
    edges: rings 1 to 10, and the annulus and aperture for inner radii 3, 5 and 10."""
    big = [[0.0] * 61 for _ in range(61)]
    counts = [len(visit(big, 30, 30, k, lambda d: k - 0.5 < d < k + 0.5)) for k in range(1, 11)]
    check(counts == [8, 12, 16, 32, 28, 40, 40, 48, 68, 56], "ring pixel counts %r" % counts)
    for k, reach, annulus, aperture in [(3, 4, 20, 29), (5, 7, 68, 81), (10, 14, 296, 317)]:
        got = (round(f32(math.sqrt(2.0 * k * k))),
               len(visit(big, 30, 30, 14, lambda d: k < d <= round(f32(math.sqrt(2.0 * k * k))))),
               len(visit(big, 30, 30, k, lambda d: d <= k)))
        check(got == (reach, annulus, aperture), "annulus of radius %d: %r" % (k, got))


def check_hand_worked_values(frames):
    """Values of this night and of the calendar worked out by hand, so that the computation
    above is itself held to numbers known beforehand."""
    check(days_since_j2000("2000-01-01T12:00:00")[1] == 0.0, "J2000.0 is day 0")
    check(days_since_j2000("2000-03-01T00:00:00")[1] == 59.5, "2000 March 1 is day 59.5")
    # Hardie's polynomial at 30 degrees elevation (sec z = 2): 2 - 0.0018167 - 0.002875 -
    # 0.000808 = 1.9945003.
    check(abs((2 - 0.0018167 - 0.002875 - 0.000808) - 1.9945003) < 1e-12, "airmass at 30 deg")
    # The background patch: 998 1001 1003 999 1000 1002 997 1004, sum 8004, mean 1000.5,
    # squares 8008044, variance 8008044 / 8 - 1000.5^2 = 5.25, median (1000 + 1001) / 2.
    log = Log()
    level = background_section(log, frames["NIGHT_0001_R.fit"][2])
    check(log.lines[1:] == ["Largest pixel value in background rectangle  =  1004 ",
                            "Smallest pixel value in background rectangle =  997 ",
                            "Average background rectangle DC =  1000.5 ",
                            "STD DEV background rectangle DC =  2.291288 ",
                            "Median pixel value in background rectangle (background)=  1000.5 "]
          and level == 1000.5, "hand-worked background statistics: %r" % log.lines)
    # The star's light ends with ring 2, so rings 3, 4 and 5 hold sky only and the growth stops
    # at ring 5: outer radius sqrt(50) = 7.071068, annulus out to 7 of 68 sky pixels.
    log = Log()
    rings_section(log, frames["NIGHT_0001_R.fit"][2], *STAR)
    check(log.lines[8:12] == ["Inner ring radius =  5 ", "Outer ring radius =  7.071068 ",
                              "Number of pixels in outer ring =  68 ",
                              "Median background DC =  1000 "],
          "hand-worked ring radii: %r" % log.lines[8:12])


# ---------------------------------------------------------------------------------------------
# Writing the night, running the program, comparing
# ---------------------------------------------------------------------------------------------

def write_night(folder):
    """The frames with the star dimmed by exp(-k X) at each frame's own airmass."""
    coordinates = setup()
    frames = {}
    for name, bitpix, date_obs, k, scatter in FRAMES:
        _, airmass = geometry(date_obs, *coordinates)
        image = frame_pixels(bitpix, math.exp(-k * airmass) * scatter)
        header, data = fits_bytes(bitpix, date_obs, image)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(header + data)
        frames[name] = (bitpix, date_obs, image, header)
    return frames


def screen_size(log_text):
    """The desktop size of the run, an input of the program (a run without a window measures
    no display): the two whole numbers of the "Width = " line, which must be written in the
    long form."""
    for line in log_text.split(CRLF):
        if line.startswith("Width = "):
            parts = line[len("Width = "):].split("     Height = ")
            try:
                return int(parts[0]), int(parts[1])
            except (ValueError, IndexError):
                break
    return (0, 0)


def show_difference(expected, actual, most=3):
    """The first differing lines, expected against actual, with their line numbers."""
    exp_lines, act_lines = expected.split(CRLF), actual.split(CRLF)
    shown = 0
    for i in range(max(len(exp_lines), len(act_lines))):
        e = exp_lines[i] if i < len(exp_lines) else "<end of log>"
        a = act_lines[i] if i < len(act_lines) else "<end of log>"
        if e != a:
            print("line %d:" % (i + 1))
            print("  expected: %r" % e[:300])
            print("  actual:   %r" % a[:300])
            shown += 1
            if shown == most:
                return


def check_standard_errors(folder):
    """k_standard_error of every band with three or more frames against the residuals of the
    program's own line, in double precision, divided by n - 2. The table gives the magnitude
    value as logged (the logarithm in full); the fit works on it stored in 32 bits, so the
    points are taken that way."""
    with open(os.path.join(folder, "ORVEL_results.csv"), newline="") as f:
        rows = [r for r in csv.DictReader(f) if r["included"] == "1"]
    with open(os.path.join(folder, "ORVEL_fit.csv"), newline="") as f:
        fits = list(csv.DictReader(f))
    checked = 0
    for fit in fits:
        points = [(float(r["airmass"]), f32(float(r["magnitude_value"]))) for r in rows
                  if r["band"] == fit["band"]]
        if len(points) < 3:
            continue
        intercept, slope = float(fit["intercept"]), -float(fit["k"])
        n = len(points)
        mean_x = sum(x for x, _ in points) / n
        residuals = sum((y - (intercept + slope * x)) ** 2 for x, y in points)
        spread = sum((x - mean_x) ** 2 for x, _ in points)
        expected = math.sqrt(residuals / (n - 2) / spread)
        got = float(fit["k_standard_error"]) if fit["k_standard_error"] else float("nan")
        check(abs(got - expected) <= 1e-6 * expected,
              "standard error of k of band %s: %r, from the residuals %r" % (fit["band"], got,
                                                                           expected))
        checked += 1
    check(checked == 2, "standard error checked for the red and the green band (%d)" % checked)
    return rows


def check_y_range(log_text, rows):
    """Min and Max Y of the graph ranges: the magnitude values padded by 0.1 each side."""
    magnitudes = [f32(float(r["magnitude_value"])) for r in rows]
    line = [l for l in log_text.split(CRLF) if l.startswith("     Rows = ")]
    if not line:
        check(False, "the graph range line with Min Y Value")
        return
    low = float(line[0].split("Min Y Value = ")[1].split()[0])
    high = float(line[0].split("Max Y Value = ")[1].split()[0])
    check(short(f32(min(magnitudes) - f32(0.1))) == short(low) and
          abs(low - (min(magnitudes) - 0.1)) < 1e-5,
          "Min Y Value %r is the smallest magnitude value %r less 0.1" % (low, min(magnitudes)))
    check(short(f32(max(magnitudes) + f32(0.1))) == short(high) and
          abs(high - (max(magnitudes) + 0.1)) < 1e-5,
          "Max Y Value %r is the largest magnitude value %r plus 0.1" % (high, max(magnitudes)))


def run_checks():
    if not BUILD:
        print("usage: golden_log_test.py BUILD_DIR")
        sys.exit(2)
    check_number_format()
    check_ring_geometry()
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    folder = tempfile.mkdtemp(prefix="orvel-golden-")
    try:
        frames = write_night(folder)
        check_hand_worked_values(frames)
        args = ["--lat", LAT, "--lon", LON, "--ra", RA, "--dec", DEC,
                "--star", "%d,%d" % STAR, "--background", "%d,%d" % BACKGROUND, "--dir", folder]
        try:
            r = subprocess.run([ORVEL] + args, cwd=folder, capture_output=True, text=True,
                               stdin=subprocess.DEVNULL, env=env, timeout=TIMEOUT)
            check(r.returncode == 0, "the night runs unattended (status %d, %s)"
                  % (r.returncode, r.stderr.strip()))
        except (OSError, subprocess.TimeoutExpired) as e:
            check(False, "the night runs unattended: %s" % e)
            return
        try:
            with open(os.path.join(folder, "ORVEL_LOG.txt"), "rb") as f:
                actual = f.read().decode("latin-1")
        except OSError as e:
            check(False, "ORVEL_LOG.txt is written: %s" % e)
            return
        expected, _ = expected_log(frames, screen_size(actual))
        if actual != expected:
            check(False, "ORVEL_LOG.txt differs from the expected log")
            show_difference(expected, actual)
        try:
            rows = check_standard_errors(folder)
        except (OSError, KeyError, ValueError) as e:
            check(False, "ORVEL_results.csv and ORVEL_fit.csv can be read: %r" % e)
            return
        check_y_range(actual, rows)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    run_checks()
    print("golden log: %d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
