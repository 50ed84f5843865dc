#!/usr/bin/env python3
"""ORVEL benchmarks, each against a baseline measured in the same run.

(a) first-frame statistics of a 6000x4000 16-bit frame, against one read-and-decode of it;
(b) unattended runs over 100 and 300 frames of 4144x2822 16-bit, against `cat` of the same
    files to /dev/null with the page cache warm, with the cost per frame;
(c) the peak memory of (b), in frames;
(d) an unattended run over one such frame, against one read-and-decode of it;
(e) numpy's median and percentiles of the frame of (d), against ORVEL's statistics of it.
Every figure is the median of several runs, with the spread (lowest to highest) beside it.

Usage: run_bench.py BUILD_DIR [WORK_DIR] [--frames-per-band N]
"""
import os
import statistics
import subprocess
import sys
import time

BUILD = os.path.abspath(sys.argv[1])
WORK = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 and not sys.argv[2].startswith("--")
                       else os.path.join(BUILD, "bench-data"))
PER_BAND = 100
if "--frames-per-band" in sys.argv:
    PER_BAND = int(sys.argv[sys.argv.index("--frames-per-band") + 1])


def simulate(folder, size, frames):
    marker = os.path.join(folder, "what-to-type.txt")
    if os.path.exists(marker):
        return open(marker).read()
    os.makedirs(folder, exist_ok=True)
    out = subprocess.run([os.path.join(BUILD, "orvel-simulate"), "--out", folder, "--size", size,
                          "--frames", str(frames)], check=True, capture_output=True, text=True)
    open(marker, "w").write(out.stdout)
    return out.stdout


def timed(argv, **kwargs):
    """Wall time and peak resident memory (bytes) of one run of a command."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, **kwargs)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit("%s failed with status %d" % (argv[0], proc.returncode))
    return elapsed, usage.ru_maxrss * 1024


RUNS = 5


def median_of(runs, argv, **kwargs):
    """Median wall time, (lowest, highest), and the largest peak memory of several runs."""
    results = [timed(argv, **kwargs) for _ in range(runs)]
    times = [r[0] for r in results]
    return statistics.median(times), (min(times), max(times)), max(r[1] for r in results)


def spread(low_high, scale=1.0, digits=2):
    return "(%.*f to %.*f)" % (digits, low_high[0] * scale, digits, low_high[1] * scale)


def first_frame_figures(frame, repeats):
    """Read-and-decode and statistics seconds of the first frame, each the median of runs."""
    reads, stats = [], []
    for _ in range(repeats):
        out = subprocess.run([os.path.join(BUILD, "first_frame_bench"), frame, "1"], check=True,
                             capture_output=True, text=True).stdout.split()
        reads.append(float(out[2]))
        stats.append(float(out[3]))
    return reads, stats


def numpy_statistics(frame, repeats):
    """Seconds numpy takes for the median and percentiles of the frame (read excluded)."""
    code = """
import sys, time, numpy
raw = open(sys.argv[1], 'rb').read()
start = raw.find(b'END' + b' ' * 77)
data = start - start % 2880 + 2880
rows, cols = int(sys.argv[2]), int(sys.argv[3])
image = (numpy.frombuffer(raw, '>i2', rows * cols, data).astype(numpy.float32) + 32768.0)
times = []
for _ in range(int(sys.argv[4])):
    t = time.perf_counter()
    numpy.median(image); numpy.percentile(image, [1, 5, 25, 75, 95, 99])
    times.append(time.perf_counter() - t)
