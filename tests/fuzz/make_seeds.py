#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/ (run once; the seeds are
kept in the repository). Plain python3, no third-party modules.

fits_fuzz seeds (first_image_fuzz starts from them too) are FITS files followed by the picks that
the target reads from the end of its input (libFuzzer's FuzzedDataProvider takes integers from
the last bytes backwards); the FITS files are the test fixtures of tests/data without their block
padding, and a few small frames made here (a star on a flat sky in each sample format, odd
keyword values, a header without END, and the legal forms a reader of fixed columns misreads:
an ENDTIME card before the END card, "END" with something after it, free-format values, a date
with its time in TIME-OBS, and the NAXIS3, IMAGETYP and SATURATE keywords). typed_line_fuzz
seeds are typed lines, piped keyboard input and command lines.
"""
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def card(text):
    return text.ljust(80)[:80].encode("latin-1")


def value_card(keyword, value):
    return card("%-8s= %20s" % (keyword, value))


def string_card(keyword, value):
    return card("%-8s= '%s'" % (keyword, value))


def free_card(keyword, value, column, comment=None):
    """A value written from the given card column on (free format)."""
    text = ("%-8s= " % keyword).ljust(column - 1) + value
    return card(text + (" / " + comment if comment else ""))


def header(cards, end=True):
    text = b"".join(cards) + (card("END") if end else b"")
    return text + b" " * ((-len(text)) % 2880)


def star_frame(columns, rows, bitpix, star=(10, 8), sky=100.0, peak=4000.0, extra=None,
               edit_cards=None):
    """A flat sky with a Gaussian star, in the given sample format; edit_cards, when given,
    turns the list of header cards into the one written."""
    values = []
    for r in range(rows):
        for c in range(columns):
            d2 = (c - star[0]) ** 2 + (r - star[1]) ** 2
            values.append(round(sky + peak * math.exp(-d2 / (2 * 1.5 ** 2))))
    for index, v in (extra or {}).items():
        values[index] = v
    bzero = 32768 if bitpix == 16 else 0
    fmt = {8: ">B", 16: ">h", 32: ">i", -32: ">f", -64: ">d"}[bitpix]
    data = b""
    for v in values:
        if bitpix > 0:
            v = int(v - bzero)
            lo, hi = {8: (0, 255), 16: (-32768, 32767), 32: (-2**31, 2**31 - 1)}[bitpix]
            v = max(lo, min(hi, v))
        data += struct.pack(fmt, v)
    cards = [value_card("SIMPLE", "T"), value_card("BITPIX", bitpix), value_card("NAXIS", 2),
             value_card("NAXIS1", columns), value_card("NAXIS2", rows),
             value_card("BSCALE", "1.0"), value_card("BZERO", "%d.0" % bzero),
             string_card("DATE-OBS", "2026-03-15T21:30:00"), value_card("EXPTIME", "30.0")]
    if edit_cards:
        cards = edit_cards(cards)
    return header(cards) + data


def picks(star_x, star_y, bg_x, bg_y, raw=False, desktop=(1920, 1080)):
    """The bytes that the fuzz target consumes from the end of the input, in its order."""
    consumed = []  # chunks in consumption order; each chunk most significant byte first

    def integral(value, lo, hi):
        span = hi - lo
        nbytes = 0
        while nbytes < 8 and (span >> (8 * nbytes)) > 0:
            nbytes += 1
        result = (value - lo) % (span + 1)
        consumed.append(result.to_bytes(nbytes, "big"))

    def probability_in(value, lo, hi):
        fraction = (value - lo) / (hi - lo)
        integral(min(2**32 - 1, int(fraction * (2**32 - 1))), 0, 2**32 - 1)

    integral(1 if raw else 0, 0, 255)
    for v in (star_x, star_y, bg_x, bg_y):
        # The target maps a window pixel p to p % (extent + 40) - 20.
        integral(v + 20, -2**31, 2**31 - 1)
    for v in (star_x, star_y, bg_x, bg_y):
        bits = struct.unpack(">I", struct.pack(">f", float(v)))[0]
        integral(bits, 0, 2**32 - 1)
    integral(desktop[0], -1, 4000)
    integral(desktop[1], -1, 3000)
    probability_in(35.0, -90.0, 90.0)
    probability_in(-106.5, -180.0, 180.0)
    probability_in(9.08, 0.0, 24.0)
    probability_in(34.5, -90.0, 90.0)
    # The provider reads each chunk from the last byte backwards: store every chunk reversed,
    # the first consumed chunk last.
    tail = b""
    for chunk in consumed:
        tail = chunk[::-1] + tail
    return tail


def fixture(name):
    with open(os.path.join(ROOT, "tests", "data", name), "rb") as f:
        data = f.read()
    return data.rstrip(b"\0")


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def fits_seeds(folder):
    write(folder, "astropy_u16", fixture("astropy_u16.fit") + picks(2, 1, 3, 2))
    write(folder, "astropy_f32", fixture("astropy_f32.fit") + picks(1, 1, 2, 1))
    write(folder, "astropy_two_blocks", fixture("astropy_two_blocks.fit") + picks(4, 3, 1, 1))
    write(folder, "star_u16", star_frame(24, 20, 16) + picks(10, 8, 20, 16))
    nan = struct.unpack(">f", b"\x7f\xc0\x00\x00")[0]
    write(folder, "star_f32_special",
          star_frame(16, 12, -32, extra={0: nan, 5: math.inf, 7: -math.inf, 9: -5.0})
          + picks(10, 8, 2, 2))
    write(folder, "star_u8", star_frame(12, 10, 8, sky=20, peak=200, star=(5, 5))
          + picks(5, 5, 1, 1))
    write(folder, "star_i32", star_frame(12, 10, 32, star=(0, 0)) + picks(0, 0, 11, 9))
    write(folder, "star_f64", star_frame(8, 6, -64, star=(7, 5)) + picks(7, 5, 0, 0, raw=True))
    odd = header([value_card("SIMPLE", "T"), value_card("BITPIX", "'abc'"),
                  value_card("NAXIS1", "-5"), card("NAXIS2  =                 1e9"),
                  value_card("BSCALE", "1D300"), value_card("BZEROX", "&HFFFF"),
                  string_card("DATE-OBS", "15/03/26"), value_card("EXPTIME", "-inf")])
    write(folder, "odd_keywords", odd + picks(0, 0, 0, 0, desktop=(0, -1)))
    no_end = header([value_card("SIMPLE", "T"), value_card("BITPIX", 16),
                     value_card("NAXIS1", 4), value_card("NAXIS2", 4)], end=False)
    write(folder, "no_end_card", no_end[:2000] + picks(1, 1, 1, 1))
    standard_form_seeds(folder)


def standard_form_seeds(folder):
    """Legal FITS forms: each a star frame that must read as its fixed-layout twin."""
    filler = [card("COMMENT filler")] * 30

    def endtime(cards):
        # ENDTIME and END-with-a-value in the first block, the real END in the second.
        return (cards[:5] + [string_card("ENDTIME", "2026-03-15T21:30:30"), card("END     x")]
                + filler + cards[5:])

    def free_format(cards):
        return [cards[0], free_card("BITPIX", "16", 11, "bits"), free_card("NAXIS", "2", 11),
                free_card("NAXIS1", "24", 35, "columns"), free_card("NAXIS2", "+20", 60),
                free_card("BSCALE", "1.0", 40), free_card("BZERO", "3.2768000000000000E+04", 11),
                free_card("DATE-OBS", "'2026-03-15T21:30:00.25'", 25, "start"),
                free_card("EXPTIME", "3.00000000000000000000E+01", 11, "seconds")]

    def time_obs(cards):
        return cards[:7] + [free_card("DATE-OBS", "'2026-03-15'", 20),
                            string_card("TIME-OBS", "21:30:00.5"), cards[8]]

    def image_kind(cards):
        return cards + [value_card("NAXIS3X", 7), value_card("NAXIS3", 1),
                        card("IMAGETYPE= 'Dark Frame'"), string_card("IMAGETYP", "Light Frame  "),
                        free_card("SATURATE", "6.5535E4", 50, "DC")]

    write(folder, "endtime_card", star_frame(24, 20, 16, edit_cards=endtime)
          + picks(10, 8, 20, 16))
    write(folder, "free_format_values", star_frame(24, 20, 16, edit_cards=free_format)
          + picks(10, 8, 20, 16))
    write(folder, "date_and_time_obs", star_frame(24, 20, 16, edit_cards=time_obs)
          + picks(10, 8, 20, 16))
    write(folder, "naxis3_imagetyp_saturate", star_frame(24, 20, 16, edit_cards=image_kind)
          + picks(10, 8, 20, 16))


def typed_seeds(folder):
    lines = {
        "answers": b"y\n Y \nyes\nN\n\nx\nY.\n",
        "angles": b"-33,52,7\n151,12,30.5\n5,55,10\n-0,30,0\n7,24,25\n",
        "numbers": b"12.5e1\n1D300\n-.5E-3\n1e999\n+7.\n&HFF\n&B101,&O17,&Q7,&777\n",
        "quotes": b"\"a,b\",c\n  \"unclosed, x\n\"\",,\n",
        "typing": b"ab\x08c\r\nX\x7f\x7fY\rN\n\x01\x02\t3\n",
        "band": b"2\n0\n-1\n3.5\nabc\n",
        "command_line": b"--lat\x0035,0,0\x00--lon\x00-111,30,0\x00--ra\x005,55,10\x00"
                        b"--dec\x007,24,25\x00--star\x00312,240\x00--background\x00100,100\x00"
                        b"--remove\x00NIGHT_0007_G.fit\x00--graph=night.png",
        "command_errors": b"--lat=1,2,3,4\x00--star\x00nan,1\x00--dir\x00/nonexistent\x00--help",
    }
    for name, data in lines.items():
        write(folder, name, data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "corpus")
    fits_seeds(os.path.join(out, "fits_fuzz"))
    typed_seeds(os.path.join(out, "typed_line_fuzz"))


if __name__ == "__main__":
    main()