print(' '.join(map(str, times)))
"""
    out = subprocess.run(["/usr/bin/python3", "-c", code, frame, "2822", "4144", str(repeats)],
                         check=True, capture_output=True, text=True).stdout.split()
    return [float(t) for t in out]


def night_argv(night, typed):
    values = [line.split()[-1] for line in typed.splitlines()
              if "(D,M,S)" in line or "(H,M,S)" in line]
    star = typed.split("row from the first row in the file):")[1].split()[0:2]
    column, row = star[0].rstrip(","), star[1]
    return [os.path.join(BUILD, "orvel"), "--lat", values[0], "--lon", values[1], "--ra",
            values[2], "--dec", values[3], "--star",
            "%d,%d" % (round(float(column)), round(float(row))), "--background", "100,100",
            "--dir", night]


def night_against_cat(per_band):
    """(b) for one night: frames, file size, cat and orvel medians, spreads and peak memory."""
    night = os.path.join(WORK, "night-4144x2822-%d" % per_band)
    argv = night_argv(night, simulate(night, "4144x2822", per_band))
    frames = sorted(os.path.join(night, f) for f in os.listdir(night) if f.endswith(".fit"))
    cat = ["cat"] + frames
    timed(cat, stdout=subprocess.DEVNULL)  # warm the page cache
    cat_time, cat_spread, _ = median_of(RUNS, cat, stdout=subprocess.DEVNULL)
    run_time, run_spread, peak = median_of(RUNS, argv, stdout=subprocess.DEVNULL)
    n = len(frames)
    print("    %d frames: cat %.3f s %s, orvel %.3f s %s, %.2f ms per frame, ratio %.2f x cat"
          % (n, cat_time, spread(cat_spread, digits=3), run_time, spread(run_spread, digits=3),
             run_time / n * 1e3, run_time / cat_time))
    return os.path.getsize(frames[0]), peak


def main():
    cores = os.cpu_count()
    print("ORVEL benchmarks on %d cores" % cores)
    print()

    # (a) first-frame statistics against one read-and-decode.
    big = os.path.join(WORK, "frame-6000x4000")
    simulate(big, "6000x4000", 1)
    frame = os.path.join(big, "NIGHT_0001_R.fit")
    reads, stats = first_frame_figures(frame, RUNS)
    read, stat = statistics.median(reads), statistics.median(stats)
    print("(a) first-frame statistics, 6000x4000 16-bit, medians of %d" % RUNS)
    print("    read and decode          %8.1f ms %s" % (read * 1e3,
                                                       spread((min(reads), max(reads)), 1e3)))
    print("    statistics               %8.1f ms %s   ratio %.2f"
          % (stat * 1e3, spread((min(stats), max(stats)), 1e3), stat / read))
    print()

    # (b) whole unattended nights against cat of the same files, and (c) their peak memory.
    print("(b) unattended runs over 4144x2822 16-bit frames, page cache warm, medians of %d"
          % RUNS)
    peaks = []
    for per_band in sorted({max(1, PER_BAND // 3), PER_BAND}):
        size, peak = night_against_cat(per_band)
        peaks.append(peak)
    decoded = 4144 * 2822 * 4
    print()
    print("(c) peak resident memory of (b): %s MB, %s decoded frames (%.1f MB each)"
          % (", ".join("%.1f" % (p / 1e6) for p in peaks),
             ", ".join("%.2f" % (p / decoded) for p in peaks), decoded / 1e6))
    print()

    # (d) one frame: the whole run against one read-and-decode of the same file.
    one = os.path.join(WORK, "night-4144x2822-one")
    argv = night_argv(one, simulate(one, "4144x2822", 1))
    for name in os.listdir(one):
        if name.endswith(".fit") and not name.endswith("_R.fit"):
            os.remove(os.path.join(one, name))
    frame = os.path.join(one, "NIGHT_0001_R.fit")
    reads, stats = first_frame_figures(frame, RUNS)
    run_time, run_spread, _ = median_of(RUNS, argv, stdout=subprocess.DEVNULL)
    read = statistics.median(reads)
    print("(d) one-frame run %.1f ms %s against one read-and-decode %.1f ms %s: ratio %.2f"
          % (run_time * 1e3, spread(run_spread, 1e3), read * 1e3,
             spread((min(reads), max(reads)), 1e3), run_time / read))
    print()

    # (e) numpy's order statistics of the same frame against ORVEL's statistics pass.
    numpy_times = numpy_statistics(frame, RUNS)
    ours, theirs = statistics.median(stats), statistics.median(numpy_times)
    print("(e) statistics of one frame: ORVEL %.1f ms %s, numpy median and percentiles "
          "%.1f ms %s: ORVEL %.1f x faster"
          % (ours * 1e3, spread((min(stats), max(stats)), 1e3), theirs * 1e3,
             spread((min(numpy_times), max(numpy_times)), 1e3), theirs / ours))


if __name__ == "__main__":
    main()
